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
#include <sys/stat.h>
#include <unistd.h>

#include "services/console/backend_posix.hpp"

namespace console {

namespace posix {

namespace {

// Opens `path` on a descriptor above the standard ones, so that it never
// stands in for a closed standard input or output.
int open_high(const char* path, int flags) {
  const int fd = ::open(path, flags | O_CLOEXEC);
  if (fd < 0 || fd > STDERR_FILENO) return fd;
  const int high = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  ::close(fd);
  return high;
}

bool same_terminal(int a, int b) {
  struct stat sa {}, sb {};
  return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) &&
         sa.st_rdev == sb.st_rdev;
}

}  // namespace

int open_input_terminal(int flags) {
  char name[256];
  int fd = -1;
  if (ttyname_r(STDIN_FILENO, name, sizeof name) == 0) fd = open_high(name, flags | O_NOCTTY);
  if (fd < 0) fd = open_high("/proc/self/fd/0", flags | O_NOCTTY);
  if (fd >= 0 && !same_terminal(fd, STDIN_FILENO)) {
    ::close(fd);
    fd = -1;
  }
  return fd;
}

}  // namespace posix

namespace backend {

using namespace console::posix;

namespace {

bool is_open(int fd) { return fcntl(fd, F_GETFD) != -1; }

// The terminal of standard input, for writing.
int open_output_terminal() {
  return same_terminal(STDOUT_FILENO, STDIN_FILENO) ? STDOUT_FILENO : open_input_terminal(O_WRONLY);
}

}  // namespace

OpenResult open(Console& console) {
  const bool input_open = is_open(STDIN_FILENO);
  const bool key_terminal = input_open && isatty(STDIN_FILENO);
  winsize ws{};
  int fd = key_terminal ? open_output_terminal() : -1;
  bool own_fd = fd > STDERR_FILENO;
  if (fd < 0 || ioctl(fd, TIOCGWINSZ, &ws) != 0) {
    if (own_fd) ::close(fd);
    own_fd = false;
    fd = STDOUT_FILENO;
    if (ioctl(fd, TIOCGWINSZ, &ws) != 0) {
      fd = open_high("/dev/tty", O_RDWR | O_NOCTTY);
      if (fd < 0) return OpenResult::no_handle;
      own_fd = true;
      if (ioctl(fd, TIOCGWINSZ, &ws) != 0) {
        ::close(fd);
        return OpenResult::no_info;
      }
    }
  }
  ScreenInfo start;
  start.width = ws.ws_col > 0 ? ws.ws_col : 80;
  start.height = ws.ws_row > 0 ? ws.ws_row : 25;

  bool keys = false;
  if (key_terminal) {
    keys = enter_key_mode(open_terminal_input());
    if (!keys) close_terminal_input();
  }
  // Where the cursor is is asked at the first look at the keys (the plot's
  // first poll, once the graphics have started), not here: the answer comes
  // behind whatever was typed ahead, and a program that ends before its
  // line (a failed start-up) must leave those keys unread.
  start.cursor_y = start.height - 1;
  if (keys) {
    ask_cursor_on(fd);
    console.events = &terminal_events();
  } else {
    console.events = &open_stream_input(input_open ? STDIN_FILENO : -1);
  }
  console.screen = &open_terminal_screen(fd, own_fd, !keys, start);
  return OpenResult::ok;
}

void close() {
  settle_cursor_question();  // in key mode still, where its bytes can be read
  close_terminal_screen();
  leave_key_mode();
  close_terminal_input();
}

}  // namespace backend
}  // namespace console
