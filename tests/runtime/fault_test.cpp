// Failed checks, processor faults and the exit sequence, seen from outside:
// exit status and the report on standard output of the probe program.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/runtime/probe.hpp"
#include "tests/support/programs.hpp"
#include "tests/support/scratch.hpp"

namespace {

using probe::Output;

const std::regex HEADING(R"(^Runtime error (\d+) at 0x([0-9A-F]{8})$)");
const std::regex ADDRESS_LINE(R"(^  0x([0-9A-F]{8})$)");

int exit_status(const probe::Result& r) { return testsupport::exit_code(r.status); }
int killed_by(const probe::Result& r) { return WIFSIGNALED(r.status) ? WTERMSIG(r.status) : 0; }

// Checks the report's shape; returns its addresses: the error address, then
// one per frame line.
std::vector<std::string> report_addresses(const probe::Result& r, int error) {
  std::vector<std::string> addresses;
  std::smatch m;
  if (r.lines.size() < 3 || !std::regex_match(r.lines[0], m, HEADING)) {
    ADD_FAILURE() << "no report heading; " << r.lines.size() << " lines";
    return addresses;
  }
  EXPECT_EQ(m[1].str(), std::to_string(error));
  addresses.push_back(m[2].str());
  EXPECT_EQ(r.lines[1], "  0x" + addresses[0]) << "second line repeats the error address";
  for (std::size_t i = 2; i + 1 < r.lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(r.lines[i], m, ADDRESS_LINE)) << "line " << i << ": " << r.lines[i];
    addresses.push_back(m[1].str());
  }
  EXPECT_EQ(r.lines.back(), "") << "the report ends with an empty line";
  return addresses;
}

// A 32-bit x86 cross build whose machine cannot run it runs it under the
// user-mode emulator, which raises no x87 exceptions (the program goes on
// with the masked result) and reports the trace trap as a breakpoint.
bool emulated_x86() {
#if defined(__i386__) || defined(__x86_64__)
  return !testsupport::emulator().empty();
#else
  return false;
#endif
}

// The x87's faults under the emulator (the software type raises its own).
bool float_faults_unseen() { return !GRAIN_SOFT_EXTENDED && emulated_x86(); }

std::string probe_line(std::string_view marker) {
  return probe::line_of(FAULT_PROBE_SOURCE, std::string("LINE:") + std::string(marker));
}

// Addresses name source lines through debug information, which only the
// build types with -g have; without it the report's shape is still checked.
// The failure call of an inlined check lies out of line; clang records no
// inline scope for it, so its address maps to the check's own line. Then
// the routine that holds it, `caller`, is what can be checked.
void expect_source_line(const std::string& address, const std::string& expected,
                        [[maybe_unused]] std::string_view caller = {}) {
#if GRAIN_DEBUG_INFO
  const std::string line = probe::source_line(probe::path(), address);
#if defined(__clang__)
  if (!caller.empty() && line.starts_with("checks.hpp:")) {
    const std::string routine = probe::routine_of(probe::path(), address);
    EXPECT_NE(routine.find(caller), std::string::npos) << routine << " at 0x" << address;
    return;
  }
#endif
  EXPECT_EQ(line, expected) << "at 0x" << address;
#else
  (void)address;
  (void)expected;
#endif
}

TEST(RangeCheck, FailureReportHasFiveLinesNamingCheckCallerAndStartUp) {
  for (const char* value : {"32768", "-32769"}) {
    SCOPED_TRACE(value);
    const probe::Result r = probe::run({"xkoord", value});
    EXPECT_EQ(exit_status(r), 201);
    ASSERT_EQ(r.lines.size(), 5u);
    const auto a = report_addresses(r, 201);
    ASSERT_EQ(a.size(), 3u);
    expect_source_line(a[0], probe_line("range-check"), "XKOORD");
    expect_source_line(a[1], probe_line("call-case"));
    expect_source_line(a[2], probe::line_of(STARTUP_SOURCE, "main_program();"));
  }
}

TEST(RangeCheck, BoundsPassAndTheProgramEndsNormallyAndSilently) {
  for (const char* value : {"32767", "-32768"}) {
    const probe::Result r = probe::run({"xkoord", value});
    EXPECT_EQ(exit_status(r), 0) << value;
    EXPECT_TRUE(r.lines.empty()) << value;
  }
}

TEST(Round, OutOfRangeOrNotANumberIsInvalidOperation) {
  for (const char* value : {"2147483647.5", "-2147483649", "nan", "inf", "-inf"}) {
    SCOPED_TRACE(value);
    const probe::Result r = probe::run({"xkoord", value});
    EXPECT_EQ(exit_status(r), 207);
    ASSERT_EQ(r.lines.size(), 5u);
    expect_source_line(report_addresses(r, 207)[0], probe_line("round"), "XKOORD");
  }
}

TEST(Faults, FloatingPointFaultsOfTheExtendedUnit) {
  if (float_faults_unseen()) {
    for (const char* mode : {"float-divide-by-zero", "float-overflow", "float-invalid"}) {
      const probe::Result r = probe::run({mode});
      EXPECT_EQ(exit_status(r), 0) << mode;
      EXPECT_TRUE(r.lines.empty()) << mode;
    }
    return;
  }
  const probe::Result div = probe::run({"float-divide-by-zero"});
  EXPECT_EQ(exit_status(div), 200);
  const auto a = report_addresses(div, 200);
  ASSERT_FALSE(a.empty());
  expect_source_line(a[0], probe_line("fdiv"));

  for (const auto& [mode, error] : {std::pair{"float-overflow", 205}, std::pair{"float-invalid", 207}}) {
    const probe::Result r = probe::run({mode});
    EXPECT_EQ(exit_status(r), error) << mode;
    report_addresses(r, error);
  }
}

TEST(Faults, ProcessorFaults) {
  const probe::Result segv = probe::run({"access-violation"});
  EXPECT_EQ(exit_status(segv), 216);
  // The faulting routine keeps no frame of its own (a leaf that needs no
  // stack), so the walk starts in its caller and ends at the start-up code.
  const auto a = report_addresses(segv, 216);
  ASSERT_GE(a.size(), 2u);
  expect_source_line(a[0], probe_line("segv"));
  expect_source_line(a.back(), probe::line_of(STARTUP_SOURCE, "main_program();"));

  struct Case {
    const char* mode;
    int error;
  };
  std::vector<Case> cases = {{"stack-overflow", 202}, {"illegal-instruction", 217},
                             {"bus-error", 217}, {"privileged-instruction", 217}};
#if defined(__i386__) || defined(__x86_64__) || defined(__s390x__)
  cases.push_back({"integer-divide-by-zero", 200});
#endif
#if defined(__i386__) || defined(__x86_64__)
  cases.insert(cases.end(), {{"privileged-interrupt-flag", 217}, {"privileged-port-output", 217}});
  if (!emulated_x86()) cases.push_back({"single-step", 217});
#endif
#if defined(__x86_64__)
  cases.push_back({"non-canonical-address", 216});
#endif
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    const probe::Result r = probe::run({c.mode});
    EXPECT_EQ(exit_status(r), c.error);
    report_addresses(r, c.error);
  }
}

#if defined(__arm__) && !defined(__ARM_ARCH_EXT_IDIV__)
// Without a divide instruction the division is a library routine whose zero
// divisor ends in our __aeabi_idiv0: error 200 at the division's line, with
// the dividing routine's frame, as a divide fault gives elsewhere.
TEST(Faults, LibraryDivisionByZeroReportsErrorTwoHundredAtTheDivision) {
  const probe::Result r = probe::run({"integer-divide-by-zero"});
  EXPECT_EQ(exit_status(r), 200);
  const auto a = report_addresses(r, 200);
  ASSERT_GE(a.size(), 2u);
  expect_source_line(a[0], probe_line("idiv"));
}
#endif

// What the processors that cannot do as x86 does do instead.
TEST(Faults, WhatThisProcessorDoesInsteadOfTrapping) {
#if defined(__i386__) || defined(__x86_64__)
  if (!emulated_x86()) GTEST_SKIP() << "x86 traps on every fault the probe raises";
#elif defined(__s390x__)
  GTEST_SKIP() << "IBM Z traps on every fault the probe raises (its floating-point faults "
                  "are the software type's)";
#endif
#if defined(__aarch64__) || defined(__powerpc64__) || (defined(__arm__) && defined(__ARM_ARCH_EXT_IDIV__))
  // A division by zero gives a quotient (0) and no trap: the program goes on.
  const probe::Result div = probe::run({"integer-divide-by-zero"});
  EXPECT_EQ(exit_status(div), 0);
  EXPECT_TRUE(div.lines.empty());
#endif
  if (emulated_x86()) {
    // The emulator reports the trap after the flag is set as a breakpoint,
    // which the filter leaves to a debugger: the signal ends the process.
    const probe::Result step = probe::run({"single-step"});
    EXPECT_EQ(killed_by(step), SIGTRAP);
    EXPECT_TRUE(step.lines.empty());
  }
}

TEST(Faults, OnAPreparedThreadTheErrorIsRaisedThere) {
  const probe::Result segv = probe::run({"other-thread"});
  EXPECT_EQ(exit_status(segv), 216);
  report_addresses(segv, 216);
  const probe::Result overflow = probe::run({"thread-stack-overflow"});
  EXPECT_EQ(exit_status(overflow), 202);
  report_addresses(overflow, 202);
}

TEST(Faults, OthersGetTheDefaultHandling) {
  // An unprepared thread, a signal sent by a process, a fault with no frame,
  // and a fault while an earlier one is being turned into an error.
  for (const char* mode : {"unprepared-thread", "sent-signal", "fault-without-frame",
                           "fault-in-exit-procedure"}) {
    const probe::Result r = probe::run({mode});
    if (float_faults_unseen() && std::string_view(mode) == "fault-in-exit-procedure") {
      // The first fault never comes: the exit procedure's is the only one.
      EXPECT_EQ(exit_status(r), 216) << mode;
      continue;
    }
    EXPECT_EQ(killed_by(r), SIGSEGV) << mode;
    EXPECT_TRUE(r.lines.empty()) << mode;
  }
}

TEST(Report, FrameLimitDependsOnTheKindOfOutput) {
  // XKOORD, the 4 nested routines and the main program each give a line.
  const probe::Result few = probe::run({"nested", "3"});
  EXPECT_EQ(exit_status(few), 201);
  EXPECT_EQ(report_addresses(few, 201).size(), 1u + 6u);

  const probe::Result to_pipe = probe::run({"nested", "300"});
  EXPECT_EQ(exit_status(to_pipe), 201);
  EXPECT_EQ(report_addresses(to_pipe, 201).size(), 1u + 257u);

  const probe::Result to_terminal = probe::run({"nested", "300"}, Output::terminal);
  EXPECT_EQ(exit_status(to_terminal), 201);
  EXPECT_EQ(report_addresses(to_terminal, 201).size(), 1u + 9u);
}

TEST(Report, FailingOutputKeepsTheExitStatus) {
  EXPECT_EQ(exit_status(probe::run({"xkoord", "40000"}, Output::closed)), 201);
  EXPECT_EQ(exit_status(probe::run({"xkoord", "40000"}, Output::broken_pipe)), 201);
}

// Past the file-size limit (`ulimit -f 0`) the write fails like any other
// (EFBIG) instead of the limit's signal ending the process: the status is
// still the error's.
TEST(Report, FileSizeLimitKeepsTheExitStatus) {
  if (!testsupport::emulator().empty())
    GTEST_SKIP() << "under a user-mode emulator SIGXFSZ ends the program whatever it blocks";
  using testsupport::Redirect;
  const std::string file = testsupport::scratch_file("");
  const testsupport::Finished f = testsupport::run({.argv = {probe::path(), "xkoord", "40000"},
                                                    .out = {Redirect::file, file},
                                                    .err = {Redirect::pipe},
                                                    .file_size_limit = 0},
                                                   std::chrono::seconds(60));
  ASSERT_TRUE(f.ended);
  EXPECT_FALSE(WIFSIGNALED(f.status)) << "signal " << WTERMSIG(f.status);
  EXPECT_EQ(testsupport::exit_code(f.status), 201);
}

TEST(Report, WrittenDespiteAnEarlierIoFailureOrBeforeTheUnits) {
  for (const char* mode : {"stale-inoutres", "before-units"}) {
    const probe::Result r = probe::run({mode, "40000"});
    EXPECT_EQ(exit_status(r), 201) << mode;
    EXPECT_EQ(r.lines.size(), 5u) << mode;
  }
}

TEST(ExitSequence, ExitProceduresLastFirstThenCompletedUnitsInReverse) {
  const probe::Result r = probe::run({"exit-chain"});
  EXPECT_EQ(exit_status(r), 3);
  EXPECT_EQ(r.lines, (std::vector<std::string>{"init A", "init B", "init C", "exit B", "exit A",
                                                "fini B", "fini A"}));
}

TEST(ExitSequence, HaltReportsOnlyWhenAnErrorAddressIsSet) {
  const probe::Result halt = probe::run({"halt"});
  EXPECT_EQ(exit_status(halt), 42);
  EXPECT_TRUE(halt.lines.empty());

  // HALT(5) from an exit procedure during run-time error 201.
  const probe::Result after_error = probe::run({"halt-after-error"});
  EXPECT_EQ(exit_status(after_error), 5);
  EXPECT_EQ(report_addresses(after_error, 201).size(), 3u);
}

TEST(ExitSequence, RunErrorAndIoCheckRaiseAtTheirCaller) {
  const probe::Result r = probe::run({"runerror"});
  EXPECT_EQ(exit_status(r), 123);
  const auto a = report_addresses(r, 123);
  ASSERT_FALSE(a.empty());
  expect_source_line(a[0], probe_line("runerror"));

  const probe::Result io = probe::run({"iocheck"});
  EXPECT_EQ(exit_status(io), 104);  // reading from a file open for output
  report_addresses(io, 104);
}

TEST(ExitSequence, AnotherThreadFailingMeanwhileDoesNotTakeOver) {
  const probe::Result r = probe::run({"concurrent"});
  EXPECT_EQ(exit_status(r), 201);
  EXPECT_EQ(r.lines.size(), 5u);
  report_addresses(r, 201);
}

}  // namespace
