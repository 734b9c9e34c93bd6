// X connections that survive the loss of their server.
#include "services/graphics/connection_x11.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>

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

void write_all(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere else to say it
    done += static_cast<std::size_t>(n);
  }
}

std::string read_back(int fd) {
  std::string text;
  char buffer[512];
  if (lseek(fd, 0, SEEK_SET) != 0) return text;
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return text;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

std::mutex refusal_mutex;
std::string last_refusal;  // under refusal_mutex

// A server that turns a client away sends the reason, which Xlib's
// transport writes to standard error itself; XOpenDisplay then fails just
// as when the connection is dropped, as a resetting server drops it. So
// the reason is caught in a memory file standing in for standard error
// during the call: a failure with a reason is a refusal, one without is
// a server that cannot be reached or that resets. What was caught goes on
// to standard error, but a refusal only the first time it is given: every
// connection asks again and would repeat it.
// (While the call waits for a silent server, standard error is that file;
// nothing else of the program writes there at start-up.)
Display* open_display(bool& refused) {
  refused = false;
  const int saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  const int caught = saved >= 0 ? memfd_create("x-connect", MFD_CLOEXEC) : -1;
  if (caught < 0 || dup2(caught, STDERR_FILENO) < 0) {
    // Standard error closed, or no file for it: nothing to tell apart by.
    if (caught >= 0) close(caught);
    if (saved >= 0) close(saved);
    return XOpenDisplay(nullptr);
  }
  Display* d = XOpenDisplay(nullptr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  const std::string said = read_back(caught);
  close(caught);
  refused = d == nullptr && !said.empty();
  if (refused) {
    std::lock_guard<std::mutex> guard(refusal_mutex);
    if (said == last_refusal) return d;
    last_refusal = said;
  }
  write_all(STDERR_FILENO, said);
  return d;
}

}  // namespace

bool connect(Connection& c) {
  static std::once_flag handlers;
  std::call_once(handlers, [] {
    XSetErrorHandler(on_error);
    XSetIOErrorHandler(on_io_error);
  });
  c.lost = false;
  c.display = open_display(c.refused);
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
