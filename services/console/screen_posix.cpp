// The echo on the terminal: cells are written at their place with cursor
// positioning sequences. The console's characters are 8-bit (Latin-1) and
// go out as UTF-8; control characters show as '?', so that echoed input
// never acts as a terminal command.
#include <errno.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "services/console/posix.hpp"

namespace console::posix {
namespace {

TerminalScreen& S = TERMSCREEN;

void append(const char* data, unsigned n) {
  if (S.out_len + n > sizeof S.out) flush_screen();
  for (unsigned i = 0; i < n; ++i) S.out[S.out_len++] = data[i];
}

void move_to(int x, int y) {
  if (S.at_x == x && S.at_y == y) return;
  char seq[32];
  const int n = std::snprintf(seq, sizeof seq, "\x1b[%d;%dH", y + 1, x + 1);
  append(seq, static_cast<unsigned>(n));
  S.at_x = x;
  S.at_y = y;
}

bool info(ScreenInfo& i) {
  i.width = S.width;
  i.height = S.height;
  i.cursor_x = S.cursor_x;
  i.cursor_y = S.cursor_y;
  i.attribute = 0x07;
  return true;
}

void set_cursor(int x, int y) {
  if (S.silent) return;
  move_to(x, y);
  flush_screen();
}

void write_cell(int x, int y, std::uint8_t ch, std::uint16_t) {
  if (S.silent) return;
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
  S.at_x = x + 1 < S.width ? x + 1 : -1;
}

void scroll_up(int, int, int, int bottom, std::uint16_t) {
  if (S.silent) return;
  // The window is the whole terminal: a line feed on its bottom row scrolls it.
  move_to(0, bottom);
  append("\n", 1);
  S.at_x = S.at_y = -1;
  flush_screen();
}

// After a stop or a resize: the terminal's size and cursor as they are now.
// The cursor is asked for again (no answer: bottom-left, as at start-up).
bool changed(ScreenInfo& i) {
  const bool moved = CURSOR_MOVED.exchange(false);
  const bool resized = SIZE_CHANGED.exchange(false);
  if (S.silent || !(moved || resized)) return false;
  flush_screen();
  winsize ws{};
  if (ioctl(S.fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
    S.width = ws.ws_col;
    S.height = ws.ws_row;
  }
  int row = 0, col = 0;
  if (query_cursor(S.fd, row, col)) {
    S.cursor_x = (col < 1 ? 1 : col > S.width ? S.width : col) - 1;
    S.cursor_y = (row < 1 ? 1 : row > S.height ? S.height : row) - 1;
  } else {
    S.cursor_x = 0;
    S.cursor_y = S.height - 1;
  }
  S.at_x = S.at_y = -1;
  return info(i);
}

constexpr Screen SCREEN_TERMINAL{info, set_cursor, write_cell, scroll_up, changed};

}  // namespace

const Screen& terminal_screen() { return SCREEN_TERMINAL; }

void flush_screen() {
  unsigned done = 0;
  while (done < S.out_len) {
    const ssize_t n = write(S.fd, S.out + done, S.out_len - done);
    if (n > 0) {
      done += static_cast<unsigned>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{S.fd, POLLOUT, 0};
      if (poll(&p, 1, 1000) <= 0) break;
    } else if (!(n < 0 && errno == EINTR)) {
      break;  // the echo is lost; the line is not
    }
  }
  S.out_len = 0;
}

}  // namespace console::posix
