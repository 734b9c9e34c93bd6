#pragma once
// A private X server (Xvfb) for one test, optionally with a window manager.
#include <string>

namespace testsupport {

struct XServerOptions {
  int width = 1024;
  int height = 768;
  bool window_manager = false;  // start openbox on it
};

class XServer {
 public:
  explicit XServer(const XServerOptions& options = {});
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  // ":N", for DISPLAY.
  const std::string& display() const { return display_; }
  // Stops the server now (for tests of a server going away).
  void kill();

 private:
  std::string display_;
  int xvfb_pid_ = -1;
  int wm_pid_ = -1;
};

}  // namespace testsupport
