// The software extended real's faults under FPUCW, seen from outside: the
// run-time error, and a report whose addresses name the routine that did the
// operation and its callers, as for a fault of the x87.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/runtime/probe.hpp"
#include "tests/support/programs.hpp"
#include "tests/support/process.hpp"

namespace {

struct ProbeRun {
  int exit = -1;
  std::vector<std::string> lines;
};

ProbeRun run_probe(const std::string& mode) {
  using testsupport::Redirect;
  std::vector<std::string> argv = testsupport::command(SOFT_FAULT_PROBE);
  argv.push_back(mode);
  const testsupport::Finished f = testsupport::run(
      {.argv = argv, .out = {Redirect::pipe}, .err = {Redirect::pipe}}, std::chrono::seconds(60));
  ProbeRun r{testsupport::exit_code(f.status), {}};
  std::string line;
  for (char c : f.out) {
    if (c == '\n') {
      r.lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty()) r.lines.push_back(line);
  return r;
}

// The report's addresses: the error's, then one per frame line.
std::vector<std::string> addresses(const ProbeRun& r, int error) {
  static const std::regex heading(R"(^Runtime error (\d+) at 0x([0-9A-F]{8})$)");
  static const std::regex frame(R"(^  0x([0-9A-F]{8})$)");
  std::vector<std::string> a;
  std::smatch m;
  if (r.lines.empty() || !std::regex_match(r.lines[0], m, heading)) {
    ADD_FAILURE() << "no report heading";
    return a;
  }
  EXPECT_EQ(m[1].str(), std::to_string(error));
  a.push_back(m[2].str());
  for (std::size_t i = 2; i + 1 < r.lines.size(); ++i)
    if (std::regex_match(r.lines[i], m, frame)) a.push_back(m[1].str());
  return a;
}

// Lines are known only where the build has debug information. clang may
// give the inlined operation's own line: then its routine is what counts.
void expect_line(const std::string& address, const std::string& marker,
                 [[maybe_unused]] const std::string& routine) {
#if GRAIN_DEBUG_INFO
  const std::string want = probe::line_of(SOFT_FAULT_PROBE_SOURCE, "LINE:" + marker);
  const std::string got = probe::source_line(SOFT_FAULT_PROBE, address);
  if (got.starts_with("soft_extended.hpp:")) {
    EXPECT_NE(probe::routine_of(SOFT_FAULT_PROBE, address).find(routine), std::string::npos)
        << got << " at 0x" << address;
    return;
  }
  EXPECT_EQ(got, want) << "at 0x" << address;
#else
  (void)address;
  (void)marker;
#endif
}

TEST(SoftFaults, EachFaultIsItsRunTimeErrorAtTheOperation) {
  const struct {
    const char* mode;
    int error;
    const char* line;
    const char* routine;
  } cases[] = {
      {"add-overflow", 205, "add", "add_overflow"},
      {"multiply-overflow", 205, "mul", "multiply_overflow"},
      {"divide-by-zero", 200, "div", "divide_by_zero"},
      {"divide-by-zero-divisor", 200, "divisor", "divide_by_zero_divisor"},
      {"subtract-infinities", 207, "sub", "subtract_infinities"},
      {"compare-nan", 207, "less", "compare_nan"},
      {"round-out-of-range", 207, "round", "round_out_of_range"},
      {"add-round-out-of-range", 207, "addround", "add_round_out_of_range"},
      {"signalling-double", 207, "double", "signalling_double"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    const ProbeRun r = run_probe(c.mode);
    EXPECT_EQ(r.exit, c.error);
    // Heading, error address, the main program, the start-up code, blank.
    ASSERT_EQ(r.lines.size(), 5u);
    const std::vector<std::string> a = addresses(r, c.error);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(r.lines[1], "  0x" + a[0]);
    expect_line(a[0], c.line, c.routine);
    expect_line(a[1], "call-case", "main_program");
  }
}

TEST(SoftFaults, MaskedOperationsEndNormallyAndSilently) {
  const ProbeRun r = run_probe("masked");
  EXPECT_EQ(r.exit, 0);
  EXPECT_TRUE(r.lines.empty());
}

}  // namespace
