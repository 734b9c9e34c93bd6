#pragma once
// A program on a pseudo-terminal, with a small model of the terminal's
// screen fed from its output. A thread of its own reads the output all the
// time and answers cursor-position queries at once, as a real terminal
// does (programs wait for the answer only briefly).
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/pty_process.hpp"

namespace e2e {

class Screen {
 public:
  Screen(int rows, int cols);
  // Interprets terminal output; returns the replies a terminal would send
  // back (cursor position reports).
  std::string feed(const std::string& bytes);
  // Text of a row, trailing blanks removed.
  std::string row(int r) const;
  int cursor_row() const { return row_; }
  int cursor_col() const { return col_; }

 private:
  void put(char c);
  void line_feed();
  std::string control(char final_byte, const std::string& params);
  int param(const std::string& params, std::size_t index, int fallback) const;

  int rows_, cols_;
  std::vector<std::string> cells_;
  int row_ = 0, col_ = 0;
  int saved_row_ = 0, saved_col_ = 0;
  bool wrap_pending_ = false;
  enum class State { text, escape, csi, osc } state_ = State::text;
  std::string params_;
};

class Terminal {
 public:
  static constexpr int rows = 24, cols = 80;

  Terminal(const std::string& program, testsupport::PtyOptions options = {});

  void type(const std::string& keys);
  // Waits until `condition` holds; it is evaluated with the output taken in.
  bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
  // Exit status of the program (its exit code, or 128 + signal), or nullopt
  // on time-out.
  std::optional<int> wait_exit(std::chrono::milliseconds timeout);
  std::string row(int r);
  std::string output();
  std::string settings();

 private:
  void pump();  // takes in new output; the lock is held

  std::mutex lock_;
  testsupport::PtyProcess pty_;
  Screen screen_{rows, cols};
  std::size_t seen_ = 0;
  std::optional<int> status_;
  std::jthread reader_;  // last: stops before the rest goes
};

// Settings of a pseudo-terminal that no program has touched.
const std::string& fresh_terminal_settings();

// A shell script that prints `prompt` and then runs `program` (so that the
// program starts with the cursor away from the terminal's corner), with its
// standard error sent to `stderr_path` unless that is empty ("&-": closed).
std::string launcher(const std::string& program, const std::string& prompt,
                     const std::string& stderr_path);

// A fresh path in a directory of this test process, removed at its end.
std::string scratch_path();

}  // namespace e2e
