#include "tests/support/xserver.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {
namespace {

int spawn(const std::vector<std::string>& argv, const std::string& display, int keep_fd = -1) {
  int pid = fork();
  if (pid == 0) {
    // A test that dies abruptly must not leave its servers behind.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    for (int fd = 3; fd < 1024; ++fd)
      if (fd != keep_fd) close(fd);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid;
}

void stop(int& pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  kill(pid, SIGCONT);  // a paused server ends too
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  pid = -1;
}

bool window_manager_ready(Display* d) {
  Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  bool ok = XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type,
                               &format, &n, &after, &data) == Success &&
            n == 1;
  if (data) XFree(data);
  return ok;
}

}  // namespace

XServer::XServer(const XServerOptions& options) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  std::string screen = std::to_string(options.width) + "x" + std::to_string(options.height) + "x24";
  std::vector<std::string> argv{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                screen, "-nolisten", "tcp"};
  if (!options.reset_when_idle) argv.push_back("-noreset");
  if (options.visual_class >= 0) {
    argv.push_back("-cc");
    argv.push_back(std::to_string(options.visual_class));
  }
  xvfb_pid_ = spawn(argv, "", fds[1]);
  close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    if (poll(&p, 1, 100) <= 0) continue;
    char c;
    if (read(fds[0], &c, 1) != 1) break;
    if (c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    stop(xvfb_pid_);
    throw std::runtime_error("Xvfb did not start");
  }
  display_ = ":" + number;
  if (!options.window_manager) return;

  wm_pid_ = spawn({"openbox", "--sm-disable"}, display_);
  Display* d = XOpenDisplay(display_.c_str());
  if (d == nullptr) throw std::runtime_error("cannot connect to Xvfb");
  bool ready = false;
  for (int i = 0; i < 300 && !(ready = window_manager_ready(d)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  XCloseDisplay(d);
  if (!ready) throw std::runtime_error("openbox did not start");
}

XServer::~XServer() {
  stop(wm_pid_);
  stop(xvfb_pid_);
}

void XServer::kill() {
  stop(wm_pid_);
  stop(xvfb_pid_);
}

void XServer::pause() {
  if (xvfb_pid_ > 0) ::kill(xvfb_pid_, SIGSTOP);
}

void XServer::resume() {
  if (xvfb_pid_ > 0) ::kill(xvfb_pid_, SIGCONT);
}

}  // namespace testsupport
