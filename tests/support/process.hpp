#pragma once
// A child process: started with its arguments, environment and standard
// streams as a test sets them, read back through pipes, waited for with a
// deadline and killed if it outlives the test. On Windows only run() exists.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// Where one of the child's standard streams goes.
struct Redirect {
  enum Kind {
    inherit,      // this process's own
    pipe,         // a pipe read back by the test (output streams)
    closed,       // no such stream at all
    broken_pipe,  // a pipe whose reading end is already closed
    terminal,     // a new pseudo-terminal, read back like a pipe
    file,         // `path`, opened for reading (input) or writing (output)
  } kind = inherit;
  std::string path{};
};

struct Spawn {
  std::vector<std::string> argv{};  // argv[0]: the program's path
  std::vector<std::string> env{};   // "NAME=value" set, "NAME" removed
  Redirect in{}, out{}, err{};
  // POSIX: run in the forked child instead of argv (it must not return).
  std::function<void()> child{};
  bool new_session = false;      // POSIX: setsid, no controlling terminal
  bool die_with_test = false;    // POSIX: killed when the test process dies
  int keep_fd = -1;              // POSIX: the one descriptor above 2 argv's program inherits
  long file_size_limit = -1;     // POSIX: RLIMIT_FSIZE in bytes (`ulimit -f`); -1: inherited
  unsigned creation_flags = 0;   // Windows: for CreateProcess (DETACHED_PROCESS: no console)
};

class Process {
 public:
  explicit Process(const Spawn& spawn);
  ~Process();  // kills it if still running
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  int pid() const { return pid_; }
  // Reads its output until it has ended; its wait status, or nullopt when
  // it still runs after `timeout`.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  void signal(int signo);
  // SIGTERM (and SIGCONT for a stopped one), SIGKILL if it lingers.
  void stop();
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  bool read_some(int timeout_ms);  // false: nothing to read in that time
  int pid_ = -1;
  int out_fd_ = -1, err_fd_ = -1;
  std::string out_, err_;
  std::optional<int> status_;
};

struct Finished {
  bool ended = false;  // false: still running at the deadline, then killed
  int status = -1;     // POSIX: wait status; Windows: exit code
  std::string out{}, err{};
};

// Runs a program to its end, killing it at the deadline.
Finished run(const Spawn& spawn, std::chrono::milliseconds timeout = std::chrono::seconds(120));

// POSIX: "NAME=value" set, "NAME" removed, in this process.
void change_environment(const std::vector<std::string>& env);

// POSIX: sets this process's file-size limit (soft and hard) to `bytes`;
// for a child between fork and exec.
void limit_file_size(long bytes);

// An exit status as a shell gives it: the exit code, or 128 + the signal.
int exit_code(int wait_status);

}  // namespace testsupport
