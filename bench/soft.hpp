#pragma once
// The chain, floor and loop step once more on the other extended type, in
// the same run as the programs' own (loop.hpp): the software type beside
// the x87, or the x87 beside the software type in a build that uses that.
// Nothing is registered where there is no x87 to compare with.
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace bench {

// Benchmark names, "soft_" or "x87_" and the names of loop.hpp.
inline constexpr const char* OTHER_CHAIN =
#if GRAIN_SOFT_EXTENDED
    "x87_chain";
#else
    "soft_chain";
#endif
inline constexpr const char* OTHER_FLOOR =
#if GRAIN_SOFT_EXTENDED
    "x87_floor";
#else
    "soft_floor";
#endif
inline constexpr const char* OTHER_LOOP_STEP =
#if GRAIN_SOFT_EXTENDED
    "x87_loop_step";
#else
    "soft_loop_step";
#endif

// Registers the three; false when there is no other type here.
bool register_other_type_benchmarks();

// Heap allocations made inside their measured loops so far.
std::uint64_t other_type_allocations();

// Time per call of a benchmark by name (median real and CPU ns; negative
// when it did not run).
struct Timing {
  double real_ns = -1, cpu_ns = -1;
};

// Writes the three figures of each type and, last, the line
// "soft/x87 loop ratio: R" (software loop step over x87 loop step, real
// time) with its target's verdict, as the other targets have theirs;
// false when a figure is missing.
// `timing` looks a benchmark up by name; CHAIN, FLOOR and LOOP_STEP are
// the programs' own type.
bool report_types(std::ostream& out, const std::function<Timing(const char*)>& timing,
                  std::vector<std::string>& missed);

}  // namespace bench
