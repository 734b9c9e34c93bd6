// Screen measurements under X11.
//
// Frame and caption come from the window manager's frame extents (asked for
// on probe windows that are never shown); the client area of a maximised
// window is the work area less the extents the manager gives a maximised
// window (some managers drop the borders of maximised windows).
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

#include "services/graphics/connection_x11.hpp"
#include "services/graphics/window.hpp"

namespace graphics::window {
namespace {

// Without a reachable screen the unit still starts: the mode table is built
// for a 640 x 480 screen, and opening a window fails later.
constexpr ScreenMetrics kFallback{640, 480, 0, 0, 0, 640, 480};

constexpr auto kExtentsWait = std::chrono::milliseconds(200);
constexpr auto kExtentsSettle = std::chrono::milliseconds(30);

struct Extents {
  long left = 0, right = 0, top = 0, bottom = 0;
  bool known = false;
};

bool window_manager_running(Display* d, Window root) {
  const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
  return !x11::long_property(d, root, check, XA_WINDOW).empty();
}

Window make_probe(Display* d, Window root, bool maximized) {
  XSetWindowAttributes a{};
  a.event_mask = PropertyChangeMask;
  const Window w = XCreateWindow(d, root, 0, 0, 320, 240, 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWEventMask, &a);
  if (maximized) {
    const Atom state[2] = {XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False),
                           XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False)};
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(state), 2);
  }
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "_NET_REQUEST_FRAME_EXTENTS", False);
  e.xclient.format = 32;
  XSendEvent(d, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  return w;
}

// Extents beyond the coordinate range are nonsense (any client may set the
// property); kept within it, the sums of them cannot overflow.
constexpr long kMaxExtent = 32767;

Extents read_extents(Display* d, Window w, Atom property) {
  const std::vector<long> v = x11::long_property(d, w, property, XA_CARDINAL);
  if (v.size() < 4) return {};
  const auto fit = [](long e) { return std::clamp(e, 0L, kMaxExtent); };
  return {fit(v[0]), fit(v[1]), fit(v[2]), fit(v[3]), true};
}

// The extents of a normal and of a maximised window, waiting a bounded time
// for the manager's answers. A manager may answer more than once, the first
// time with a rough estimate (openbox, right after another client's probes
// went away, first gives a maximised window its normal frame): the last
// answer counts, once the answers have paused for kExtentsSettle.
void frame_extents(x11::Connection& c, Window root, Extents& normal, Extents& maximized) {
  using std::chrono::steady_clock;
  Display* d = c.display;
  const Atom property = XInternAtom(d, "_NET_FRAME_EXTENTS", False);
  const Window probe[2] = {make_probe(d, root, false), make_probe(d, root, true)};
  XFlush(d);
  const auto deadline = steady_clock::now() + kExtentsWait;
  auto settled = deadline;
  while (!c.lost) {
    while (!c.lost && XPending(d) > 0) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == PropertyNotify && e.xproperty.atom == property &&
          (e.xproperty.window == probe[0] || e.xproperty.window == probe[1]))
        settled = std::min(deadline, steady_clock::now() + kExtentsSettle);
    }
    if (!c.lost) {
      normal = read_extents(d, probe[0], property);
      maximized = read_extents(d, probe[1], property);
    }
    const auto until = normal.known && maximized.known ? settled : deadline;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - steady_clock::now());
    if (c.lost || left.count() <= 0) break;
    x11::wait_input(d, static_cast<int>(left.count()));
  }
  for (Window w : probe) XDestroyWindow(d, w);
}


// A connection made while the server resets (its last client has just
// left) fails or is dropped at once: measuring is tried again after a pause.
// A server that refuses the client would only refuse it again.
constexpr int kMeasureTries = 3;
constexpr auto kMeasurePause = std::chrono::milliseconds(50);

bool measure(ScreenMetrics& m, bool& refused) {
  x11::Connection c;
  if (!x11::connect(c)) {
    refused = c.refused;
    return false;
  }
  Display* d = c.display;
  const int screen = DefaultScreen(d);
  const Window root = RootWindow(d, screen);
  m = {};
  m.screen_width = DisplayWidth(d, screen);
  m.screen_height = DisplayHeight(d, screen);
  // Without a window manager a window has no frame, and "maximised" is
  // simply the whole screen.
  m.full_width = m.screen_width;
  m.full_height = m.screen_height;
  if (window_manager_running(d, root)) {
    Extents normal, maximized;
    frame_extents(c, root, normal, maximized);
    if (!maximized.known) maximized = normal;
    // Both sides share one frame width; an odd total is rounded up so that
    // the largest window still fits on the screen.
    m.frame_width = static_cast<int>((normal.left + normal.right + 1) / 2);
    if (normal.top >= normal.bottom) {
      m.frame_height = static_cast<int>(normal.bottom);
      m.caption_height = static_cast<int>(normal.top - normal.bottom);
    } else {
      m.frame_height = static_cast<int>((normal.top + normal.bottom + 1) / 2);
    }
    long area_w = m.screen_width, area_h = m.screen_height;
    const std::vector<long> desktop = x11::long_property(
        d, root, XInternAtom(d, "_NET_CURRENT_DESKTOP", False), XA_CARDINAL);
    // Items of 32-bit properties are unsigned, handed over as sign-extended
    // longs; a desktop beyond the list of work areas has none.
    const std::size_t index = desktop.empty() ? 0 : static_cast<std::uint32_t>(desktop[0]);
    const std::vector<long> area =
        x11::long_property(d, root, XInternAtom(d, "_NET_WORKAREA", False), XA_CARDINAL);
    if (index < area.size() / 4 && area[4 * index + 2] > 0 && area[4 * index + 3] > 0) {
      area_w = area[4 * index + 2];
      area_h = area[4 * index + 3];
    }
    m.full_width = static_cast<int>(area_w - maximized.left - maximized.right);
    m.full_height = static_cast<int>(area_h - maximized.top - maximized.bottom);
  }
  const bool lost = c.lost;
  // The window thread's connection follows: this one stays open until then,
  // so that the server does not reset in between.
  x11::park(c);
  return !lost;
}

}  // namespace

ScreenMetrics measure_screen() {
  ScreenMetrics m{};
  bool refused = false;
  for (int i = 0; i < kMeasureTries && !refused; ++i) {
    if (i > 0) std::this_thread::sleep_for(kMeasurePause);
    if (measure(m, refused)) return m;
  }
  return kFallback;
}

}  // namespace graphics::window
