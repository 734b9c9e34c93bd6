#pragma once
// A test's own connection to the X server, to look at the graphics window
// from outside as another client would.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace xprobe {

// Polls `condition` until it holds or `timeout` passes.
bool wait_until(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Threads of this process (Linux).
int thread_count();

class Client {
 public:
  explicit Client(const std::string& display);
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  Display* display() const { return d_; }
  bool lost() const { return lost_; }

  // The top-level client window with this WM_NAME, or 0.
  Window find(const std::string& title);
  XWindowAttributes attributes(Window w);
  bool viewable(Window w);
  // What the screen shows of a window's area (x, y, w, h), as 0xRRGGBB,
  // row by row; empty on failure. Read from the root window: a window's own
  // contents under another window are undefined.
  std::vector<std::uint32_t> pixels(Window w, int x, int y, int width, int height);
  // The window's own pixels at (0, 0, width, height), as its colormap
  // turns them into colours: what a screen of its visual shows.
  std::vector<std::uint32_t> shown(Window w, int width, int height);
  std::vector<long> long_property(Window w, const char* name, Atom type);
  std::string text_property(Window w, const char* name);
  Atom atom(const char* name);
  // The close box: WM_DELETE_WINDOW, as a window manager sends it.
  void send_delete(Window w);
  // An override-redirect window of one colour, mapped on top.
  Window cover(int x, int y, int width, int height, unsigned long pixel);
  void sync();

 private:
  Display* d_ = nullptr;
  bool lost_ = false;
};

// Pixels expected in a w x h picture: these, black elsewhere.
using Picture = std::map<std::pair<int, int>, std::uint32_t>;
// "" when `actual` (w x h, row by row) shows `expected`; else the first
// difference.
std::string compare(const std::vector<std::uint32_t>& actual, int width, int height,
                    const Picture& expected);

}  // namespace xprobe
