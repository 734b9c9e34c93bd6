#pragma once
// A program run on a real pseudo-terminal, as a user runs it: keys are
// typed on the terminal, what the program writes is kept and fed to a model
// of the screen. A thread of its own reads the output all the time and, like
// a real terminal, answers cursor-position queries at once (programs wait
// for the answer only briefly).
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.hpp"
#include "tests/support/screen.hpp"

namespace testsupport {

struct TerminalOptions {
  std::vector<std::string> env{};  // "NAME=value" set, "NAME" removed
  int rows = 24;
  int cols = 80;
  // Where standard input comes from: the terminal (default), or a file.
  std::optional<std::string> stdin_path{};
  // Off: the test types the answers itself (or none).
  bool answer_cursor_queries = true;
  long file_size_limit = -1;  // RLIMIT_FSIZE in bytes (`ulimit -f`); -1: inherited
};

class Terminal {
 public:
  explicit Terminal(const std::string& program, TerminalOptions options = {});
  ~Terminal();  // kills the program if still running
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  int pid() const { return process_->pid(); }
  void type(const std::string& keys);
  // Everything the program wrote so far.
  std::string output();
  bool wait_for_output(const std::string& text, std::chrono::milliseconds timeout);
  // Its wait status once it has ended; nullopt while it runs after `timeout`.
  std::optional<int> wait_exit(std::chrono::milliseconds timeout);
  // The terminal's settings (termios) as a comparable string.
  std::string settings();
  // A row of the screen model (from 0), trailing blanks removed.
  std::string row(int r);
  void signal(int signo);
  // Gives the terminal a new size (its foreground job gets SIGWINCH).
  void resize(int rows, int cols);

 private:
  void pump(int wait_ms);

  std::mutex lock_;
  int master_ = -1;
  int slave_ = -1;
  bool answer_;
  std::optional<Process> process_;
  std::string output_;
  Screen screen_;
  std::optional<int> status_;
  std::jthread reader_;  // last: stops before the rest goes
};

// Settings of a pseudo-terminal that no program has touched.
const std::string& fresh_terminal_settings();

}  // namespace testsupport
