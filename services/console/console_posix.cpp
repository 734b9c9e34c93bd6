// The console on a POSIX system: a terminal.
//
// The echo goes to standard output when it is a terminal, else to the
// process's terminal (/dev/tty); the screen is the terminal's size. Keys
// come from standard input: from a terminal in key mode, or byte by byte
// from a file or pipe, without echo.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "services/console/posix.hpp"

namespace console::backend {

using namespace console::posix;

OpenResult open(Console& console) {
  TerminalScreen& s = TERMSCREEN;
  s = TerminalScreen{};
  winsize ws{};
  s.fd = STDOUT_FILENO;
  if (ioctl(s.fd, TIOCGWINSZ, &ws) != 0) {
    s.fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s.fd < 0) return OpenResult::no_handle;
    s.own_fd = true;
    if (ioctl(s.fd, TIOCGWINSZ, &ws) != 0) {
      ::close(s.fd);
      s = TerminalScreen{};
      return OpenResult::no_info;
    }
  }
  s.width = ws.ws_col > 0 ? ws.ws_col : 80;
  s.height = ws.ws_row > 0 ? ws.ws_row : 25;

  bool keys = false;
  if (isatty(STDIN_FILENO)) {
    open_terminal_input();
    keys = enter_key_mode(TERMINAL.fd);
    if (!keys) close_terminal_input();
  }
  if (keys) {
    int row = 0, col = 0;
    if (query_cursor(s.fd, row, col)) {
      s.cursor_x = col < 1 ? 0 : (col > s.width ? s.width : col) - 1;
      s.cursor_y = row < 1 ? 0 : (row > s.height ? s.height : row) - 1;
    } else {
      // No answer: the bottom row is where a shell leaves the cursor most
      // often, and writing there overwrites the least.
      s.cursor_x = 0;
      s.cursor_y = s.height - 1;
    }
    console.events = &terminal_events();
  } else {
    STREAM = StreamInput{};
    STREAM.fd = STDIN_FILENO;
    s.silent = true;
    console.events = &stream_events();
  }
  console.screen = &terminal_screen();
  return OpenResult::ok;
}

void close() {
  TerminalScreen& s = TERMSCREEN;
  if (s.fd >= 0) flush_screen();
  leave_key_mode();
  close_terminal_input();
  if (s.own_fd) ::close(s.fd);
  s.own_fd = false;
  s.fd = -1;
}

}  // namespace console::backend
