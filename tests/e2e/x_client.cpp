#include "tests/e2e/x_client.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <stdexcept>
#include <thread>

namespace e2e {
namespace {

// Windows can vanish between two requests; such errors are expected.
int ignore_errors(Display*, XErrorEvent*) { return 0; }

Display* dpy(void* d) { return static_cast<Display*>(d); }

bool has_title(Display* d, Window w, const std::string& title) {
  char* name = nullptr;
  bool match = XFetchName(d, w, &name) != 0 && name != nullptr && title == name;
  if (name != nullptr) XFree(name);
  return match;
}

Window search(Display* d, Window w, const std::string& title) {
  if (has_title(d, w, title)) {
    XWindowAttributes a;
    if (XGetWindowAttributes(d, w, &a) != 0 && a.map_state == IsViewable) return w;
  }
  Window root, parent, *children = nullptr;
  unsigned int n = 0;
  if (XQueryTree(d, w, &root, &parent, &children, &n) == 0) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < n && found == 0; ++i) found = search(d, children[i], title);
  if (children != nullptr) XFree(children);
  return found;
}

int shift_of(unsigned long mask) {
  int s = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++s;
  }
  return s;
}

}  // namespace

XClient::XClient(const std::string& display) {
  XSetErrorHandler(ignore_errors);
  display_ = XOpenDisplay(display.c_str());
  if (display_ == nullptr) throw std::runtime_error("cannot connect to " + display);
}

XClient::~XClient() { XCloseDisplay(dpy(display_)); }

unsigned long XClient::find_window(const std::string& title) {
  Display* d = dpy(display_);
  return search(d, DefaultRootWindow(d), title);
}

unsigned long XClient::wait_for_window(const std::string& title,
                                       std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (unsigned long w = find_window(title); w != 0) return w;
    if (std::chrono::steady_clock::now() >= deadline) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::optional<Size> XClient::size(unsigned long window) {
  XWindowAttributes a;
  if (XGetWindowAttributes(dpy(display_), window, &a) == 0) return std::nullopt;
  return Size{a.width, a.height};
}

std::optional<Image> XClient::capture(unsigned long window) {
  Display* d = dpy(display_);
  XWindowAttributes a;
  if (XGetWindowAttributes(d, window, &a) == 0 || a.map_state != IsViewable) return std::nullopt;
  XImage* xi = XGetImage(d, window, 0, 0, static_cast<unsigned>(a.width),
                         static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
  if (xi == nullptr) return std::nullopt;
  Image img;
  img.width = a.width;
  img.height = a.height;
  img.rgb.resize(static_cast<std::size_t>(a.width) * static_cast<std::size_t>(a.height));
  const int rs = shift_of(a.visual->red_mask), gs = shift_of(a.visual->green_mask),
            bs = shift_of(a.visual->blue_mask);
  const unsigned long rm = a.visual->red_mask >> rs, gm = a.visual->green_mask >> gs,
                      bm = a.visual->blue_mask >> bs;
  std::size_t i = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const unsigned long p = XGetPixel(xi, x, y);
      // Scale each channel to 8 bits (Xvfb's 24-bit visual needs no scaling).
      const auto chan = [p](int s, unsigned long m) {
        return static_cast<std::uint32_t>(((p >> s) & m) * 255 / m);
      };
      img.rgb[i++] = chan(rs, rm) << 16 | chan(gs, gm) << 8 | chan(bs, bm);
    }
  XDestroyImage(xi);
  return img;
}

void XClient::request_close(unsigned long window) {
  Display* d = dpy(display_);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, window, False, NoEventMask, &e);
  XSync(d, False);
}

void XClient::send_key(unsigned long window, const std::string& key) {
  Display* d = dpy(display_);
  XKeyEvent k{};
  k.display = d;
  k.window = window;
  k.root = DefaultRootWindow(d);
  k.same_screen = True;
  k.keycode = XKeysymToKeycode(d, XStringToKeysym(key.c_str()));
  for (int type : {KeyPress, KeyRelease}) {
    k.type = type;
    XEvent e{};
    e.xkey = k;
    XSendEvent(d, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &e);
  }
  XSync(d, False);
}

void XClient::focus(unsigned long window) {
  Display* d = dpy(display_);
  XSetInputFocus(d, window, RevertToParent, CurrentTime);
  XSync(d, False);
}

}  // namespace e2e
