// The echo on the terminal: cells are written at their place with cursor
// positioning sequences. The console's characters are 8-bit (Latin-1) and
// go out as UTF-8; control characters show as '?', so that echoed input
// never acts as a terminal command.
#include <errno.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "services/console/backend_posix.hpp"

namespace console::posix {
namespace {

struct TerminalScreen {
  int fd = -1;
  bool own_fd = false;
  bool silent = false;  // the line does not come from this terminal: no echo
  bool cursor_known = false;  // asked once the echo needs it
  int width = 80, height = 25;
  int cursor_x = 0, cursor_y = 0;  // at start-up, or as asked for after a change
  int at_x = -1, at_y = -1;        // the terminal's cursor as far as known
  char out[512];
  unsigned out_len = 0;
};

TerminalScreen display;

void flush_screen() {
  unsigned done = 0;
  while (done < display.out_len) {
    const ssize_t n = write(display.fd, display.out + done, display.out_len - done);
    if (n > 0) {
      done += static_cast<unsigned>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{display.fd, POLLOUT, 0};
      if (poll(&p, 1, 1000) <= 0) break;
    } else if (!(n < 0 && errno == EINTR)) {
      break;  // the echo is lost; the line is not
    }
  }
  display.out_len = 0;
}

void append(const char* data, unsigned n) {
  if (display.out_len + n > sizeof display.out) flush_screen();
  for (unsigned i = 0; i < n; ++i) display.out[display.out_len++] = data[i];
}

void move_to(int x, int y) {
  if (display.at_x == x && display.at_y == y) return;
  char seq[32];
  const int n = std::snprintf(seq, sizeof seq, "\x1b[%d;%dH", y + 1, x + 1);
  append(seq, static_cast<unsigned>(n));
  display.at_x = x;
  display.at_y = y;
}

bool info(ScreenInfo& i) {
  i.width = display.width;
  i.height = display.height;
  i.cursor_x = display.cursor_x;
  i.cursor_y = display.cursor_y;
  i.attribute = 0x07;
  return true;
}

void set_cursor(int x, int y) {
  if (display.silent) return;
  move_to(x, y);
  flush_screen();
}

void write_cell(int x, int y, std::uint8_t ch, std::uint16_t) {
  if (display.silent) return;
  move_to(x, y);
  if (ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch < 0xA0)) {
    append("?", 1);
  } else if (ch < 0x80) {
    const char c = static_cast<char>(ch);
    append(&c, 1);
  } else {
    const char utf8[2] = {static_cast<char>(0xC0 | (ch >> 6)), static_cast<char>(0x80 | (ch & 0x3F))};
    append(utf8, 2);
  }
  // In the last column the terminal waits to wrap: its cursor is unknown.
  display.at_x = x + 1 < display.width ? x + 1 : -1;
}

void scroll_up(int, int, int, int bottom, std::uint16_t) {
  if (display.silent) return;
  // The window is the whole terminal: a line feed on its bottom row scrolls it.
  move_to(0, bottom);
  append("\n", 1);
  display.at_x = display.at_y = -1;
  flush_screen();
}

// Before the first echo, and after a stop or a resize: the terminal's size
// and cursor as they are now. The cursor was asked for while nothing typed
// was waiting (during the plot, mostly), so finding it reads nothing that
// belongs to whoever reads the terminal after the program. After a stop or
// a resize with keys waiting, the line goes on where it is until they are
// read and the question can be asked.
bool changed(ScreenInfo& i) {
  // In the background nothing is asked: it waits until the program is in front.
  if (display.silent || !terminal_in_front()) return false;
  const bool first = !display.cursor_known;
  if (!first && !cursor_moved.load() && !size_changed.load()) return false;
  int row = 0, col = 0;
  const CursorLook look = look_for_cursor(first, row, col);
  if (look == CursorLook::later) return false;
  cursor_moved.store(false);
  size_changed.store(false);
  display.cursor_known = true;
  flush_screen();
  winsize ws{};
  if (ioctl(display.fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
    display.width = ws.ws_col;
    display.height = ws.ws_row;
  }
  if (look == CursorLook::found) {
    display.cursor_x = std::clamp(col, 1, display.width) - 1;
    display.cursor_y = std::clamp(row, 1, display.height) - 1;
  } else {
    // The bottom row is where a shell leaves the cursor most often, and
    // writing there overwrites the least.
    display.cursor_x = 0;
    display.cursor_y = display.height - 1;
  }
  display.at_x = display.at_y = -1;
  return info(i);
}

constexpr Screen kTerminalScreen{info, set_cursor, write_cell, scroll_up, changed};

}  // namespace

const Screen& open_terminal_screen(int fd, bool own_fd, bool silent, const ScreenInfo& start) {
  display = TerminalScreen{};
  display.fd = fd;
  display.own_fd = own_fd;
  display.silent = silent;
  display.width = start.width;
  display.height = start.height;
  display.cursor_x = start.cursor_x;
  display.cursor_y = start.cursor_y;
  return kTerminalScreen;
}

void close_terminal_screen() {
  if (display.fd >= 0) flush_screen();
  if (display.own_fd) close(display.fd);
  display.own_fd = false;
  display.fd = -1;
}

}  // namespace console::posix
