// The whole console path on a real pseudo-terminal: start-up, KEYPRESSED,
// the line read with its echo, and the terminal settings given back however
// the program ends or stops.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.hpp"
#include "tests/support/programs.hpp"
#include "tests/support/scratch.hpp"
#include "tests/support/terminal.hpp"
#include "tests/support/wait.hpp"

namespace {

using namespace std::chrono_literals;
using testsupport::Screen;
using testsupport::Terminal;
using testsupport::TerminalOptions;
using testsupport::wait_until;

const std::string kQuery = "\x1b[6n";

std::string probe() { return testsupport::program("console_probe"); }

// The probe on a terminal that leaves the answers to cursor queries to the
// test: it types them ahead, so that no time-out can miss them.
TerminalOptions typed_answers(std::vector<std::string> env,
                              std::optional<std::string> stdin_path = std::nullopt) {
  return {.env = std::move(env), .stdin_path = std::move(stdin_path), .answer_cursor_queries = false};
}

termios as_termios(const std::string& s) {
  termios t{};
  std::memcpy(&t, s.data(), std::min(s.size(), sizeof t));
  return t;
}

enum class Query { kFirst, kLast };

// The screen, `rows` x `cols`, as drawn after the first (or the last)
// cursor query; blank when there was none.
Screen screen_after_query(Terminal& p, Query which = Query::kFirst, int rows = 24,
                          int cols = 80) {
  Screen s(rows, cols);
  const std::string out = p.output();
  const auto at = which == Query::kFirst ? out.find(kQuery) : out.rfind(kQuery);
  if (at != std::string::npos) s.feed(out.substr(at + kQuery.size()));
  return s;
}

bool exited_with(const std::optional<int>& st, int code) {
  return st && WIFEXITED(*st) && WEXITSTATUS(*st) == code;
}

// Starts the probe, lets it read its go-line, and waits until the terminal
// is in key mode and the program has asked where the cursor is (at its
// first poll, nothing typed ahead). start_line types the key that ends the
// poll, `early_keys`, and then the terminal's late answer: the line reads
// on to it, taking the keys before it as its own.
struct Session {
  Terminal p;
  std::string before, keys, early, report;
  explicit Session(std::vector<std::string> env, const std::string& early_keys = "",
                   const char* answer = "\x1b[5;3R")
      : p(probe(), typed_answers(std::move(env))), early(early_keys), report(answer) {
    before = p.settings();
    p.type("go\n");
    EXPECT_TRUE(wait_until([&] { return p.settings() != before; }));
    keys = p.settings();
    EXPECT_TRUE(p.wait_for_output(kQuery, 10s));
  }
  void start_line(const std::string& first_key) { p.type(first_key + early + report); }
};

// Waits for a cursor question written after the first `seen` bytes of the
// output, and answers it with `report`.
void answer_next_query(Terminal& p, std::size_t seen, const std::string& report) {
  EXPECT_TRUE(wait_until([&] { return p.output().find(kQuery, seen) != std::string::npos; }));
  p.type(report);
}

// The job's process id, as the probe's job-control shell tells it.
pid_t job_of(Terminal& p) {
  pid_t job = -1;
  wait_until([&] {
    const std::string out = p.output();
    const auto at = out.find("[job ");
    if (at == std::string::npos || out.find(']', at) == std::string::npos) return false;
    job = static_cast<pid_t>(std::atol(out.c_str() + at + 5));
    return true;
  });
  return job;
}

// The state letter of a process (R, S, T, Z, ...), or 0 when it is gone.
char process_state(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto paren = stat.rfind(')');
  return paren == std::string::npos || paren + 2 >= stat.size() ? 0 : stat[paren + 2];
}

// Whether a process has a handler for `sig` (SigCgt in /proc/<pid>/status).
bool catches(pid_t pid, int sig) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.starts_with("SigCgt:"))
      return (std::stoull(line.substr(7), nullptr, 16) >> (sig - 1) & 1) != 0;
  return false;
}

TEST(ConsolePty, KeyModeSettings) {
  Session s({"PROBE_WAIT_GO=1"});
  const termios was = as_termios(s.before), now = as_termios(s.keys);
  EXPECT_EQ(now.c_lflag & (ICANON | ECHO | IEXTEN), 0u);
  EXPECT_NE(now.c_lflag & ISIG, 0u);
  EXPECT_EQ(now.c_iflag & (ICRNL | IXON), 0u);
  EXPECT_EQ(now.c_oflag, was.c_oflag);
  s.p.type("\r");
  EXPECT_TRUE(exited_with(s.p.wait_exit(10s), 0));
}

TEST(ConsolePty, TypedLineIsEchoedAtTheCursorAndSettingsComeBack) {
  Session s({"PROBE_WAIT_GO=1"});
  s.start_line("h");
  s.p.type("ello\x7fp\x1b[D\x1b[DL\r");  // Backspace, then Left twice and overwrite
  EXPECT_TRUE(exited_with(s.p.wait_exit(10s), 0));
  EXPECT_EQ(s.p.settings(), s.before);
  const Screen screen = screen_after_query(s.p);
  EXPECT_EQ(screen.at(5, 1, 10), "  helLp   ");
  EXPECT_EQ(screen.cursor_row(), 5);  // the start of the next row
  EXPECT_EQ(screen.cursor_col(), 0);
}

TEST(ConsolePty, KeysTypedBeforeTheCursorReportAreKept) {
  Session s({"PROBE_WAIT_GO=1"}, "q");
  s.start_line("a");
  s.p.type("w\r");
  EXPECT_TRUE(exited_with(s.p.wait_exit(10s), 0));
  EXPECT_EQ(screen_after_query(s.p).at(5, 3, 4), "aqw ");
}

TEST(ConsolePty, EnterEndsAtOnceAndEscEchoesNothing) {
  Session s({"PROBE_WAIT_GO=1"});
  s.start_line("\x1b");  // a lone Esc ends the plotting loop...
  std::this_thread::sleep_for(200ms);
  s.p.type("\x1bOP\r");  // ...F1 is ignored, Enter ends
  EXPECT_TRUE(exited_with(s.p.wait_exit(10s), 0));
  EXPECT_EQ(screen_after_query(s.p).at(5, 1, 10), std::string(10, ' '));
}

TEST(ConsolePty, WithoutCursorReportTheEchoStartsBottomLeft) {
  Session s({"PROBE_WAIT_GO=1"}, "", "");
  s.start_line("z");
  s.p.type("\r");
  EXPECT_TRUE(exited_with(s.p.wait_exit(10s), 0));
  const Screen screen = screen_after_query(s.p);
  EXPECT_EQ(screen.at(23, 1, 2), "z ");  // scrolled up by the line end
  EXPECT_EQ(screen.cursor_row(), 23);
  EXPECT_EQ(s.p.settings(), s.before);
}

// Standard output elsewhere (/dev/null, or another terminal): the cursor
// question and the echo go to the terminal the keys come from.
TEST(ConsolePty, StandardOutputElsewhereEchoesOnTheKeyTerminal) {
  for (const char* elsewhere : {"PROBE_STDOUT_NULL=1", "PROBE_STDOUT_PTY=1"}) {
    SCOPED_TRACE(elsewhere);
    Session s({"PROBE_WAIT_GO=1", elsewhere});
    s.start_line("h");
    s.p.type("i\r");
    EXPECT_TRUE(exited_with(s.p.wait_exit(10s), 0));
    EXPECT_EQ(screen_after_query(s.p).at(5, 3, 2), "hi");
    EXPECT_EQ(s.p.settings(), s.before);
  }
}

TEST(ConsolePty, FatalSignalsGiveTheSettingsBack) {
  struct Way { int sig; const char* key; };
  for (const Way w : {Way{SIGTERM, nullptr}, Way{SIGHUP, nullptr}, Way{SIGINT, "\x03"}}) {
    Session s({"PROBE_WAIT_GO=1"});
    if (w.key != nullptr) s.p.type(w.key);
    else s.p.signal(w.sig);
    const auto st = s.p.wait_exit(10s);
    ASSERT_TRUE(st.has_value()) << w.sig;
    EXPECT_TRUE(WIFSIGNALED(*st) && WTERMSIG(*st) == w.sig) << w.sig;
    EXPECT_EQ(s.p.settings(), s.before) << w.sig;
  }
}

// Every other signal that ends a process, the processor-fault signals
// included when they are sent rather than raised by a fault.
TEST(ConsolePty, EveryEndingSignalGivesTheSettingsBackAndEndsByItself) {
  const rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  for (const int sig : {SIGABRT, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU, SIGXFSZ, SIGSYS, SIGVTALRM,
                        SIGPROF, SIGPIPE, SIGRTMIN + 2, SIGRTMAX, SIGSEGV, SIGFPE, SIGILL, SIGBUS}) {
    // A cross build's user-mode emulator keeps the last two real-time
    // signals for itself: kill refuses to send them.
    if (sig == SIGRTMAX && !testsupport::emulator().empty()) continue;
    Session s({"PROBE_WAIT_GO=1"});
    s.p.signal(sig);
    const auto st = s.p.wait_exit(10s);
    ASSERT_TRUE(st.has_value()) << sig;
    EXPECT_TRUE(WIFSIGNALED(*st) && WTERMSIG(*st) == sig) << sig << " status " << *st;
    EXPECT_EQ(s.p.settings(), s.before) << sig;
  }
}

// In a session of its own the terminal cannot signal the program: it reads
// Ctrl+C and Ctrl+\ itself and ends by their signals, settings given back.
TEST(ConsolePty, InASessionOfItsOwnTheInterruptKeysStillEndIt) {
  const rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  struct Way { const char* key; int sig; };
  for (const Way w : {Way{"\x03", SIGINT}, Way{"\x1c", SIGQUIT}}) {
    Session s({"PROBE_SETSID=1", "PROBE_WAIT_GO=1"});
    EXPECT_EQ(as_termios(s.keys).c_lflag & ISIG, 0u);
    s.start_line("a");
    ASSERT_TRUE(s.p.wait_for_output("\x1b[5;3Ha", 10s));
    s.p.type(w.key);
    const auto st = s.p.wait_exit(10s);
    ASSERT_TRUE(st.has_value()) << w.sig;
    EXPECT_TRUE(WIFSIGNALED(*st) && WTERMSIG(*st) == w.sig) << w.sig << " status " << *st;
    EXPECT_EQ(s.p.settings(), s.before) << w.sig;
  }
}

// kill %1 on a stopped job: the shell sends the signal, then SIGCONT. The
// job, now in the background, ends at once and leaves the terminal alone.
TEST(ConsolePty, StoppedJobEndsOnTermOrHangup) {
  for (const int sig : {SIGTERM, SIGHUP}) {
    Session s({"PROBE_JOBS=1", "PROBE_WAIT_GO=1"});
    const pid_t job = job_of(s.p);
    ASSERT_GT(job, 0);
    s.p.type("\x1a");
    ASSERT_TRUE(s.p.wait_for_output("[stopped]", 10s));
    kill(job, sig);
    kill(job, SIGCONT);
    EXPECT_TRUE(wait_until([&] { return process_state(job) == 'Z'; })) << sig << " state " << process_state(job);
    s.p.type("\n");  // the shell looks at its job again
    const auto st = s.p.wait_exit(10s);
    ASSERT_TRUE(st.has_value()) << sig;
    EXPECT_TRUE(WIFSIGNALED(*st) && WTERMSIG(*st) == sig) << sig;
    EXPECT_EQ(s.p.settings(), s.before) << sig;
  }
}

// Stops and continues in a burst, spaced a little differently each time so
// that some land while a handler is at work on either thread: the program
// must still end on Ctrl+C, with the terminal given back. GRAIN_STOP_BURST
// sets the number of pairs (scripts/soak runs a longer burst).
TEST(ConsolePty, BurstOfStopsAndContinuesNeverJams) {
  // qemu-user 7.2 emulates the stops itself; after such a burst the arm64
  // build was left, about one run in three, neither stopped nor back in key
  // mode, and then ended on Ctrl+C but not by SIGINT. Natively (and in the
  // soak's longer burst) it never was.
  if (!testsupport::emulator().empty())
    GTEST_SKIP() << "under a user-mode emulator a burst of stops can leave the program stuck";
  const char* burst = std::getenv("GRAIN_STOP_BURST");
  const int pairs = burst != nullptr ? std::atoi(burst) : 20000;
  Session s({"PROBE_JOBS=quiet", "PROBE_THREAD=1", "PROBE_WAIT_GO=1"});
  const pid_t job = job_of(s.p);
  ASSERT_GT(job, 0);
  const auto pause = [](int i) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(i % 16);
    while (std::chrono::steady_clock::now() < until) {
    }
  };
  for (int i = 0; i < pairs; ++i) {
    kill(job, SIGTSTP);
    pause(i);
    kill(job, SIGCONT);
    pause(i / 16);
    if (i % 256 == 0) s.p.output();  // keep the terminal from filling up
  }
  // Generous deadlines: 20000 stops and continues take a loaded machine a
  // while to work through. A stop handler may still be under way when the
  // process is first seen running in key mode, so it must stay so for half
  // a second, continued all along.
  int settled = 0;
  EXPECT_TRUE(wait_until(
      [&] {
        kill(job, SIGCONT);
        const bool running = s.p.settings() == s.keys && process_state(job) != 'T';
        settled = running ? settled + 1 : 0;
        return settled == 100;
      },
      60s));
  s.p.type("\x03");
  const auto st = s.p.wait_exit(60s);
  ASSERT_TRUE(st.has_value()) << "state " << process_state(job) << ", settings as found "
                              << (s.p.settings() == s.before);
  EXPECT_TRUE(WIFSIGNALED(*st) && WTERMSIG(*st) == SIGINT);
  EXPECT_EQ(s.p.settings(), s.before);
}

TEST(ConsolePty, CtrlZStopsWithTheSettingsBackAndContinuesInKeyMode) {
  Session s({"PROBE_JOBS=1", "PROBE_WAIT_GO=1"});
  s.start_line("a");
  // Typed-ahead keys the program has not read yet go to the shell on a stop.
  ASSERT_TRUE(s.p.wait_for_output("\x1b[5;3Ha", 10s));
  s.p.type("\x1a");  // Ctrl+Z
  ASSERT_TRUE(s.p.wait_for_output("[stopped]", 10s));
  EXPECT_EQ(s.p.settings(), s.before);
  // Others have written meanwhile: the program asks where the cursor is
  // now and draws the line again there.
  const std::size_t seen = s.p.output().size();
  s.p.type("fg\n");
  EXPECT_TRUE(wait_until([&] { return s.p.settings() == s.keys; }));
  answer_next_query(s.p, seen, "\x1b[8;1R");
  ASSERT_TRUE(s.p.wait_for_output("\x1b[8;1Ha", 10s));
  s.p.type("b\r");
  EXPECT_TRUE(exited_with(s.p.wait_exit(10s), 0));
  EXPECT_EQ(s.p.settings(), s.before);
  const Screen screen = screen_after_query(s.p);
  EXPECT_EQ(screen.at(8, 1, 3), "ab ");
  EXPECT_EQ(screen.cursor_row(), 8);  // the line end follows the line
}

// Started in the background, the program leaves the terminal alone; handed
// the terminal without a SIGCONT (fg of a running job), it notices, takes
// key mode, and at the end gives back the settings it was handed, not the
// ones the shell had when the job started.
TEST(ConsolePty, StartedInTheBackgroundTakesKeyModeOnceInFront) {
  Terminal p(probe(), typed_answers({"PROBE_JOBS=back"}));
  const pid_t job = job_of(p);
  ASSERT_GT(job, 0);
  // Its console has started (it has taken the settings) once it catches SIGTSTP.
  ASSERT_TRUE(wait_until([&] { return catches(job, SIGTSTP); }));
  p.type("fg\n");
  ASSERT_TRUE(wait_until([&] { return (as_termios(p.settings()).c_lflag & ICANON) == 0; }));
  p.type("\r");
  EXPECT_TRUE(exited_with(p.wait_exit(10s), 0));
  const termios after = as_termios(p.settings());
  EXPECT_EQ(after.c_cc[VKILL], 'K' & 0x1F);
  EXPECT_NE(after.c_lflag & (ICANON | ECHO), 0u);
}

// What is typed after the final line's Enter is left for the shell.
TEST(ConsolePty, TypeaheadAfterTheFinalLineStaysInTheTerminal) {
  Session s({"PROBE_JOBS=1", "PROBE_WAIT_GO=1", "PROBE_REST=1"});
  s.start_line("x");
  s.p.type("\recho hi\n");
  EXPECT_TRUE(exited_with(s.p.wait_exit(10s), 0));
  EXPECT_NE(s.p.output().find("[rest echo hi]"), std::string::npos) << s.p.output();
}

// A slow terminal (a long link's round trip) answers the question asked
// during the plot 300 ms late; the key that ends the plot comes meanwhile,
// the rest of the burst behind the answer. The line reads on to the answer,
// starts its echo at the reported place, and leaves what follows its Enter
// to the shell.
TEST(ConsolePty, SlowAnswerPlacesTheEchoAndLeavesWhatFollowsTheEnter) {
  Session s({"PROBE_JOBS=1", "PROBE_WAIT_GO=1", "PROBE_REST=1"}, "", "");
  s.start_line("x");
  std::this_thread::sleep_for(300ms);
  s.p.type("\x1b[7;4R\recho ahead-$((6*7))\n");
  EXPECT_TRUE(exited_with(s.p.wait_exit(10s), 0));
  EXPECT_NE(s.p.output().find("\x1b[7;4Hx"), std::string::npos) << s.p.output();
  EXPECT_NE(s.p.output().find("[rest echo ahead-$((6*7))]"), std::string::npos) << s.p.output();
}

// Typed ahead of the first poll: the program does not ask (the answer would
// come behind the keys), the echo starts bottom-left, and what follows the
// Enter stays for the shell.
TEST(ConsolePty, TypeaheadAtTheFirstPollIsNotAskedBehind) {
  Terminal p(probe(), typed_answers({"PROBE_JOBS=1", "PROBE_WAIT_GO=1", "PROBE_REST=1"}));
  const std::string before = p.settings();
  // Typed before key mode, where Enter would still become a line feed.
  p.type("go\nxy");
  ASSERT_TRUE(wait_until([&] { return p.settings() != before; }));
  p.type("\recho hi\n");
  EXPECT_TRUE(exited_with(p.wait_exit(10s), 0));
  EXPECT_EQ(p.output().find(kQuery), std::string::npos) << p.output();
  EXPECT_NE(p.output().find("\x1b[24;1Hxy"), std::string::npos) << p.output();
  EXPECT_NE(p.output().find("[rest echo hi]"), std::string::npos) << p.output();
}

// A program that ends before it reads its line (here once the console has
// started, as after a failed start-up of the graphics) leaves what was
// typed ahead in the terminal.
TEST(ConsolePty, EndingBeforeTheLineLeavesTheTypeaheadInTheTerminal) {
  Terminal p(probe(), typed_answers({"PROBE_JOBS=1", "PROBE_WAIT_GO=1", "PROBE_REST=1",
                                     "PROBE_HALT=1"}));
  const std::string before = p.settings();
  p.type("go\necho hi\n");
  EXPECT_TRUE(exited_with(p.wait_exit(10s), 1));
  EXPECT_NE(p.output().find("[rest echo hi]"), std::string::npos) << p.output();
  EXPECT_EQ(p.output().find(kQuery), std::string::npos);
  EXPECT_EQ(p.settings(), before);
}

// Ending with the question's answer still owed (a run-time error just after
// the first poll), the program reads on to the answer, so that the shell
// gets the keys that follow it and not the report as typed text.
TEST(ConsolePty, EndingWithAnAnswerOwedReadsItAndLeavesWhatFollows) {
  Terminal p(probe(), typed_answers({"PROBE_JOBS=1", "PROBE_WAIT_GO=1", "PROBE_REST=1",
                                     "PROBE_HALT=poll"}));
  p.type("go\n");
  ASSERT_TRUE(p.wait_for_output(kQuery, 10s));
  p.type("\x1b[3;3Recho hi\n");
  EXPECT_TRUE(exited_with(p.wait_exit(10s), 1));
  EXPECT_NE(p.output().find("[rest echo hi]"), std::string::npos) << p.output();
}

// Resized while the line is typed: the line is drawn again at the cursor
// and wraps at the new width.
TEST(ConsolePty, ResizeDrawsTheLineAgainInTheNewWidth) {
  Session s({"PROBE_WAIT_GO=1"});
  s.start_line("a");
  s.p.type("bcdefghij");
  ASSERT_TRUE(s.p.wait_for_output("j", 10s));
  const std::size_t seen = s.p.output().size();
  s.p.resize(24, 20);
  answer_next_query(s.p, seen, "\x1b[6;1R");
  ASSERT_TRUE(s.p.wait_for_output("\x1b[6;1Ha", 10s));
  s.p.type("klmnopqrstuvw\r");
  EXPECT_TRUE(exited_with(s.p.wait_exit(10s), 0));
  const Screen screen = screen_after_query(s.p, Query::kLast, 24, 20);
  EXPECT_EQ(screen.at(6, 1, 20), "abcdefghijklmnopqrst");
  EXPECT_EQ(screen.at(7, 1, 4), "uvw ");
  EXPECT_EQ(screen.cursor_row(), 7);  // the line end follows the line
  EXPECT_EQ(screen.cursor_col(), 0);
}

// A character of the line takes one cell, shown as '?' when it is a
// control character: Ctrl+J does not move down, Ctrl+G is not lost.
TEST(ConsolePty, ControlCharactersShowAsOneQuestionMarkEach) {
  Session s({"PROBE_WAIT_GO=1"});
  s.start_line("a");
  s.p.type("\n\x07\x01" "b\r");
  EXPECT_TRUE(exited_with(s.p.wait_exit(10s), 0));
  const Screen screen = screen_after_query(s.p);
  EXPECT_EQ(screen.at(5, 3, 6), "a???b ");
  EXPECT_EQ(screen.at(6, 1, 3), "   ");
}


// <&- >&- : no terminal is opened in their place; closed input is input at
// its end, so the program ends at once without asking the terminal.
TEST(ConsolePty, ClosedStandardInputAndOutputEndAtOnce) {
  Terminal p(probe(), typed_answers({"PROBE_CLOSE_STD=1"}));
  const std::string before = p.settings();
  EXPECT_TRUE(exited_with(p.wait_exit(10s), 0));
  EXPECT_EQ(p.output().find(kQuery), std::string::npos);
  EXPECT_EQ(p.settings(), before);
}

TEST(ConsolePty, StandardInputFromAFileReadsOneLineWithoutEcho) {
  for (const std::string content : {"line one\nline two\n", "", "no line end"}) {
    Terminal p(probe(), typed_answers({}, testsupport::scratch_file(content)));
    const std::string before = p.settings();
    EXPECT_TRUE(exited_with(p.wait_exit(10s), 0)) << content;
    EXPECT_EQ(p.output().find("line"), std::string::npos);
    EXPECT_EQ(p.output().find(kQuery), std::string::npos);
    EXPECT_EQ(p.settings(), before);
  }
  Terminal null(probe(), typed_answers({}, "/dev/null"));
  EXPECT_TRUE(exited_with(null.wait_exit(10s), 0));
}

// What the probe wrote and how it ended when started with no controlling
// terminal, standard input /dev/null and standard error as `err` says.
testsupport::Finished run_without_terminal(testsupport::Redirect err, long file_size_limit = -1) {
  using testsupport::Redirect;
  return testsupport::run({.argv = testsupport::command(probe()),
                           .in = {Redirect::file, "/dev/null"},
                           .out = {Redirect::pipe},
                           .err = err,
                           .new_session = true,
                           .file_size_limit = file_size_limit},
                          10s);
}

// Without any terminal the console cannot start.
TEST(ConsoleStartup, NoTerminalEndsWithStatusOneAndAMessage) {
  const auto h = run_without_terminal({testsupport::Redirect::pipe});
  EXPECT_EQ(testsupport::exit_code(h.status), 1);
  EXPECT_EQ(h.err, "No way to get the console handle\n");
  EXPECT_EQ(h.out, "");
}

// The message cannot be written: still status 1, and no run-time error.
TEST(ConsoleStartup, NoTerminalWithUnwritableStandardErrorStillEndsWithStatusOne) {
  using testsupport::Redirect;
  for (const Redirect& err : {Redirect{Redirect::file, "/dev/full"}, Redirect{Redirect::closed}}) {
    SCOPED_TRACE(err.path);
    const auto h = run_without_terminal(err);
    EXPECT_EQ(testsupport::exit_code(h.status), 1);
    EXPECT_EQ(h.out, "");
  }
}

// Standard error into a file past the file-size limit (`ulimit -f 0`): the
// message's write fails, and the limit's signal does not end the process.
TEST(ConsoleStartup, NoTerminalWithStandardErrorPastTheFileSizeLimitEndsWithStatusOne) {
  if (!testsupport::emulator().empty())
    GTEST_SKIP() << "under a user-mode emulator SIGXFSZ ends the program whatever it blocks";
  using testsupport::Redirect;
  const auto h = run_without_terminal({Redirect::file, testsupport::scratch_file("")}, 0);
  EXPECT_FALSE(WIFSIGNALED(h.status)) << "signal " << WTERMSIG(h.status);
  EXPECT_EQ(testsupport::exit_code(h.status), 1);
}

}  // namespace
