#pragma once
// A private X server (Xvfb) for one test, optionally with a window manager.
#include <memory>
#include <string>

#include "tests/support/process.hpp"

namespace testsupport {

struct XServerOptions {
  int width = 1024;
  int height = 768;
  int depth = 24;  // of the screen's default visual
  bool window_manager = false;  // start openbox on it
  // Reset when the last client leaves, as a server started by xvfb-run
  // does (the default here is -noreset).
  bool reset_when_idle = false;
  // Class of the default visual (Xvfb -cc: 4 TrueColor, 5 DirectColor);
  // -1: the server's default.
  int visual_class = -1;
  // Admit only clients that show the cookie in cookie_file() (Xvfb -auth);
  // not with window_manager.
  bool require_cookie = false;
};

class XServer {
 public:
  explicit XServer(const XServerOptions& options = {});
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  // ":N", for DISPLAY.
  const std::string& display() const { return display_; }
  // With require_cookie: an authority file holding the cookie, for
  // XAUTHORITY; else empty.
  const std::string& cookie_file() const { return cookie_file_; }
  // Stops the server now (for tests of a server going away).
  void kill();
  // Freezes the server (SIGSTOP) and lets it go on (SIGCONT).
  void pause();
  void resume();

 private:
  std::string display_;
  std::string cookie_file_;
  std::unique_ptr<Process> xvfb_;
  std::unique_ptr<Process> wm_;
};

}  // namespace testsupport
