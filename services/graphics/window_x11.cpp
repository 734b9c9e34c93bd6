// The window backend for X11.
//
// The window thread owns its own connection and makes every X call for the
// window. The off-screen image is client memory in the screen's pixel
// format; put_pixel writes there and marks the 16 x 16 tile it lies in. The
// window thread sends the marked tiles to the window at most every
// kFlushPeriod and flushes the connection, so a plotted pixel shows within a
// few milliseconds without an X call per pixel. Repaints after exposure come
// from the same image. Both go through a band of 16 rows, copied out and
// sent from there: the image is the only screen-sized copy.
//
// With 32-bit pixels (every usual screen) put_pixel takes no lock: pixels
// are atomic words, and the tiles are marked as tile_marks.hpp says. The
// image lives until the main thread closes the window, so a pixel put while
// the window goes away lands in live memory. Other pixel sizes are written
// with Xlib's routines under the drawing lock.
// Keys and mouse buttons are not selected, so they do nothing in the window.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "services/graphics/colormap_x11.hpp"
#include "services/graphics/connection_x11.hpp"
#include "services/graphics/tile_marks.hpp"
#include "services/graphics/window.hpp"
#include "services/runtime/faults/faults.hpp"
#include "services/runtime/platform.hpp"

namespace graphics::window {
namespace {

using Clock = std::chrono::steady_clock;

// How long opening waits for the window to be mapped.
constexpr auto kMapWait = std::chrono::seconds(2);
// How long closing waits for the window thread to end. A thread still busy
// then is stuck (a stopped server, or the drawing lock held by a thread that
// raised a run-time error) and is left to the end of the process.
constexpr auto kCloseWait = std::chrono::seconds(1);

constexpr std::string_view kCreationFailed = "Window creation failed\n";

// Through the runtime's write, which fails (instead of ending the process)
// on a broken pipe or past the file-size limit; there is nowhere else to say
// it when it cannot be written.
void say_creation_failed() {
  runtime::platform::write(runtime::platform::std_handle(runtime::platform::StdStream::error),
                           kCreationFailed.data(), kCreationFailed.size());
}

// The off-screen image and what put_pixel needs. Made by the window thread
// before on_window_created and fixed from then on, except the pixels, marks
// and flags; released by the main thread once the window thread has ended.
struct Surface {
  XImage* image = nullptr;
  int width = 0, height = 0;
  bool direct32 = false;  // 32-bit pixels in host order, written in place
  bool truecolor = true;
  std::uint32_t red[256] = {}, green[256] = {}, blue[256] = {};  // component -> pixel bits
  // DirectColor: the colormap cells behind the tables, one list per channel.
  std::vector<Cell> red_cells, green_cells, blue_cells;
  unsigned long red_mask = 0, green_mask = 0, blue_mask = 0;
  unsigned long black = 0, white = 0;
  TileMarks tiles;

  Surface() = default;
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  ~Surface() {
    if (image != nullptr) XDestroyImage(image);
  }
};

enum class Phase { starting, created, ended };

// The backend's process-wide state.
struct Backend {
  std::mutex drawing;  // the drawing lock
  std::unique_ptr<Surface> surface;  // set under `drawing` by the window thread
  int wake_fd = -1;    // wakes the window thread
  std::atomic<bool> close_requested{false};

  std::mutex start_mutex;  // start-up handshake
  std::condition_variable start_cv;
  Phase phase = Phase::ended;

  WindowRequest request{};
  pthread_t thread{};
  bool thread_valid = false;  // still to be joined or detached
};
// Never destroyed: the window thread may outlive static destruction.
Backend& backend = *new Backend;

void wake() {
  const std::uint64_t one = 1;
  if (write(backend.wake_fd, &one, sizeof one) < 0) {
    // Only a full counter fails, and then the thread is awake anyway.
  }
}

void announce(Phase phase) {
  std::lock_guard<std::mutex> guard(backend.start_mutex);
  backend.phase = phase;
  backend.start_cv.notify_all();
}

// Bits of `mask` for an 8-bit component value.
std::uint32_t component(unsigned value, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask >> shift);
  const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                         : static_cast<unsigned long>(value) >> (8 - bits);
  return static_cast<std::uint32_t>((scaled << shift) & mask);
}

std::atomic_ref<std::uint32_t> word_at(const XImage* image, int x, int y) {
  return std::atomic_ref<std::uint32_t>(*(
      reinterpret_cast<std::uint32_t*>(image->data +
                                       static_cast<std::ptrdiff_t>(y) * image->bytes_per_line) +
      x));
}

unsigned long pixel_of(const Surface& s, std::uint32_t rgb) {
  if (s.truecolor) return s.red[rgb & 255] | s.green[(rgb >> 8) & 255] | s.blue[(rgb >> 16) & 255];
  return (rgb & 0xFFFFFF) != 0 ? s.white : s.black;  // other visuals: black and white only
}

// Copies columns [x, x + w) of rows [y, y + h) of the image into rows
// [0, h) of the band, an image of the same width and format. 32-bit pixels
// word by word, as put_pixel writes them; others under the drawing lock.
void copy_to_band(const Surface& s, XImage* band, int x, int y, int w, int h) {
  const XImage* from = s.image;
  if (s.direct32) {
    for (int row = 0; row < h; ++row)
      for (int col = x; col < x + w; ++col)
        word_at(band, col, row).store(word_at(from, col, y + row).load(std::memory_order_relaxed),
                                      std::memory_order_relaxed);
    return;
  }
  std::lock_guard<std::mutex> guard(backend.drawing);
  const int bpp = from->bits_per_pixel;
  const std::size_t first = static_cast<std::size_t>(x * bpp / 8);
  const std::size_t end = static_cast<std::size_t>(((x + w) * bpp + 7) / 8);
  const auto line = static_cast<std::size_t>(from->bytes_per_line);
  for (int row = 0; row < h; ++row)
    std::memcpy(band->data + static_cast<std::size_t>(row) * line + first,
                from->data + static_cast<std::size_t>(y + row) * line + first, end - first);
}

XImage* make_image(Display* d, Visual* visual, int depth, int w, int h) {
  XImage* image = XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
  if (image == nullptr) return nullptr;
  // Pixels are written as host words; XPutImage converts for the server.
  if constexpr (std::endian::native == std::endian::little)
    image->byte_order = LSBFirst;
  else
    image->byte_order = MSBFirst;
  image->data =
      static_cast<char*>(std::calloc(static_cast<std::size_t>(image->bytes_per_line) * h, 1));
  if (image->data == nullptr) {
    XDestroyImage(image);
    return nullptr;
  }
  return image;
}

void fill(XImage* image, unsigned long pixel) {
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x) XPutPixel(image, x, y, pixel);
}

// What the window thread holds.
struct WindowThread {
  x11::Connection c;
  ::Window window = 0;
  GC gc = nullptr;
  // One tile row of the image, copied out and sent from here; window
  // thread only. Small, so that the image is the only copy of the
  // screen-sized picture.
  XImage* staging = nullptr;
  Atom wm_protocols = None, wm_delete = None;
  bool mapped = false;
  bool destroyed = false;
  std::vector<XRectangle> runs;  // tiles to send, kept to avoid allocation
};

void set_properties(WindowThread& t, const WindowRequest& r) {
  Display* d = t.c.display;
  XSizeHints* size = XAllocSizeHints();
  XWMHints* wm = XAllocWMHints();
  XClassHint* cls = XAllocClassHint();
  if (size != nullptr) {
    size->flags = PSize | PMinSize;
    size->width = r.width;
    size->height = r.height;
    size->min_width = size->min_height = 1;
  }
  if (wm != nullptr) {
    // Takes the focus, so that keys typed there are swallowed by it.
    wm->flags = InputHint | StateHint;
    wm->input = True;
    wm->initial_state = NormalState;
  }
  char res_name[] = "graph";
  char res_class[] = "Graph";
  if (cls != nullptr) {
    cls->res_name = res_name;
    cls->res_class = res_class;
  }
  XTextProperty name{};
  char* title = const_cast<char*>(r.title);
  const bool named = XStringListToTextProperty(&title, 1, &name) != 0;
  XSetWMProperties(d, t.window, named ? &name : nullptr, named ? &name : nullptr, nullptr, 0, size,
                   wm, cls);
  if (named) XFree(name.value);
  XFree(size);
  XFree(wm);
  XFree(cls);

  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  XChangeProperty(d, t.window, XInternAtom(d, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(r.title),
                  static_cast<int>(std::strlen(r.title)));
  const long pid = getpid();
  XChangeProperty(d, t.window, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
  t.wm_protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  t.wm_delete = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, t.window, &t.wm_delete, 1);
  if (r.maximized) {
    const Atom state[2] = {XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False),
                           XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False)};
    XChangeProperty(d, t.window, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(state), 2);
  }
}

// The off-screen image, black, and the pixel tables for the screen's visual.
bool make_surface(WindowThread& t, const WindowRequest& r, Surface& s) {
  Display* d = t.c.display;
  const int screen = DefaultScreen(d);
  Visual* visual = DefaultVisual(d, screen);
  const int depth = DefaultDepth(d, screen);
  s.image = make_image(d, visual, depth, r.width, r.height);
  t.staging = make_image(d, visual, depth, r.width, std::min(r.height, kTile));
  if (s.image == nullptr || t.staging == nullptr) return false;
  s.width = r.width;
  s.height = r.height;
  s.black = BlackPixel(d, screen);
  s.white = WhitePixel(d, screen);
  s.truecolor = visual->c_class == TrueColor || visual->c_class == DirectColor;
  for (unsigned v = 0; v < 256; ++v) {
    s.red[v] = component(v, visual->red_mask);
    s.green[v] = component(v, visual->green_mask);
    s.blue[v] = component(v, visual->blue_mask);
  }
  s.red_mask = visual->red_mask;
  s.green_mask = visual->green_mask;
  s.blue_mask = visual->blue_mask;
  // A DirectColor pixel shows what the colormap holds at each of its
  // component values, and the default colormap is not a ramp.
  if (visual->c_class == DirectColor)
    x11::direct_color_tables(d, visual, DefaultColormap(d, screen), DEFAULTCOLORS,
                             {s.red, s.red_cells}, {s.green, s.green_cells},
                             {s.blue, s.blue_cells});
  s.direct32 = s.image->bits_per_pixel == 32;
  if (s.black != 0) {
    fill(s.image, s.black);
    fill(t.staging, s.black);
  }
  s.tiles.size_for(r.width, r.height);
  t.runs.reserve(static_cast<std::size_t>(s.tiles.columns()));
  return true;
}

bool create(WindowThread& t, const WindowRequest& r) {
  if (!x11::connect(t.c)) return false;
  Display* d = t.c.display;
  const int errors = x11::error_count();
  const int screen = DefaultScreen(d);
  XSetWindowAttributes a{};
  a.background_pixel = BlackPixel(d, screen);  // also around the image when larger
  a.border_pixel = BlackPixel(d, screen);
  a.bit_gravity = NorthWestGravity;  // a resize exposes only the new area
  a.event_mask = ExposureMask | StructureNotifyMask;
  t.window = XCreateWindow(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(r.width),
                           static_cast<unsigned>(r.height), 0, CopyFromParent, InputOutput,
                           CopyFromParent, CWBackPixel | CWBorderPixel | CWBitGravity | CWEventMask,
                           &a);
  set_properties(t, r);
  XGCValues gv{};
  gv.graphics_exposures = False;
  t.gc = XCreateGC(d, t.window, GCGraphicsExposures, &gv);
  auto s = std::make_unique<Surface>();
  const bool made = make_surface(t, r, *s);
  XSync(d, False);
  if (!made || t.c.lost || x11::error_count() != errors) return false;
  std::lock_guard<std::mutex> guard(backend.drawing);
  backend.surface = std::move(s);
  on_window_created();
  return true;
}

// Sends a rectangle of the image, clipped to it, to the window, one band of
// rows at a time.
void repaint(WindowThread& t, int x, int y, int w, int h) {
  const Surface& s = *backend.surface;
  if (x < 0) w += x, x = 0;
  if (y < 0) h += y, y = 0;
  w = std::min(w, s.width - x);
  h = std::min(h, s.height - y);
  for (int band = 0; band < h && w > 0; band += kTile) {
    const int rows = std::min(kTile, h - band);
    copy_to_band(s, t.staging, x, y + band, w, rows);
    XPutImage(t.c.display, t.window, t.gc, t.staging, x, 0, x, y + band,
              static_cast<unsigned>(w), static_cast<unsigned>(rows));
  }
}

// Sends the marked tiles, a tile row at a time; false if there were none.
bool present(WindowThread& t) {
  Surface& s = *backend.surface;
  s.tiles.begin_look();
  bool sent = false;
  for (int ty = 0; ty < s.tiles.rows(); ++ty) {
    const int y = ty * kTile, h = std::min(kTile, s.height - y);
    t.runs.clear();
    s.tiles.take_row(ty, [&](int first, int end) {
      const int x = first * kTile;
      const int w = std::min(end * kTile, s.width) - x;
      copy_to_band(s, t.staging, x, y, w, h);
      t.runs.push_back({static_cast<short>(x), static_cast<short>(y),
                        static_cast<unsigned short>(w), static_cast<unsigned short>(h)});
    });
    for (const XRectangle& r : t.runs)
      XPutImage(t.c.display, t.window, t.gc, t.staging, r.x, 0, r.x, r.y, r.width, r.height);
    sent = sent || !t.runs.empty();
  }
  return sent;
}

void handle(WindowThread& t, const XEvent& e) {
  switch (e.type) {
    case Expose:
      repaint(t, e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height);
      break;
    case MapNotify:
      t.mapped = true;
      break;
    case DestroyNotify:
      if (e.xdestroywindow.window == t.window) t.destroyed = true;
      break;
    case ClientMessage:
      // The close box, or the window manager's close command.
      if (e.xclient.message_type == t.wm_protocols &&
          static_cast<Atom>(e.xclient.data.l[0]) == t.wm_delete && !t.destroyed) {
        XDestroyWindow(t.c.display, t.window);
        t.destroyed = true;
      }
      break;
    default:
      break;
  }
}

void handle_pending(WindowThread& t) {
  while (!t.c.lost && XPending(t.c.display) > 0) {
    XEvent e;
    XNextEvent(t.c.display, &e);
    handle(t, e);
  }
}

bool should_stop(const WindowThread& t) {
  return t.c.lost || t.destroyed || backend.close_requested.load();
}

// Waits for the X connection or a wake-up, at most timeout_ms (-1: no limit).
void wait(WindowThread& t, int timeout_ms) {
  if (XEventsQueued(t.c.display, QueuedAlready) > 0) return;
  pollfd fds[2] = {{ConnectionNumber(t.c.display), POLLIN, 0}, {backend.wake_fd, POLLIN, 0}};
  if (poll(fds, 2, timeout_ms) > 0 && (fds[1].revents & POLLIN) != 0) {
    std::uint64_t count;
    if (read(backend.wake_fd, &count, sizeof count) < 0) {
      // Already drained.
    }
  }
}

void show(WindowThread& t) {
  XMapWindow(t.c.display, t.window);
  XFlush(t.c.display);
  const auto deadline = Clock::now() + kMapWait;
  for (;;) {
    handle_pending(t);
    if (t.mapped || should_stop(t)) return;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return;
    wait(t, static_cast<int>(left.count()));
  }
}

void run(WindowThread& t) {
  Surface& s = *backend.surface;
  auto next_send = Clock::now();
  auto last_found = next_send - kSettlePeriod;
  for (;;) {
    handle_pending(t);
    if (should_stop(t)) return;
    const auto now = Clock::now();
    if (now >= next_send && present(t)) {
      next_send = now + kFlushPeriod;
      last_found = now;
    }
    XFlush(t.c.display);
    if (t.c.lost) return;
    wait(t, static_cast<int>(s.tiles.idle_wait(now, next_send, last_found).ms));
  }
}

// The surface stays for the main thread to release: put_pixel may still be
// writing there.
void destroy(WindowThread& t) {
  {
    std::lock_guard<std::mutex> guard(backend.drawing);
    on_window_destroyed();
  }
  if (t.staging != nullptr) XDestroyImage(t.staging);
  if (t.c.display != nullptr) {
    if (!t.c.lost && !t.destroyed && t.window != 0) XDestroyWindow(t.c.display, t.window);
    // Client memory: freed even when the connection is lost (the request
    // then goes nowhere).
    if (t.gc != nullptr) XFreeGC(t.c.display, t.gc);
  }
  x11::disconnect(t.c);
}

void* thread_main(void*) {
  runtime::prepare_thread();
  WindowThread t;
  if (!create(t, backend.request)) {
    destroy(t);
    say_creation_failed();
    announce(Phase::ended);
    return nullptr;
  }
  show(t);
  announce(Phase::created);
  run(t);
  destroy(t);
  announce(Phase::ended);
  return nullptr;
}

// Asynchronous signals are left to the main thread; faults still reach the
// thread that causes them.
bool start_thread() {
  sigset_t all, old;
  sigfillset(&all);
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS}) sigdelset(&all, sig);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  const bool started = pthread_create(&backend.thread, nullptr, thread_main, nullptr) == 0;
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return started;
}

}  // namespace

bool open(const WindowRequest& request) {
  {
    // A thread left behind by close() still owns the backend's state.
    std::lock_guard<std::mutex> guard(backend.start_mutex);
    if (backend.phase != Phase::ended) {
      say_creation_failed();
      return false;
    }
  }
  // The last window's thread has ended: nothing writes its image now.
  backend.surface.reset();
  if (backend.wake_fd < 0) backend.wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  backend.request = request;
  backend.close_requested.store(false);
  backend.phase = Phase::starting;
  if (backend.wake_fd < 0 || !start_thread()) {
    say_creation_failed();
    return false;
  }
  Phase phase;
  {
    std::unique_lock<std::mutex> guard(backend.start_mutex);
    backend.start_cv.wait(guard, [] { return backend.phase != Phase::starting; });
    phase = backend.phase;
  }
  if (phase == Phase::ended) {
    pthread_join(backend.thread, nullptr);
    return false;
  }
  backend.thread_valid = true;
  return true;
}

void close() {
  if (!backend.thread_valid) return;
  backend.thread_valid = false;
  backend.close_requested.store(true);
  wake();
  if (pthread_equal(pthread_self(), backend.thread)) {
    pthread_detach(backend.thread);  // the exit sequence runs on it; the process ends it
    return;
  }
  bool ended;
  {
    std::unique_lock<std::mutex> guard(backend.start_mutex);
    ended = backend.start_cv.wait_for(guard, kCloseWait,
                                      [] { return backend.phase == Phase::ended; });
  }
  // An ended thread has only its return left.
  if (ended) {
    pthread_join(backend.thread, nullptr);
    backend.surface.reset();
  } else {
    pthread_detach(backend.thread);
  }
}

void lock() { backend.drawing.lock(); }
void unlock() { backend.drawing.unlock(); }

void put_pixel(int x, int y, std::uint32_t rgb) {
  // GRAPHRUNNING was seen set: the surface is there until this thread
  // releases it.
  Surface& s = *backend.surface;
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(s.width) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(s.height))
    return;
  const unsigned long pixel = pixel_of(s, rgb);
  if (s.direct32) {
    const std::atomic_ref<std::uint32_t> word = word_at(s.image, x, y);
    if (word.load(std::memory_order_relaxed) == pixel) return;  // on the window, or about to be
    word.store(static_cast<std::uint32_t>(pixel), std::memory_order_relaxed);
  } else {
    std::lock_guard<std::mutex> guard(backend.drawing);
    if (XGetPixel(s.image, x, y) == pixel) return;
    XPutPixel(s.image, x, y, pixel);
  }
  if (s.tiles.mark(x, y)) wake();
}

std::uint32_t get_pixel(int x, int y) {
  const Surface& s = *backend.surface;
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(s.width) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(s.height))
    return 0;
  const unsigned long pixel = XGetPixel(s.image, x, y);
  if (!s.truecolor) return pixel == s.black ? 0 : 0xFFFFFF;
  // What the cell shows, or back through the tables: the component whose
  // bits match.
  auto find = [&](const std::uint32_t(&table)[256], const std::vector<Cell>& cells,
                  unsigned long mask) -> std::uint32_t {
    const auto bits = static_cast<std::uint32_t>(pixel & mask);
    if (const int shown = shown_value(cells, bits); shown >= 0)
      return static_cast<std::uint32_t>(shown);
    for (unsigned v = 0; v < 256; ++v)
      if (table[v] == bits) return v;
    return 0;
  };
  return find(s.red, s.red_cells, s.red_mask) | find(s.green, s.green_cells, s.green_mask) << 8 |
         find(s.blue, s.blue_cells, s.blue_mask) << 16;
}

}  // namespace graphics::window
