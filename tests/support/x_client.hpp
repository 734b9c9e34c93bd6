#pragma once
// A test's own connection to its private X server: looks at the programs'
// windows from outside as another client would, reads their pixels and
// sends them what a user or a window manager sends.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> rgb;  // 0xRRGGBB, row by row
  std::uint32_t at(int x, int y) const {
    return rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(x)];
  }
};

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

class XClient {
 public:
  // `ignore_errors`: X errors (a window gone between two requests) are
  // expected; otherwise the process's handler, the backend's in its own
  // tests, stays in place.
  explicit XClient(const std::string& display, bool ignore_errors = false);
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  Display* display() const { return d_; }
  bool lost() const { return lost_; }  // the connection broke
  void sync();
  Atom atom(const char* name);

  // The first window with this title (WM_NAME), or 0; `viewable`: only one
  // that is shown.
  Window find(const std::string& title, bool viewable = false);
  // The shown window with this title, searched for until the time-out; 0
  // when none.
  Window wait_for_window(const std::string& title, std::chrono::milliseconds timeout);
  XWindowAttributes attributes(Window w);
  bool viewable(Window w);
  // Size of the window's drawing area; nullopt once it is gone.
  std::optional<Size> size(Window w);

  // The window's pixels as shown; nullopt when they cannot be read (gone,
  // unmapped).
  std::optional<Image> capture(Window w);
  // What the screen shows of a window's area (x, y, w, h), as 0xRRGGBB,
  // row by row; empty on failure. Read from the root window: a window's own
  // contents under another window are undefined.
  std::vector<std::uint32_t> pixels(Window w, int x, int y, int width, int height);
  // The window's own pixels at (0, 0, width, height), as its colormap
  // turns them into colours: what a screen of its visual shows.
  std::vector<std::uint32_t> shown(Window w, int width, int height);

  std::vector<long> long_property(Window w, const char* name, Atom type);
  std::string text_property(Window w, const char* name);

  // The close box: WM_DELETE_WINDOW, as a window manager sends it.
  void send_delete(Window w);
  // Key press and release for a key name ("a", "Return"), sent straight to
  // the window.
  void send_key(Window w, const std::string& key);
  void focus(Window w);
  // An override-redirect window of one colour, mapped on top.
  Window cover(int x, int y, int width, int height, unsigned long pixel);

 private:
  std::vector<std::uint32_t> shown(Window w, int width, int height, Colormap colormap);

  Display* d_ = nullptr;
  bool lost_ = false;
};

// Pixels expected in a w x h picture: these, black elsewhere.
using Picture = std::map<std::pair<int, int>, std::uint32_t>;
// "" when `actual` (w x h, row by row) shows `expected`; else the first
// difference.
std::string compare(const std::vector<std::uint32_t>& actual, int width, int height,
                    const Picture& expected);

// Threads of this process (Linux).
int thread_count();

}  // namespace testsupport
