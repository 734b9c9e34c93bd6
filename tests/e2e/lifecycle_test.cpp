// Losing the window or the display, and standard input that is no terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/e2e/run.hpp"
#include "tests/support/programs.hpp"

namespace e2e {
namespace {

class Lifecycle : public ::testing::TestWithParam<const Figure*> {};

// No message, and the program still ends through the terminal.
void expect_quiet_normal_end(Terminal& terminal) {
  EXPECT_TRUE(keeps_running(terminal, 500ms));
  terminal.type("q");
  end_with_enter(terminal);
  EXPECT_EQ(terminal.output().find("rror"), std::string::npos) << terminal.output();
}

TEST_P(Lifecycle, ClosingTheWindowWhilePlotting) {
  testsupport::XServer server;
  ProgramRun run(*GetParam(), server.display());
  XClient x(server.display());
  const unsigned long window = wait_for_window(x);
  ASSERT_NE(window, 0u) << run.terminal.output();
  ASSERT_TRUE(wait_for_plotting(x, window));
  x.send_delete(window);
  EXPECT_TRUE(wait_until([&] { return x.find(kTitle, true) == 0; }, 10s));
  expect_quiet_normal_end(run.terminal);
}

TEST_P(Lifecycle, XServerGoingAwayWhilePlotting) {
  testsupport::XServer server;
  ProgramRun run(*GetParam(), server.display());
  {
    XClient x(server.display());
    const unsigned long window = wait_for_window(x);
    ASSERT_NE(window, 0u) << run.terminal.output();
    ASSERT_TRUE(wait_for_plotting(x, window));
  }
  server.kill();
  expect_quiet_normal_end(run.terminal);
}

// The error line goes to standard error as the last line there (the window
// service may say first why no window could be made).
void expect_not_in_graphics_mode(const Figure& figure, const std::string& display) {
  Launch launch;
  launch.stderr_path = scratch_path();
  ProgramRun run(figure, display, launch);
  expect_end(run.terminal, 1);
  std::ifstream in(launch.stderr_path);
  const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string line = kNotInGraphicsMode + "\n";
  ASSERT_GE(written.size(), line.size()) << written;
  EXPECT_EQ(written.substr(written.size() - line.size()), line) << written;
  if (written.size() > line.size()) {
    EXPECT_EQ(written[written.size() - line.size() - 1], '\n') << written;
  }
  EXPECT_EQ(run.terminal.output().find("rror"), std::string::npos) << run.terminal.output();
}

TEST_P(Lifecycle, NoDisplaySet) { expect_not_in_graphics_mode(*GetParam(), ""); }

TEST_P(Lifecycle, DisplayPointingAtNothing) {
  int n = 4242;
  while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) ++n;
  expect_not_in_graphics_mode(*GetParam(), ":" + std::to_string(n));
}

// A server that wants a cookie the program does not have: its reason is
// shown once, though measuring and the window each ask, then the two lines
// of a failed start.
TEST_P(Lifecycle, RefusedAuthorisationIsReportedOnce) {
  testsupport::XServer server({.require_cookie = true});
  Launch launch;
  launch.stderr_path = scratch_path();
  launch.pty.env = {"XAUTHORITY=/nonexistent"};
  ProgramRun run(*GetParam(), server.display(), launch);
  expect_end(run.terminal, 1);
  std::ifstream in(launch.stderr_path);
  const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string end = "Window creation failed\n" + kNotInGraphicsMode + "\n";
  ASSERT_GT(written.size(), end.size()) << written;
  EXPECT_EQ(written.substr(written.size() - end.size()), end) << written;
  const std::string reason = written.substr(0, written.find('\n'));
  ASSERT_FALSE(reason.empty()) << written;
  EXPECT_EQ(written.find(reason, reason.size()), std::string::npos) << written;

  // With the cookie the same server gives the window.
  Launch with_cookie;
  with_cookie.pty.env = {"XAUTHORITY=" + server.cookie_file()};
  ProgramRun admitted(*GetParam(), server.display(), with_cookie);
  setenv("XAUTHORITY", server.cookie_file().c_str(), 1);
  XClient x(server.display());
  unsetenv("XAUTHORITY");
  EXPECT_NE(wait_for_window(x), 0u) << admitted.terminal.output();
  end_with_enter(admitted.terminal);
}

// Typed in one burst on a shell's terminal: a command whose program fails
// at start-up (no X server), and the next command. The program ends without
// reading its line, so the shell gets the second command.
TEST_P(Lifecycle, FailedStartUpLeavesTheTypeaheadToTheShell) {
  int n = 4242;
  while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) ++n;
  const std::string shell = testsupport::scratch_file("#!/bin/sh\nexec /bin/sh\n");
  chmod(shell.c_str(), 0755);
  Terminal terminal(shell);
  // The echo of the typed lines shows SURV''IVED; only the command's output
  // joins it up.
  terminal.type("DISPLAY=:" + std::to_string(n) + " '" + program_path(*GetParam()) +
                "' 2>/dev/null; echo rc=$?\necho SURV''IVED\n");
  EXPECT_TRUE(terminal.wait_for_output("rc=1", kExitTimeout)) << terminal.output();
  EXPECT_TRUE(terminal.wait_for_output("SURVIVED", kExitTimeout)) << terminal.output();
}

// The failed start-up ends the same way when the error line cannot be
// written: status 1 and no run-time error report.
TEST_P(Lifecycle, NoDisplayWithUnwritableStandardError) {
  for (const char* target : {"/dev/full", "&-"}) {
    SCOPED_TRACE(target);
    Launch launch;
    launch.stderr_path = target;
    ProgramRun run(*GetParam(), "", launch);
    expect_end(run.terminal, 1);
    EXPECT_EQ(run.terminal.output().find("rror"), std::string::npos) << run.terminal.output();
  }
}

// Standard error into a file past the file-size limit (`ulimit -f 0`): the
// error line's write fails, the status is still 1. (A suite of its own: the
// sanitizers' own start-up writes files, so their builds cannot run it.)
class FileSizeLimit : public ::testing::TestWithParam<const Figure*> {};

TEST_P(FileSizeLimit, NoDisplayWithStandardErrorPastTheLimitEndsWithStatusOne) {
  if (!testsupport::emulator().empty())
    GTEST_SKIP() << "under a user-mode emulator SIGXFSZ ends the program whatever it blocks";
  Launch launch;
  launch.stderr_path = scratch_path();
  launch.pty.file_size_limit = 0;
  ProgramRun run(*GetParam(), "", launch);
  expect_end(run.terminal, 1);
}

TEST_P(Lifecycle, StandardInputFromDevNullDoesNotHang) {
  testsupport::XServer server;
  Launch launch;
  launch.pty.stdin_path = "/dev/null";
  ProgramRun run(*GetParam(), server.display(), launch);
  expect_end(run.terminal, 0);
}

TEST_P(Lifecycle, StandardInputFromAPipeDoesNotHang) {
  testsupport::XServer server;
  const std::string fifo = scratch_path();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Held open for writing, so the program's open for reading does not wait.
  const int writer = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  Launch launch;
  launch.pty.stdin_path = fifo;
  ProgramRun run(*GetParam(), server.display(), launch);
  XClient x(server.display());
  EXPECT_NE(wait_for_window(x), 0u) << run.terminal.output();
  ASSERT_EQ(write(writer, "line\n", 5), 5);
  close(writer);
  unlink(fifo.c_str());
  expect_end(run.terminal, 0);
}

GRAIN_FOR_BOTH_PROGRAMS(Lifecycle);
GRAIN_FOR_BOTH_PROGRAMS(FileSizeLimit);

}  // namespace
}  // namespace e2e
