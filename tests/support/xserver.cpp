#include "tests/support/xserver.hpp"

#include <X11/Xatom.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/support/scratch.hpp"
#include "tests/support/wait.hpp"
#include "tests/support/x_client.hpp"

namespace testsupport {
namespace {

// A helper program of the server's, quiet, and gone with the test process
// however it ends.
Spawn quiet(std::vector<std::string> argv, const std::string& display, int keep_fd = -1) {
  Spawn s{.argv = std::move(argv), .die_with_test = true, .keep_fd = keep_fd};
  s.in = s.out = s.err = {Redirect::file, "/dev/null"};
  if (!display.empty()) s.env.push_back("DISPLAY=" + display);
  return s;
}

// The display number Xvfb writes to `fd` once it accepts clients.
std::string display_number(int fd) {
  std::string number;
  pollfd p{fd, POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (poll(&p, 1, 100) <= 0) continue;
    char c;
    if (read(fd, &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  return number;
}

// An authority file with one MIT-MAGIC-COOKIE-1 entry for any display of
// any host: the address family, a 16-bit big-endian number, then address,
// display number, protocol name and cookie, each a 16-bit big-endian
// length and its bytes. The server reads it at start; a client shows the
// entry that matches its display, and this one matches every display.
std::string cookie_entry() {
  auto field = [](const std::string& bytes) {
    const auto n = bytes.size();
    return std::string{static_cast<char>(n >> 8), static_cast<char>(n & 255)} + bytes;
  };
  const std::string family{'\xff', '\xff'};  // FamilyWild
  const std::string cookie = "\x13\x57\x9b\xdf\x02\x46\x8a\xce\x11\x33\x55\x77\x99\xbb\xdd\xff";
  return family + field("") + field("") + field("MIT-MAGIC-COOKIE-1") + field(cookie);
}

}  // namespace

XServer::XServer(const XServerOptions& options) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  std::string screen = std::to_string(options.width) + "x" + std::to_string(options.height) + "x" +
                       std::to_string(options.depth);
  std::vector<std::string> argv{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                screen, "-nolisten", "tcp"};
  if (!options.reset_when_idle) argv.push_back("-noreset");
  if (options.require_cookie) {
    cookie_file_ = scratch_file(cookie_entry());
    argv.push_back("-auth");
    argv.push_back(cookie_file_);
  }
  if (options.visual_class >= 0) {
    argv.push_back("-cc");
    argv.push_back(std::to_string(options.visual_class));
  }
  xvfb_ = std::make_unique<Process>(quiet(argv, "", fds[1]));
  close(fds[1]);
  const std::string number = display_number(fds[0]);
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start");
  display_ = ":" + number;
  if (!options.window_manager) return;

  wm_ = std::make_unique<Process>(quiet({"openbox", "--sm-disable"}, display_));
  XClient x(display_);
  const Window root = DefaultRootWindow(x.display());
  // Ready once it names its check window on the root window.
  const bool ready = wait_until(
      [&] { return !x.long_property(root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty(); }, 30s,
      20ms);
  if (!ready) throw std::runtime_error("openbox did not start");
}

XServer::~XServer() { kill(); }

void XServer::kill() {
  if (wm_) wm_->stop();
  if (xvfb_) xvfb_->stop();
}

void XServer::pause() { xvfb_->signal(SIGSTOP); }

void XServer::resume() { xvfb_->signal(SIGCONT); }

}  // namespace testsupport
