#pragma once
// Checks of the fuzz targets: kept in optimised builds (unlike assert), and
// a failure aborts, which the fuzzer reports with the input.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition) \
  ((condition) ? void(0) : fuzzcheck::fail(#condition, __FILE__, __LINE__))

namespace fuzzcheck {

[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

}  // namespace fuzzcheck
