#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <cstdlib>
#include <stdexcept>

#include "tests/support/process.hpp"
#include "tests/support/terminal.hpp"
#include "tests/support/wait.hpp"

namespace testsupport {

Terminal::Terminal(const std::string& program, TerminalOptions options)
    : answer_(options.answer_cursor_queries), screen_(options.rows, options.cols) {
  winsize ws{};
  ws.ws_row = static_cast<unsigned short>(options.rows);
  ws.ws_col = static_cast<unsigned short>(options.cols);
  // The test keeps the terminal's other side open to read the settings the
  // program leaves.
  if (openpty(&master_, &slave_, nullptr, nullptr, &ws) != 0) throw std::runtime_error("openpty");
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  process_.emplace(Spawn{.env = std::move(options.env), .child = [&] {
    login_tty(slave_);  // a session of its own, with this terminal controlling it
    if (options.file_size_limit >= 0) limit_file_size(options.file_size_limit);
    if (options.stdin_path) {
      const int fd = open(options.stdin_path->c_str(), O_RDONLY);
      if (fd < 0) _exit(126);
      dup2(fd, 0);
      close(fd);
    }
    // Only the terminal: a descriptor of the test's left open (a pipe's
    // writing end) would change what the program sees.
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }});
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  reader_ = std::jthread([this](std::stop_token stop) {
    while (!stop.stop_requested()) pump(10);
  });
}

Terminal::~Terminal() {
  reader_.request_stop();
  reader_.join();
  process_.reset();  // killed if still running
  close(slave_);
  close(master_);
}

// Takes in new output (waiting up to `wait_ms` for some), answers the
// queries in it, and notes the program's end. The end is noted first: all
// the program wrote before it is then read below, so once the end is seen
// its last output is in.
void Terminal::pump(int wait_ms) {
  pollfd p{master_, POLLIN, 0};
  poll(&p, 1, wait_ms);
  std::lock_guard<std::mutex> hold(lock_);
  if (!status_) status_ = process_->wait(std::chrono::milliseconds(0));
  char buf[4096];  // master_ does not block: read until nothing is left
  for (ssize_t n; (n = read(master_, buf, sizeof buf)) > 0;) {
    const std::string replies = screen_.feed(std::string(buf, static_cast<std::size_t>(n)));
    output_.append(buf, static_cast<std::size_t>(n));
    if (answer_ && !replies.empty() && write(master_, replies.data(), replies.size()) < 0) break;
  }
}

void Terminal::type(const std::string& keys) {
  pump(0);  // a query already written is answered before these keys
  std::size_t done = 0;
  while (done < keys.size()) {
    const ssize_t n = write(master_, keys.data() + done, keys.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno != EAGAIN && errno != EINTR)
      throw std::runtime_error("write to terminal failed");
    else std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::string Terminal::output() {
  pump(0);
  std::lock_guard<std::mutex> hold(lock_);
  return output_;
}

bool Terminal::wait_for_output(const std::string& text, std::chrono::milliseconds timeout) {
  return wait_until([&] { return output().find(text) != std::string::npos; }, timeout);
}

std::optional<int> Terminal::wait_exit(std::chrono::milliseconds timeout) {
  std::optional<int> status;
  wait_until(
      [&] {
        pump(0);
        std::lock_guard<std::mutex> hold(lock_);
        status = status_;
        return status.has_value();
      },
      timeout);
  return status;
}

std::string Terminal::settings() {
  termios t{};
  if (tcgetattr(slave_, &t) != 0) return "unreadable";
  return std::string(reinterpret_cast<const char*>(&t), sizeof t);
}

std::string Terminal::row(int r) {
  pump(0);
  std::lock_guard<std::mutex> hold(lock_);
  return screen_.row(r);
}

void Terminal::signal(int signo) {
  std::lock_guard<std::mutex> hold(lock_);
  process_->signal(signo);
}

void Terminal::resize(int rows, int cols) {
  winsize ws{};
  ws.ws_row = static_cast<unsigned short>(rows);
  ws.ws_col = static_cast<unsigned short>(cols);
  ioctl(master_, TIOCSWINSZ, &ws);
}

const std::string& fresh_terminal_settings() {
  static const std::string settings = [] {
    Terminal idle("/bin/cat", {.answer_cursor_queries = false});
    return idle.settings();
  }();
  return settings;
}

}  // namespace testsupport
