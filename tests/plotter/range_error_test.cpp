// A point that leaves the pixel range ends the program with a run-time
// error reported at XKOORD or YKOORD, called from the main program.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "plotter/plotter.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/units.hpp"
#include "tests/plotter/recorder.hpp"
#include "tests/support/process.hpp"

namespace {

// Figures whose first step throws the point far off: one target, reached
// at once (divisor 1).
template <long long column, long long row>
struct Runaway {
  using Real = runtime::Extended;
  static constexpr std::uint16_t kSize = 1;
  static constexpr std::int32_t kTargets = 1;
  static constexpr runtime::Divisor<Real> kDivisor{Real(1.0)};
  static plotter::Target<Real> target(std::int32_t, Real) {
    return {Real(static_cast<std::int64_t>(column)), Real(static_cast<std::int64_t>(row))};
  }
};
using ColumnOut = Runaway<40000, 0>;
using BothOut = Runaway<40000, -40000>;
using BeyondRounding = Runaway<0, 5'000'000'000>;

// A main program like the real one, minus the console and the window.
template <class Figure>
[[gnu::noinline]] void main_program() {
  const runtime::Unit units[] = {runtime::kSystemUnit};
  runtime::INITIALIZEUNITS(units);
  plottertest::prepare(Figure::kSize);
  plotter::plot<Figure>();
}

struct Outcome {
  int status = -1;
  std::vector<std::string> lines;
};

// Runs the main program under the real process entry in a child process
// and collects its standard output.
Outcome run(runtime::MainProgram program) {
  const testsupport::Finished f = testsupport::run(
      {.out = {testsupport::Redirect::pipe}, .child = [program] { runtime::run_program(program); }});
  Outcome o;
  o.status = testsupport::exit_code(f.status);
  std::istringstream in(f.out);
  for (std::string line; std::getline(in, line);) o.lines.push_back(line);
  return o;
}

// Offset of a code address from the start of its module, as in the report.
std::uint32_t offset(const void* code) {
  Dl_info info{};
  EXPECT_NE(dladdr(code, &info), 0);
  return static_cast<std::uint32_t>(static_cast<const char*>(code) -
                                    static_cast<const char*>(info.dli_fbase));
}
template <class F>
std::uint32_t offset_of(F* function) {
  return offset(reinterpret_cast<const void*>(function));
}

std::uint32_t hex(const std::string& s) { return static_cast<std::uint32_t>(std::stoul(s, nullptr, 16)); }

// Sizes of the test program's routines by module offset, from its symbol
// table (their real extent, whatever the build type made of them). Read
// once: the program is large.
std::map<std::uint32_t, std::uint32_t> read_routine_sizes() {
  std::map<std::uint32_t, std::uint32_t> sizes;
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return sizes;
  exe[n] = 0;
  const testsupport::Finished nm = testsupport::run(
      {.argv = {"nm", "-S", "--defined-only", exe}, .out = {testsupport::Redirect::pipe}});
  std::istringstream in(nm.out);
  for (std::string line; std::getline(in, line);) {
    unsigned long long address = 0, length = 0;
    if (std::sscanf(line.c_str(), "%llx %llx", &address, &length) == 2 && address <= UINT32_MAX)
      sizes.emplace(static_cast<std::uint32_t>(address), static_cast<std::uint32_t>(length));
  }
  return sizes;
}

// Size of the routine that starts at module offset `start`; 0 when no
// symbol starts there.
std::uint32_t routine_size(std::uint32_t start) {
  static const std::map<std::uint32_t, std::uint32_t> sizes = read_routine_sizes();
  const auto it = sizes.find(start);
  return it == sizes.end() ? 0 : it->second;
}

// True when `address` lies inside `function`, past its first byte.
template <class F>
bool inside(std::uint32_t address, F* function) {
  const std::uint32_t start = offset_of(function);
  const std::uint32_t size = routine_size(start);
  EXPECT_NE(size, 0u) << "no symbol at offset " << start;
  return address > start && address < start + size;
}

void expect_report(const Outcome& o, int error, runtime::PixelCoord (*routine)(const runtime::Extended&),
                   runtime::MainProgram program) {
  EXPECT_EQ(o.status, error);
  ASSERT_EQ(o.lines.size(), 5u) << ::testing::PrintToString(o.lines);
  const std::string heading = "Runtime error " + std::to_string(error) + " at 0x";
  ASSERT_EQ(o.lines[0].substr(0, heading.size()), heading);
  const std::string address = o.lines[0].substr(heading.size());
  ASSERT_EQ(address.size(), 8u);
  EXPECT_EQ(o.lines[1], "  0x" + address);
  EXPECT_TRUE(inside(hex(address), routine)) << o.lines[0];
  ASSERT_EQ(o.lines[2].substr(0, 4), "  0x");
  EXPECT_TRUE(inside(hex(o.lines[2].substr(4)), program)) << o.lines[2];
  ASSERT_EQ(o.lines[3].substr(0, 4), "  0x");
  EXPECT_TRUE(inside(hex(o.lines[3].substr(4)), &runtime::run_program)) << o.lines[3];
  EXPECT_EQ(o.lines[4], "");
}

TEST(RangeError, ColumnOutOfRangeIsReportedFromXKOORD) {
  expect_report(run(main_program<ColumnOut>), 201, &plotter::XKOORD, main_program<ColumnOut>);
}

TEST(RangeError, BothOutOfRangeIsReportedFromYKOORD) {
  expect_report(run(main_program<BothOut>), 201, &plotter::YKOORD, main_program<BothOut>);
}

TEST(RangeError, BeyondThe32BitRangeRoundingFailsWith207) {
  expect_report(run(main_program<BeyondRounding>), 207, &plotter::YKOORD,
                main_program<BeyondRounding>);
}

}  // namespace
