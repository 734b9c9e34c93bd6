#pragma once
// The POSIX console backend: the terminal's key mode and signal handling
// (tty_posix.cpp), key input from the terminal (terminal_posix.cpp) or from
// a file or pipe (stream_posix.cpp), and the echo on the terminal
// (screen_posix.cpp). Its state is defined in state_posix.cpp.
#include <termios.h>

#include <atomic>
#include <cstdint>

#include "services/console/backend.hpp"
#include "services/console/keydecode_posix.hpp"

namespace console::posix {

// Records decoded but not yet taken.
struct RecordQueue {
  static constexpr unsigned CAPACITY = 16;
  InputRecord items[CAPACITY];
  unsigned head = 0, count = 0;

  bool empty() const { return count == 0; }
  unsigned room() const { return CAPACITY - count; }
  void push(const InputRecord& r) { items[(head + count++) % CAPACITY] = r; }
  InputRecord pop() {
    InputRecord r = items[head];
    head = (head + 1) % CAPACITY;
    --count;
    return r;
  }
};

// Key input from the terminal.
struct TerminalInput {
  int fd = -1;            // our own open file description of the terminal, or 0
  bool own_fd = false;
  bool async = false;     // SIGIO raises INPUT_MAY_BE_PENDING
  bool eof = false;       // the terminal hung up
  keydecode::Decoder decoder;
  RecordQueue queue;
};

// Key input from standard input that is no terminal.
struct StreamInput {
  int fd = 0;
  bool eof = false;
  RecordQueue queue;
};

// The echo on the terminal.
struct TerminalScreen {
  int fd = -1;
  bool own_fd = false;
  bool silent = false;  // the line does not come from this terminal: no echo
  int width = 80, height = 25;
  int cursor_x = 0, cursor_y = 0;  // at start-up
  int at_x = -1, at_y = -1;        // the terminal's cursor as far as known
  char out[512];
  unsigned out_len = 0;
};

// The terminal's settings and who holds them. Read by signal handlers.
enum TtyMode : int { TTY_OFF, TTY_KEYS, TTY_SUSPENDED, TTY_BUSY };
struct TtyState {
  int fd = -1;
  termios saved{};  // as found at start-up
  termios keys{};   // key by key, no echo
  std::atomic<int> mode{TTY_OFF};
};

extern TerminalInput TERMINAL;
extern StreamInput STREAM;
extern TerminalScreen TERMSCREEN;
extern TtyState TTY;
// Raised by SIGIO when terminal input arrives; cleared before reading.
extern std::atomic<bool> INPUT_MAY_BE_PENDING;
// Raised when the process continues after a stop: others have written to
// the terminal meanwhile, so where its cursor is is no longer known.
extern std::atomic<bool> CURSOR_MOVED;
// Raised by SIGWINCH: the terminal's size has changed.
extern std::atomic<bool> SIZE_CHANGED;

std::uint64_t now_ms();
// Opens `path` on a descriptor above the standard ones, so that it never
// stands in for a closed standard input or output.
int open_high(const char* path, int flags);
// True when both descriptors are the same terminal.
bool same_terminal(int a, int b);

// tty_posix.cpp: key mode from start-up to the end, through stops and
// fatal signals.
bool enter_key_mode(int fd);
void leave_key_mode();

// terminal_posix.cpp
const EventSource& terminal_events();
void open_terminal_input();  // on the terminal of standard input
void close_terminal_input();
// Asks the terminal where its cursor is (1-based); input that comes with
// the answer is kept for the decoder. An answer that comes too late is
// taken for what it is when it comes.
bool query_cursor(int out_fd, int& row, int& col);

// stream_posix.cpp
const EventSource& stream_events();

// screen_posix.cpp
const Screen& terminal_screen();
void flush_screen();

}  // namespace console::posix
