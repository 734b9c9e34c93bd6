// The console on a POSIX system: a terminal.
//
// The console is the terminal the keys come from: when standard input is
// a terminal, the echo and the cursor query go to it (through standard
// output when that is the same terminal); otherwise the echo would go to
// standard output's terminal or the process's terminal (/dev/tty), and the
// keys come byte by byte from the file or pipe, without echo. A closed
// standard input is an input at its end. The screen is the terminal's size.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "services/console/posix.hpp"

namespace console::backend {

using namespace console::posix;

namespace {

bool is_open(int fd) { return fcntl(fd, F_GETFD) != -1; }

// The terminal of standard input, for writing.
int open_input_terminal() {
  if (same_terminal(STDOUT_FILENO, STDIN_FILENO)) return STDOUT_FILENO;
  char name[256];
  int fd = -1;
  if (ttyname_r(STDIN_FILENO, name, sizeof name) == 0) fd = open_high(name, O_WRONLY | O_NOCTTY);
  if (fd < 0) fd = open_high("/proc/self/fd/0", O_WRONLY | O_NOCTTY);
  if (fd >= 0 && !same_terminal(fd, STDIN_FILENO)) {
    ::close(fd);
    fd = -1;
  }
  return fd;
}

}  // namespace

OpenResult open(Console& console) {
  TerminalScreen& s = TERMSCREEN;
  s = TerminalScreen{};
  const bool input_open = is_open(STDIN_FILENO);
  const bool key_terminal = input_open && isatty(STDIN_FILENO);
  winsize ws{};
  s.fd = key_terminal ? open_input_terminal() : -1;
  s.own_fd = s.fd > STDERR_FILENO;
  if (s.fd < 0 || ioctl(s.fd, TIOCGWINSZ, &ws) != 0) {
    if (s.own_fd) ::close(s.fd);
    s.own_fd = false;
    s.fd = STDOUT_FILENO;
  }
  if (ioctl(s.fd, TIOCGWINSZ, &ws) != 0) {
    s.fd = open_high("/dev/tty", O_RDWR | O_NOCTTY);
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
  if (key_terminal) {
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
    STREAM.fd = input_open ? STDIN_FILENO : -1;
    STREAM.eof = !input_open;
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
