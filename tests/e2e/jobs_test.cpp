// The program as a job of an interactive shell with job control: in the
// background it goes on plotting and leaves the terminal to the shell; in
// front again it takes its keys as usual; in a session of its own its
// terminal's interrupt keys still end it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/e2e/run.hpp"
#include "tests/support/programs.hpp"

namespace e2e {
namespace {

// A process's /proc/<pid>/stat after its name: the state letter first.
std::string stat_of(int pid) {
  // Read through the stream, not its buffer: the process may end between
  // the open and the read, which then fails (ESRCH), and only the stream
  // turns that into a state rather than an exception.
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  const auto paren = stat.rfind(')');
  return paren == std::string::npos || paren + 2 >= stat.size() ? std::string() : stat.substr(paren + 2);
}

// The state letter of a process (R, S, T, ...), or 0 when it is gone.
char process_state(int pid) {
  const std::string s = stat_of(pid);
  return s.empty() ? 0 : s[0];
}

// The processor time a process has used, in clock ticks (utime + stime).
long cpu_ticks(int pid) {
  std::istringstream fields(stat_of(pid));
  std::string field;
  long ticks = 0;
  // From the state (field 3): utime and stime are fields 14 and 15.
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i >= 14) ticks += std::atol(field.c_str());
  return ticks;
}

class Jobs : public ::testing::TestWithParam<const Figure*> {
 protected:
  Jobs() : shell_(shell_script(), with_display({.env = {"PS1=$ ", "TERM=dumb"}}, server_.display())) {
    EXPECT_TRUE(shell_.wait_for_output("$ ", kStartTimeout)) << shell_.output();
  }

  static std::string shell_script() {
    const std::string path =
        testsupport::scratch_file("#!/bin/sh\nexec bash --norc --noprofile --noediting -i\n");
    chmod(path.c_str(), 0755);
    return path;
  }

  // Through the emulator in a cross build, as the shell cannot run it itself.
  std::string program() const {
    std::string line;
    for (const std::string& word : testsupport::command(program_path(*GetParam())))
      line += (line.empty() ? "'" : " '") + word + "'";
    return line;
  }

  // Runs `command` in the shell and waits for what it prints, which the
  // echo of the typed line cannot show: `marker` is typed as "<a>''<b>".
  bool shell_says(const std::string& command, const std::string& marker) {
    const std::size_t seen = shell_.output().size();
    shell_.type(command + "\n");
    return wait_until([&] { return shell_.output().find(marker, seen) != std::string::npos; },
                      kExitTimeout);
  }

  // The process id of the job last put in the background ($!).
  int last_job() {
    const std::size_t seen = shell_.output().size();
    shell_.type("echo pid''=$!\n");
    int pid = 0;
    wait_until([&] {
      const std::string out = shell_.output();
      const auto at = out.find("pid=", seen);
      if (at == std::string::npos || out.find('\n', at) == std::string::npos) return false;
      pid = std::atoi(out.c_str() + at + 4);
      return true;
    });
    return pid;
  }

  bool in_key_mode() {
    termios t{};
    const std::string s = shell_.settings();
    std::memcpy(&t, s.data(), std::min(s.size(), sizeof t));
    return (t.c_lflag & (ICANON | ECHO)) == 0 && (t.c_iflag & ICRNL) == 0;
  }

  // The job runs in the background, keeps plotting and does not stop, also
  // when the shell reads commands from the terminal meanwhile.
  // Nothing stopped it since output position `from`.
  void expect_running_in_the_background(int pid, std::size_t from) {
    ASSERT_TRUE(shell_says("echo back''ground", "background")) << shell_.output();
    // Plotting is busy all the time: a stopped job uses no processor time.
    const long ticks = cpu_ticks(pid);
    EXPECT_TRUE(wait_until([&] { return cpu_ticks(pid) > ticks + 20; }, kStartTimeout))
        << "not plotting in the background, state " << process_state(pid);
    ASSERT_TRUE(shell_says("echo still''here", "stillhere")) << shell_.output();
    EXPECT_NE(process_state(pid), 'T');
    EXPECT_EQ(shell_.output().find("Stopped", from), std::string::npos) << shell_.output();
  }

  // fg, then Enter ends the program with status 0.
  void expect_fg_then_enter_ends(int pid) {
    shell_.type("fg\n");
    // In front, the program takes key mode again (before that, the line
    // discipline would turn Enter into a line feed).
    ASSERT_TRUE(wait_until([&] { return in_key_mode(); }, kStartTimeout));
    shell_.type("\r");
    // Typed before the end, the next command would be keys of the line.
    ASSERT_TRUE(wait_until([&] { const char st = process_state(pid); return st == 0 || st == 'Z'; },
                           kExitTimeout));
    EXPECT_TRUE(shell_says("echo rc''=$?", "rc=0")) << shell_.output();
  }

  testsupport::XServer server_;
  Terminal shell_;
  XClient x_{server_.display()};
  unsigned long window_ = 0;
};

// Typed in one quick burst once the figure is drawing (a paste, a fast
// typist): the key that ends the plot, the Enter that ends the line and
// the shell's next command. The program asked where the cursor is during
// the plot, so it reads nothing past its Enter, and no cursor report
// reaches the shell as typed text.
TEST_P(Jobs, BurstAfterTheStopKeyLeavesTheNextCommandToTheShell) {
  const std::size_t seen = shell_.output().size();
  shell_.type(program() + "\n");
  window_ = wait_for_window(x_);
  ASSERT_NE(window_, 0u) << shell_.output();
  ASSERT_TRUE(wait_for_plotting(x_, window_));
  ASSERT_TRUE(wait_until(
      [&] { return shell_.output().find("\x1b[6n", seen) != std::string::npos; }, kStartTimeout));
  // The shell reads without its line editor, through the line discipline,
  // which was off as the keys came: its command's Enter is typed as Ctrl+J.
  shell_.type("x\recho ahead-$((6*7))\n");
  EXPECT_TRUE(wait_until([&] { return shell_.output().find("ahead-42", seen) != std::string::npos; },
                         kExitTimeout))
      << ::testing::PrintToString(shell_.output().substr(seen));
  ASSERT_TRUE(shell_says("echo rc''=$?", "rc=0")) << shell_.output();
  const std::string after = shell_.output().substr(seen);
  EXPECT_FALSE(std::regex_search(after, std::regex("\\[[0-9]+;[0-9]+R")))
      << ::testing::PrintToString(after);
  EXPECT_EQ(after.find("^["), std::string::npos) << ::testing::PrintToString(after);
}

TEST_P(Jobs, StartedInTheBackgroundItPlotsAndComesBackWithFg) {
  shell_.type(program() + " &\n");
  window_ = wait_for_window(x_);
  ASSERT_NE(window_, 0u) << shell_.output();
  const int pid = last_job();
  ASSERT_GT(pid, 0) << shell_.output();
  // The figure is drawn in the background from the start.
  EXPECT_TRUE(wait_for_plotting(x_, window_));
  ASSERT_NO_FATAL_FAILURE(expect_running_in_the_background(pid, 0));
  expect_fg_then_enter_ends(pid);
}

TEST_P(Jobs, StoppedAndSentToTheBackgroundItPlotsAndComesBackWithFg) {
  shell_.type(program() + "\n");
  window_ = wait_for_window(x_);
  ASSERT_NE(window_, 0u) << shell_.output();
  ASSERT_TRUE(wait_for_plotting(x_, window_));
  shell_.type("\x1a");  // Ctrl+Z
  ASSERT_TRUE(shell_.wait_for_output("Stopped", kExitTimeout)) << shell_.output();
  const std::size_t seen = shell_.output().size();
  shell_.type("bg\n");
  ASSERT_TRUE(wait_until([&] { return shell_.output().find('&', seen) != std::string::npos; },
                         kExitTimeout));
  const int pid = last_job();
  ASSERT_GT(pid, 0) << shell_.output();
  ASSERT_NO_FATAL_FAILURE(expect_running_in_the_background(pid, seen));
  expect_fg_then_enter_ends(pid);
}

// `setsid -w program`: the terminal belongs to the shell's session, so its
// Ctrl+C and Ctrl+\ would only reach the wrapper. They end the program
// all the same, the terminal's settings come back, and the shell has the
// terminal to itself again.
TEST_P(Jobs, InASessionOfItsOwnCtrlCAndCtrlBackslashEndIt) {
  ASSERT_TRUE(shell_says("ulimit -c 0; echo no''core", "nocore"));
  for (const char* key : {"\x03", "\x1c"}) {
    SCOPED_TRACE(key[0] == 3 ? "Ctrl+C" : "Ctrl+\\");
    const std::string shells = shell_.settings();
    shell_.type("setsid -w " + program() + "\n");
    window_ = wait_for_window(x_);
    ASSERT_NE(window_, 0u) << shell_.output();
    ASSERT_TRUE(wait_for_plotting(x_, window_));
    ASSERT_TRUE(wait_until([&] { return in_key_mode(); }, kStartTimeout));
    shell_.type(key);
    EXPECT_TRUE(wait_until([&] { return x_.find(kTitle, true) == 0; }, kExitTimeout))
        << "still plotting";
    EXPECT_TRUE(shell_says("echo to''gether", "together")) << shell_.output();
    EXPECT_EQ(shell_.settings(), shells);
  }
}

GRAIN_FOR_BOTH_PROGRAMS(Jobs);

}  // namespace
}  // namespace e2e
