#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "tests/support/process.hpp"
#include "tests/support/wait.hpp"

namespace testsupport {
namespace {

// The descriptor the child gets for `r`, and the end the test reads (or -1).
struct Ends {
  int child = -1;
  int test = -1;
};

Ends open_ends(const Redirect& r, bool input) {
  Ends e;
  switch (r.kind) {
    case Redirect::inherit:
    case Redirect::closed:
      break;
    case Redirect::pipe:
    case Redirect::broken_pipe: {
      int p[2];
      if (pipe2(p, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
      e = {p[1], p[0]};
      if (r.kind == Redirect::broken_pipe) {
        close(p[0]);
        e.test = -1;
      }
      break;
    }
    case Redirect::terminal:
      if (openpty(&e.test, &e.child, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty");
      fcntl(e.test, F_SETFD, FD_CLOEXEC);
      fcntl(e.child, F_SETFD, FD_CLOEXEC);
      break;
    case Redirect::file:
      e.child = open(r.path.c_str(), (input ? O_RDONLY : O_WRONLY) | O_CLOEXEC);
      if (e.child < 0) throw std::runtime_error("cannot open " + r.path);
      break;
  }
  return e;
}

void place(const Redirect& r, const Ends& e, int fd) {
  if (r.kind == Redirect::closed) close(fd);
  else if (e.child >= 0) dup2(e.child, fd);  // dup2 clears close-on-exec
}

[[noreturn]] void become_child(const Spawn& s, const Ends (&ends)[3]) {
  if (s.die_with_test) prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (s.new_session) setsid();
  if (s.file_size_limit >= 0) limit_file_size(s.file_size_limit);
  place(s.in, ends[0], 0);
  place(s.out, ends[1], 1);
  place(s.err, ends[2], 2);
  if (!s.child)
    for (int fd = 3; fd < 1024; ++fd)
      if (fd != s.keep_fd) close(fd);
  change_environment(s.env);
  if (s.child) {
    s.child();
    _exit(0);
  }
  std::vector<char*> args;
  for (const std::string& a : s.argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

}  // namespace

void limit_file_size(long bytes) {
  const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(125);
}

void change_environment(const std::vector<std::string>& env) {
  for (const std::string& e : env) {
    const auto eq = e.find('=');
    if (eq == std::string::npos) unsetenv(e.c_str());
    else setenv(e.substr(0, eq).c_str(), e.c_str() + eq + 1, 1);
  }
}

Process::Process(const Spawn& s) {
  const Ends ends[3] = {open_ends(s.in, true), open_ends(s.out, false), open_ends(s.err, false)};
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) become_child(s, ends);
  for (const Ends& e : ends)
    if (e.child >= 0) close(e.child);
  if (ends[0].test >= 0) close(ends[0].test);
  out_fd_ = ends[1].test;
  err_fd_ = ends[2].test;
}

Process::~Process() {
  if (!status_) {
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

bool Process::read_some(int timeout_ms) {
  pollfd p[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (poll(p, 2, timeout_ms) <= 0) return false;
  int* fds[2] = {&out_fd_, &err_fd_};
  std::string* into[2] = {&out_, &err_};
  for (int i = 0; i < 2; ++i) {
    if (p[i].revents == 0) continue;
    char buffer[4096];
    const ssize_t n = read(*fds[i], buffer, sizeof buffer);
    if (n > 0) {
      into[i]->append(buffer, static_cast<std::size_t>(n));
    } else {  // its end, or EIO once a terminal's other side is gone
      close(*fds[i]);
      *fds[i] = -1;
    }
  }
  return true;
}

std::optional<int> Process::wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int st = 0;
    if (!status_ && waitpid(pid_, &st, WNOHANG) == pid_) status_ = st;
    if (status_) {
      // What it wrote before it ended; a descendant may hold the pipe open.
      while ((out_fd_ >= 0 || err_fd_ >= 0) && read_some(0)) {
      }
      return status_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    if (out_fd_ >= 0 || err_fd_ >= 0) read_some(20);
    else std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void Process::signal(int signo) {
  if (!status_) ::kill(pid_, signo);
}

void Process::stop() {
  signal(SIGTERM);
  signal(SIGCONT);
  if (!wait(std::chrono::seconds(2))) {
    signal(SIGKILL);
    wait(kDeadline);
  }
}

Finished run(const Spawn& spawn, std::chrono::milliseconds timeout) {
  Process p(spawn);
  Finished f;
  const auto status = p.wait(timeout);
  f.ended = status.has_value();
  if (!f.ended) {
    p.signal(SIGKILL);
    f.status = p.wait(kDeadline).value_or(-1);
  } else {
    f.status = *status;
  }
  f.out = p.out();
  f.err = p.err();
  return f;
}

int exit_code(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

}  // namespace testsupport
