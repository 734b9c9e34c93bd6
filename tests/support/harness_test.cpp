// The harness itself: if it lost output, exit statuses or the terminal's
// answers, the tests built on it would pass or fail for the wrong reasons.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/process.hpp"
#include "tests/support/scratch.hpp"
#include "tests/support/screen.hpp"
#include "tests/support/terminal.hpp"
#include "tests/support/x_client.hpp"

namespace {

using namespace std::chrono_literals;
using testsupport::exit_code;
using testsupport::Redirect;
using testsupport::run;

testsupport::Spawn shell(const std::string& script) { return {.argv = {"/bin/sh", "-c", script}}; }

// A shell script to run on a terminal (which starts a program without
// arguments).
std::string script(const std::string& body) {
  const std::string path = testsupport::scratch_file("#!/bin/sh\n" + body + "\n");
  chmod(path.c_str(), 0755);
  return path;
}

TEST(Process, OutputErrorStatusAndEnvironment) {
  auto spawn = shell("echo \"out $GRAIN_A ${HOME-none}\"; echo err >&2; exit 3");
  spawn.env = {"GRAIN_A=1", "HOME"};
  spawn.out = spawn.err = {Redirect::pipe};
  const auto r = run(spawn, 30s);
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(exit_code(r.status), 3);
  EXPECT_EQ(r.out, "out 1 none\n");
  EXPECT_EQ(r.err, "err\n");
}

TEST(Process, StreamsGoWhereTheyAreSent) {
  auto to_terminal = shell("[ -t 1 ] && echo terminal");
  to_terminal.out = {Redirect::terminal};
  EXPECT_EQ(run(to_terminal, 30s).out, "terminal\r\n");  // the terminal turns 10 into 13 10

  auto closed = shell("echo lost 2>/dev/null || exit 4");
  closed.out = {Redirect::closed};
  EXPECT_EQ(exit_code(run(closed, 30s).status), 4);

  auto from_file = shell("read -r line; echo \"[$line]\"");
  from_file.in = {Redirect::file, "/dev/null"};
  from_file.out = {Redirect::pipe};
  EXPECT_EQ(run(from_file, 30s).out, "[]\n");
}

TEST(Process, RoutineInTheChildAndTheDeadline) {
  EXPECT_EQ(exit_code(run({.child = [] { _exit(7); }}, 30s).status), 7);
  const auto hung = run(shell("exec sleep 600"), 100ms);
  EXPECT_FALSE(hung.ended);
  EXPECT_EQ(exit_code(hung.status), 128 + SIGKILL);
}

TEST(Screen, WrapsScrollsErasesAndReportsTheCursor) {
  testsupport::Screen s(3, 4);
  EXPECT_EQ(s.feed("abcdef\r\nxy\x1b[1;2H\x1b[K"), "");
  EXPECT_EQ(s.row(0), "a");  // erased from the cursor on
  EXPECT_EQ(s.row(1), "ef");
  EXPECT_EQ(s.row(2), "xy");
  EXPECT_EQ(s.feed("\x1b[3;4H\x1b[6n"), "\x1b[3;4R");
  s.feed("z\r\nq");  // the last column, then a new row at the bottom
  EXPECT_EQ(s.row(0), "ef");
  EXPECT_EQ(s.at(2, 1, 4), "xy z");
  EXPECT_EQ(s.row(2), "q");
  EXPECT_EQ(s.cursor_row(), 2);
  EXPECT_EQ(s.cursor_col(), 1);
}

// A program that asks where the cursor is and waits for the answer, as the
// console does at start-up.
TEST(Terminal, AnswersCursorQueriesAndTakesKeys) {
  testsupport::Terminal t("/bin/sh");
  t.type("stty -icanon -echo; printf '\\033[2J\\033[3;5H\\033[6n'; r=$(dd bs=6 count=1 2>/dev/null);"
         " printf '<%s>' \"$(printf %s \"$r\" | tr '\\033' E)\"; read -r k; printf '[%s]' \"$k\"; exit 5\n");
  ASSERT_TRUE(t.wait_for_output("<E[3;5R>", 30s)) << t.output();
  t.type("key\n");
  const auto status = t.wait_exit(30s);
  ASSERT_TRUE(status.has_value()) << t.output();
  EXPECT_EQ(exit_code(*status), 5);
  EXPECT_EQ(t.row(2), "    <E[3;5R>[key]");
}

// The first difference in reading order is reported; expected pixels off
// the picture do not count.
TEST(Compare, ReportsTheFirstDifferenceRowByRow) {
  const testsupport::Picture expected{{{1, 0}, 0x5}, {{0, 1}, 0x7}, {{5, 5}, 0x9}};
  EXPECT_EQ(testsupport::compare({0, 5, 0, 7, 0, 0}, 3, 2, expected), "");
  EXPECT_EQ(testsupport::compare({0, 5, 0xa, 0, 0, 0}, 3, 2, expected),
            "pixel (2, 0) is 0xa, not 0x0");
  EXPECT_EQ(testsupport::compare({0, 5, 0, 7, 0}, 3, 2, expected), "no picture");
}

// What a program writes just before it ends is on the screen once its end
// is seen. The program writes in many small pieces, each one a chance for
// its last write and its end to fall between the harness's read and its
// look at whether the program ended.
TEST(Terminal, LastOutputIsOnTheScreenOnceTheEndIsSeen) {
  const std::string counter =
      script("i=0; while [ $i -lt 200 ]; do i=$((i+1)); printf '\\r%s' $i; done");
  for (int run = 0; run < 20; ++run) {
    testsupport::Terminal t(counter);
    ASSERT_TRUE(t.wait_exit(30s).has_value()) << t.output();
    ASSERT_EQ(t.row(0), "200") << "run " << run;
  }
}

// The program gets no descriptor of the test's but its terminal.
TEST(Terminal, ProgramInheritsNoOtherDescriptor) {
  const int leak = open("/dev/null", O_RDONLY);  // not close-on-exec
  ASSERT_GE(leak, 3);
  const std::string fd = "/proc/$$/fd/" + std::to_string(leak);
  testsupport::Terminal t(script("[ -e " + fd + " ] && echo open || echo closed"));
  ASSERT_TRUE(t.wait_exit(30s).has_value()) << t.output();
  close(leak);
  EXPECT_EQ(t.row(0), "closed") << "descriptor " << leak;
}

}  // namespace
