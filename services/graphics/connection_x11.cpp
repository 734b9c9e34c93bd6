// X connections that survive the loss of their server.
#include "services/graphics/connection_x11.hpp"

#include <poll.h>

#include <cerrno>
#include <mutex>

namespace graphics::x11 {
namespace {

thread_local int errors = 0;

// Protocol errors are counted, not fatal: a window manager or a vanished
// window must not end the program.
int on_error(Display*, XErrorEvent*) {
  ++errors;
  return 0;
}

// Quiet: the owner of the connection notices the loss itself.
int on_io_error(Display*) { return 0; }

// Returning from here (libX11 1.8) leaves the display dead but usable: every
// later call on it returns at once, and XCloseDisplay frees it.
void on_connection_lost(Display*, void* user) { static_cast<Connection*>(user)->lost = true; }

std::mutex parked_mutex;
Connection parked;  // under parked_mutex

void close_parked() {
  std::lock_guard<std::mutex> guard(parked_mutex);
  disconnect(parked);
}

}  // namespace

bool connect(Connection& c) {
  static std::once_flag handlers;
  std::call_once(handlers, [] {
    XSetErrorHandler(on_error);
    XSetIOErrorHandler(on_io_error);
  });
  c.lost = false;
  c.display = XOpenDisplay(nullptr);
  if (c.display != nullptr) XSetIOErrorExitHandler(c.display, on_connection_lost, &c);
  close_parked();
  return c.display != nullptr;
}

void park(Connection& c) {
  if (c.display == nullptr) return;
  std::lock_guard<std::mutex> guard(parked_mutex);
  disconnect(parked);
  // The loss handler's flag moves along with the display.
  parked = c;
  XSetIOErrorExitHandler(parked.display, on_connection_lost, &parked);
  c.display = nullptr;
}

void disconnect(Connection& c) {
  if (c.display != nullptr) XCloseDisplay(c.display);
  c.display = nullptr;
}

int error_count() { return errors; }

std::vector<long> long_property(Display* d, Window w, Atom property, Atom type) {
  Atom actual = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<long> values;
  if (XGetWindowProperty(d, w, property, 0, 1024, False, type, &actual, &format, &count, &after,
                         &data) == Success &&
      data != nullptr && actual == type && format == 32) {
    const long* items = reinterpret_cast<const long*>(data);  // 32-bit items come as longs
    values.assign(items, items + count);
  }
  if (data != nullptr) XFree(data);
  return values;
}

bool wait_input(Display* d, int timeout_ms) {
  pollfd p{ConnectionNumber(d), POLLIN, 0};
  for (;;) {
    const int r = poll(&p, 1, timeout_ms);
    if (r >= 0) return r > 0;
    if (errno != EINTR) return true;  // let the next read find out
  }
}

}  // namespace graphics::x11
