// The fault filter and the run-time error report on Windows: every fault of
// the table that the processor can be made to raise is run in a child
// program (wine_fault_probe), and its exit status and report are checked.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/wine/child_process.hpp"

namespace {

using winetest::ChildResult;

struct Probe {
  ChildResult result;
  unsigned case_address = 0;  // the routine that fails
  unsigned main_address = 0;  // the probe's main program
};

Probe run_probe(const std::string& name) {
  Probe p;
  p.result = winetest::run_child(winetest::own_directory() + "wine_fault_probe.exe", name);
  std::sscanf(p.result.err.c_str(), "case=%x main=%x", &p.case_address, &p.main_address);
  return p;
}

// Report lines without their 13 10 ends; a line that lacks the 13 fails.
std::vector<std::string> report_lines(const std::string& out) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < out.size()) {
    std::size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(start, end - start);
    EXPECT_TRUE(!line.empty() && line.back() == '\r') << "line without 13 10: " << line;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

unsigned address_of_line(const std::string& line) {
  std::smatch m;
  static const std::regex address_line("  0x([0-9A-F]{8})");
  if (!std::regex_match(line, m, address_line)) return 0;
  return static_cast<unsigned>(std::stoul(m[1].str(), nullptr, 16));
}

enum class Walk {
  from_main,  // the failing routine was called by the main program: 5 lines
  other,      // a routine further down, or another thread: heading only
};

struct Row {
  const char* name;
  unsigned error;
  Walk walk;
};

std::string param_name(const testing::TestParamInfo<Row>& info) {
  std::string s = info.param.name;
  for (char& c : s)
    if (c == '-') c = '_';
  return s;
}

class ReportedFault : public testing::TestWithParam<Row> {};

TEST_P(ReportedFault, EndsWithItsErrorAndReport) {
  const Row row = GetParam();
  const Probe p = run_probe(row.name);
  ASSERT_TRUE(p.result.finished) << row.name << " did not end";
  EXPECT_EQ(p.result.exit_code, row.error) << "stderr: " << p.result.err;
  const std::vector<std::string> lines = report_lines(p.result.out);
  ASSERT_GE(lines.size(), 3u) << p.result.out;

  std::smatch m;
  const std::regex heading("Runtime error ([0-9]+) at 0x([0-9A-F]{8})");
  ASSERT_TRUE(std::regex_match(lines[0], m, heading)) << lines[0];
  EXPECT_EQ(m[1].str(), std::to_string(row.error));
  const std::string digits = m[2].str();
  EXPECT_EQ(lines[1], "  0x" + digits);
  EXPECT_EQ(lines.back(), "");

  if (row.walk == Walk::from_main) {
    // Heading, error address, return into the main program, return into
    // the start-up code, empty line.
    ASSERT_EQ(lines.size(), 5u) << p.result.out;
    const unsigned at = static_cast<unsigned>(std::stoul(digits, nullptr, 16));
    EXPECT_GE(at, p.case_address);
    EXPECT_LT(at, p.case_address + 512) << "error address outside the failing routine";
    const unsigned back_in_main = address_of_line(lines[2]);
    EXPECT_GT(back_in_main, p.main_address);
    EXPECT_LT(back_in_main, p.main_address + 512) << "third line is not in the main program";
    EXPECT_NE(address_of_line(lines[3]), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    FaultTable, ReportedFault,
    testing::Values(Row{"float-divide-by-zero", 200, Walk::from_main},
                    Row{"float-overflow", 205, Walk::from_main},
                    Row{"float-invalid", 207, Walk::from_main},
                    Row{"float-stack-check", 207, Walk::from_main},
                    Row{"integer-divide-by-zero", 200, Walk::from_main},
                    Row{"integer-overflow", 215, Walk::from_main},
                    Row{"access-violation", 216, Walk::from_main},
                    Row{"illegal-instruction", 217, Walk::from_main},
                    Row{"privileged-instruction", 217, Walk::from_main},
                    Row{"array-bounds", 201, Walk::from_main},
                    Row{"single-step", 217, Walk::from_main},
                    Row{"stack-overflow", 202, Walk::other},
                    Row{"other-thread", 216, Walk::other}),
    param_name);

INSTANTIATE_TEST_SUITE_P(Checks, ReportedFault,
                         testing::Values(Row{"round-nan", 207, Walk::from_main},
                                         Row{"range-check", 201, Walk::from_main}),
                         param_name);

TEST(FaultFilter, FloatingPointUnitIsResetBeforeTheExitSequence) {
  const Probe p = run_probe("fpu-after-fault");
  ASSERT_TRUE(p.result.finished);
  EXPECT_EQ(p.result.exit_code, 200u);
  const std::size_t at = p.result.err.find("cw=");
  ASSERT_NE(at, std::string::npos) << p.result.err;
  // Bit 6 is reserved and reads as set.
  EXPECT_EQ(std::stoul(p.result.err.substr(at + 3, 4), nullptr, 16) & ~0x40ul, 0x1332ul);
}

TEST(FaultFilter, FaultWithoutFrameIsLeftToTheSystem) {
  const Probe p = run_probe("fault-without-frame");
  ASSERT_TRUE(p.result.finished);
  EXPECT_EQ(p.result.exit_code, 0xC0000005u);
  // The system's crash handler may write to the same output: no report.
  EXPECT_EQ(p.result.out.find("Runtime error"), std::string::npos) << p.result.out;
}

TEST(FaultFilter, FaultInAnExitProcedureIsReportedInstead) {
  const Probe p = run_probe("fault-in-exit-procedure");
  ASSERT_TRUE(p.result.finished);
  EXPECT_EQ(p.result.exit_code, 216u);
  EXPECT_EQ(p.result.out.rfind("Runtime error 216 at 0x", 0), 0u) << p.result.out;
}

}  // namespace
