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

// The test program's routines by module offset, from its symbol table
// (their real extent, whatever the build type made of them). Read once:
// the program is large.
struct Routine {
  std::uint32_t size = 0;
  std::string name;
};
struct Routines {
  std::map<std::uint32_t, Routine> by_start;
  std::map<std::string, std::uint32_t> start_of;
};

Routines read_routines() {
  Routines routines;
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return routines;
  exe[n] = 0;
  const testsupport::Finished nm = testsupport::run(
      {.argv = {"nm", "-S", "--defined-only", exe}, .out = {testsupport::Redirect::pipe}});
  std::istringstream in(nm.out);
  for (std::string line; std::getline(in, line);) {
    unsigned long long address = 0, length = 0;
    char type = 0;
    char name[1024] = {};
    if (std::sscanf(line.c_str(), "%llx %llx %c %1023s", &address, &length, &type, name) == 4 &&
        address <= UINT32_MAX) {
      const auto start = static_cast<std::uint32_t>(address);
      routines.by_start.emplace(start, Routine{static_cast<std::uint32_t>(length), name});
      routines.start_of.emplace(name, start);
    }
  }
  return routines;
}

const Routines& routines() {
  static const Routines r = read_routines();
  return r;
}

bool within(std::uint32_t address, std::uint32_t start, std::uint32_t size) {
  return address > start && address < start + size;
}

// True when `address` lies inside `function`, past its first byte, or in
// the cold part the compiler split off it (where a fault raised from an
// unlikely path lies).
template <class F>
bool inside(std::uint32_t address, F* function) {
  const std::uint32_t start = offset_of(function);
  const auto it = routines().by_start.find(start);
  EXPECT_NE(it, routines().by_start.end()) << "no symbol at offset " << start;
  if (it == routines().by_start.end()) return false;
  if (within(address, start, it->second.size)) return true;
  const auto cold = routines().start_of.find(it->second.name + ".cold");
  return cold != routines().start_of.end() &&
         within(address, cold->second, routines().by_start.at(cold->second).size);
}

void expect_report(const Outcome& o, int error, plotter::PixelCoord (*routine)(const runtime::Extended&),
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
