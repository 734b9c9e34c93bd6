#include "tests/support/pty_process.hpp"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace testsupport {

using namespace std::chrono;

PtyProcess::PtyProcess(const std::string& program, const PtyOptions& options) {
  winsize ws{};
  ws.ws_row = static_cast<unsigned short>(options.rows);
  ws.ws_col = static_cast<unsigned short>(options.cols);
  pid_ = forkpty(&master_, nullptr, nullptr, &ws);
  if (pid_ < 0) throw std::runtime_error("forkpty failed");
  if (pid_ == 0) {
    for (const auto& e : options.env) putenv(strdup(e.c_str()));
    if (options.stdin_path) {
      int fd = open(options.stdin_path->c_str(), O_RDONLY);
      if (fd < 0) _exit(126);
      dup2(fd, 0);
      close(fd);
    }
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
}

PtyProcess::~PtyProcess() {
  if (!status_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
}

void PtyProcess::type(const std::string& keys) {
  std::size_t done = 0;
  while (done < keys.size()) {
    ssize_t n = write(master_, keys.data() + done, keys.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      throw std::runtime_error("write to terminal failed");
    } else {
      std::this_thread::sleep_for(milliseconds(1));
    }
  }
}

void PtyProcess::drain(milliseconds wait) {
  pollfd p{master_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(wait.count())) <= 0) return;
  char buf[4096];
  for (;;) {
    ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) break;
    output_.append(buf, static_cast<std::size_t>(n));
  }
}

const std::string& PtyProcess::output() {
  drain(milliseconds(0));
  return output_;
}

bool PtyProcess::wait_for_output(const std::string& text, milliseconds timeout) {
  auto deadline = steady_clock::now() + timeout;
  while (output_.find(text) == std::string::npos) {
    if (steady_clock::now() >= deadline) return false;
    drain(milliseconds(20));
  }
  return true;
}

std::optional<int> PtyProcess::wait_exit(milliseconds timeout) {
  auto deadline = steady_clock::now() + timeout;
  while (!status_) {
    int st;
    if (waitpid(pid_, &st, WNOHANG) == pid_) {
      status_ = st;
      break;
    }
    if (steady_clock::now() >= deadline) return std::nullopt;
    drain(milliseconds(10));  // keep the terminal from filling up
  }
  drain(milliseconds(0));
  return status_;
}

std::string PtyProcess::terminal_settings() {
  termios t{};
  if (tcgetattr(slave_, &t) != 0) return "unreadable";
  return std::string(reinterpret_cast<const char*>(&t), sizeof t);
}

void PtyProcess::signal(int signo) { ::kill(pid_, signo); }

void PtyProcess::resize(int rows, int cols) {
  winsize ws{};
  ws.ws_row = static_cast<unsigned short>(rows);
  ws.ws_col = static_cast<unsigned short>(cols);
  ioctl(master_, TIOCSWINSZ, &ws);
}

std::string build_path(const std::string& relative) {
  const char* dir = std::getenv("GRAIN_BUILD_DIR");
  return std::string(dir ? dir : ".") + "/" + relative;
}

}  // namespace testsupport
