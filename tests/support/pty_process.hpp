#pragma once
// A program run on a real pseudo-terminal, as a user would run it: keys are
// written to the terminal, the screen output is read back.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct PtyOptions {
  std::vector<std::string> env;  // "NAME=value", added to the environment
  int rows = 24;
  int cols = 80;
  // Where standard input comes from: the terminal (default), or a file path.
  std::optional<std::string> stdin_path;
};

class PtyProcess {
 public:
  PtyProcess(const std::string& program, const PtyOptions& options = {});
  ~PtyProcess();  // kills the program if still running
  PtyProcess(const PtyProcess&) = delete;
  PtyProcess& operator=(const PtyProcess&) = delete;

  int pid() const { return pid_; }
  // Types bytes on the terminal.
  void type(const std::string& keys);
  // Everything the program wrote to the terminal so far.
  const std::string& output();
  // Waits until output contains `text`; false on time-out.
  bool wait_for_output(const std::string& text, std::chrono::milliseconds timeout);
  // Waits for the program to end; the wait status, or nullopt on time-out.
  std::optional<int> wait_exit(std::chrono::milliseconds timeout);
  // The terminal's settings (termios) as a comparable string.
  std::string terminal_settings();
  void signal(int signo);
  // Gives the terminal a new size (its foreground job gets SIGWINCH).
  void resize(int rows, int cols);

 private:
  void drain(std::chrono::milliseconds wait);
  int pid_ = -1;
  int master_ = -1;
  int slave_ = -1;  // held open to read the program's terminal settings
  std::string output_;
  std::optional<int> status_;
};

// Path of a built program, e.g. build_path("programs/trigrain").
std::string build_path(const std::string& relative);

}  // namespace testsupport
