#include "tests/support/x_client.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <dirent.h>

#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/wait.hpp"

namespace testsupport {
namespace {

int ignore(Display*, XErrorEvent*) { return 0; }

}  // namespace

XClient::XClient(const std::string& display, bool ignore_errors) {
  if (ignore_errors) XSetErrorHandler(ignore);
  d_ = XOpenDisplay(display.c_str());
  if (d_ == nullptr) throw std::runtime_error("cannot connect to " + display);
  XSetIOErrorExitHandler(
      d_, [](Display*, void* self) { static_cast<XClient*>(self)->lost_ = true; }, this);
}

XClient::~XClient() { XCloseDisplay(d_); }

void XClient::sync() { XSync(d_, False); }

Atom XClient::atom(const char* name) { return XInternAtom(d_, name, False); }

Window XClient::find(const std::string& title, bool viewable) {
  std::vector<Window> pending{DefaultRootWindow(d_)};
  while (!pending.empty() && !lost_) {
    const Window w = pending.back();
    pending.pop_back();
    char* name = nullptr;
    if (XFetchName(d_, w, &name) != 0 && name != nullptr) {
      const bool match = title == name;
      XFree(name);
      if (match && (!viewable || this->viewable(w))) return w;
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (XQueryTree(d_, w, &root, &parent, &children, &n) != 0) {
      pending.insert(pending.end(), children, children + n);
      if (children != nullptr) XFree(children);
    }
  }
  return 0;
}

Window XClient::wait_for_window(const std::string& title, std::chrono::milliseconds timeout) {
  Window w = 0;
  wait_until([&] { return (w = find(title, true)) != 0; }, timeout, 20ms);
  return w;
}

XWindowAttributes XClient::attributes(Window w) {
  XWindowAttributes a{};
  if (XGetWindowAttributes(d_, w, &a) == 0) a.map_state = IsUnmapped;
  return a;
}

bool XClient::viewable(Window w) { return attributes(w).map_state == IsViewable; }

std::vector<std::uint32_t> XClient::pixels(Window w, int x, int y, int width, int height) {
  const Window root = DefaultRootWindow(d_);
  int rx = 0, ry = 0;
  Window child;
  if (!XTranslateCoordinates(d_, w, root, x, y, &rx, &ry, &child)) return {};
  if (rx < 0 || ry < 0 || rx + width > DisplayWidth(d_, DefaultScreen(d_)) ||
      ry + height > DisplayHeight(d_, DefaultScreen(d_)))
    return {};
  XImage* image = XGetImage(d_, root, rx, ry, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) return {};
  std::vector<std::uint32_t> out;
  out.reserve(static_cast<std::size_t>(width) * height);
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col)
      out.push_back(static_cast<std::uint32_t>(XGetPixel(image, col, row) & 0xFFFFFF));
  XDestroyImage(image);
  return out;
}

std::vector<std::uint32_t> XClient::shown(Window w, int width, int height) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(d_, w, &a)) return {};
  return shown(w, width, height, a.colormap);
}

std::vector<std::uint32_t> XClient::shown(Window w, int width, int height, Colormap colormap) {
  XImage* image = XGetImage(d_, w, 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) return {};
  std::map<unsigned long, std::uint32_t> colours;
  // Neighbours mostly share a pixel value: the last one found is tried first.
  unsigned long last_pixel = 0;
  std::uint32_t last_colour = 0;
  bool have_last = false;
  std::vector<std::uint32_t> out;
  out.reserve(static_cast<std::size_t>(width) * height);
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) {
      const unsigned long pixel = XGetPixel(image, col, row);
      if (!have_last || pixel != last_pixel) {
        auto known = colours.find(pixel);
        if (known == colours.end()) {
          XColor c{};
          c.pixel = pixel;
          XQueryColor(d_, colormap, &c);
          known = colours.emplace(pixel, static_cast<std::uint32_t>((c.red >> 8) << 16 |
                                                                    (c.green >> 8) << 8 |
                                                                    c.blue >> 8))
                      .first;
        }
        last_pixel = pixel;
        last_colour = known->second;
        have_last = true;
      }
      out.push_back(last_colour);
    }
  XDestroyImage(image);
  return out;
}

std::optional<Size> XClient::size(Window w) {
  XWindowAttributes a;
  if (XGetWindowAttributes(d_, w, &a) == 0) return std::nullopt;
  return Size{a.width, a.height};
}

std::optional<Image> XClient::capture(Window w) {
  const XWindowAttributes a = attributes(w);
  if (a.map_state != IsViewable) return std::nullopt;
  Image image{a.width, a.height, shown(w, a.width, a.height, a.colormap)};
  if (image.rgb.empty()) return std::nullopt;
  return image;
}

std::vector<long> XClient::long_property(Window w, const char* name, Atom type) {
  Atom actual;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  std::vector<long> v;
  if (XGetWindowProperty(d_, w, atom(name), 0, 64, False, type, &actual, &format, &n, &after,
                         &data) == Success &&
      data != nullptr && format == 32)
    v.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + n);
  if (data != nullptr) XFree(data);
  return v;
}

std::string XClient::text_property(Window w, const char* name) {
  Atom actual;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  std::string s;
  if (XGetWindowProperty(d_, w, atom(name), 0, 256, False, AnyPropertyType, &actual, &format, &n,
                         &after, &data) == Success &&
      data != nullptr && format == 8)
    s.assign(reinterpret_cast<char*>(data), n);
  if (data != nullptr) XFree(data);
  return s;
}

void XClient::send_delete(Window w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = atom("WM_PROTOCOLS");
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(atom("WM_DELETE_WINDOW"));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d_, w, False, NoEventMask, &e);
  XSync(d_, False);
}

void XClient::send_key(Window window, const std::string& key) {
  Display* d = d_;
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

void XClient::focus(Window w) {
  XSetInputFocus(d_, w, RevertToParent, CurrentTime);
  XSync(d_, False);
}

Window XClient::cover(int x, int y, int width, int height, unsigned long pixel) {
  XSetWindowAttributes a{};
  a.override_redirect = True;
  a.background_pixel = pixel;
  const Window w = XCreateWindow(d_, DefaultRootWindow(d_), x, y, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
  XMapRaised(d_, w);
  XSync(d_, False);
  return w;
}

std::string compare(const std::vector<std::uint32_t>& actual, int width, int height,
                    const Picture& expected) {
  const std::size_t w = static_cast<std::size_t>(width);
  if (actual.size() != w * static_cast<std::size_t>(height)) return "no picture";
  std::vector<std::uint32_t> want(actual.size(), 0);
  for (const auto& [at, colour] : expected)
    if (at.first >= 0 && at.first < width && at.second >= 0 && at.second < height)
      want[static_cast<std::size_t>(at.second) * w + static_cast<std::size_t>(at.first)] = colour;
  for (std::size_t i = 0; i < actual.size(); ++i)
    if (actual[i] != want[i]) {
      std::ostringstream s;
      s << "pixel (" << i % w << ", " << i / w << ") is 0x" << std::hex << actual[i] << ", not 0x"
        << want[i];
      return s.str();
    }
  return "";
}

int thread_count() {
#ifdef __SANITIZE_THREAD__
  // ThreadSanitizer adds a thread of its own when the first thread is
  // created; made to exist before the first count, it counts everywhere.
  static const bool sanitizer_thread = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)sanitizer_thread;
#endif
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) return -1;
  int n = 0;
  while (dirent* e = readdir(dir))
    if (e->d_name[0] != '.') ++n;
  closedir(dir);
  return n;
}

}  // namespace testsupport
