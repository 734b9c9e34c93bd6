#pragma once
// The POSIX console backend's own interface: the terminal found at
// start-up (backend_posix.cpp), its key mode and signal handling
// (keymode_posix.cpp), key input from the terminal (terminal_input_posix.cpp)
// or from a file or pipe (stream_input_posix.cpp), and the echo on the
// terminal (terminal_screen_posix.cpp). Each file keeps its own state; the
// flags below, which signal handlers raise for other files, are defined in
// state_posix.cpp.
#include <atomic>
#include <cstdint>

#include "services/console/backend.hpp"
#include "services/console/keydecode_posix.hpp"

namespace console::posix {

// Records decoded but not yet taken.
struct RecordQueue {
  static constexpr unsigned kCapacity = 16;
  InputRecord items[kCapacity];
  unsigned head = 0, count = 0;

  bool empty() const { return count == 0; }
  unsigned room() const { return kCapacity - count; }
  void push(const InputRecord& r) { items[(head + count++) % kCapacity] = r; }
  // The records of a decoded item (up to 3).
  void push_item(const keydecode::Item& item) {
    InputRecord records[3];
    const int n = keydecode::make_records(item, records);
    for (int i = 0; i < n; ++i) push(records[i]);
  }
  // The key of character `c`.
  void push_char(std::uint8_t c) {
    keydecode::Item item;
    item.kind = keydecode::Item::Kind::key;
    item.key = key_for_char(c);
    push_item(item);
  }
  InputRecord pop() {
    InputRecord r = items[head];
    head = (head + 1) % kCapacity;
    --count;
    return r;
  }
};

// Raised by SIGIO when terminal input arrives; cleared before reading.
extern std::atomic<bool> input_may_be_pending;
// Raised when the process continues after a stop: others have written to
// the terminal meanwhile, so where its cursor is is no longer known.
extern std::atomic<bool> cursor_moved;
// Raised by SIGWINCH: the terminal's size has changed.
extern std::atomic<bool> size_changed;
// Raised with either of the two above: the terminal is to be asked again
// where its cursor is, once nothing typed is waiting to be read.
extern std::atomic<bool> ask_cursor;

// backend_posix.cpp.
// A description of its own of standard input's terminal, opened with
// `flags` on a descriptor above the standard ones (so that it never stands
// in for a closed one); -1 when there is none.
int open_input_terminal(int flags);

// keymode_posix.cpp: key mode from start-up to the end, through stops and
// fatal signals.
// In the background key mode waits until the program is in front.
bool enter_key_mode(int fd);
void leave_key_mode();
// True when the program may read, ask and echo on the terminal: it is in
// key mode and no other process group is in the terminal's foreground.
// Takes key mode when the program has come to the front unnoticed.
bool terminal_in_front();
// On a terminal that cannot signal the program (that of another session):
// true when `c` is one of its signal characters, which is then not a key.
// The interrupt and quit characters raise SIGINT and SIGQUIT.
bool take_signal_byte(unsigned char c);

// terminal_input_posix.cpp.
// Starts reading the terminal of standard input; returns the descriptor
// it reads, the one whose settings key mode changes.
int open_terminal_input();
void close_terminal_input();
// While the program runs in the background nothing tells it that it is in
// front again (a shell's fg of a running job sends no signal): with `on`, a
// timer raises input_may_be_pending now and then, and the next look at the
// input finds out. Async-signal-safe.
void watch_for_front(bool on);
const EventSource& terminal_events();
// The cursor question goes to `out_fd`; it is due from now on. It is asked
// at a look at the input (KEYPRESSED's, or look_for_cursor) in front, with
// nothing typed waiting to be read, and never while one is outstanding.
void ask_cursor_on(int out_fd);
enum class CursorLook { found, none, later };
// Where the terminal's cursor is, 1-based, as it answered the last
// question; an outstanding answer is waited for (a while after it was
// asked), keys read meanwhile stay ahead of the rest. `none`: no answer.
// `later`: a question is due but keys are waiting; with `now` the answer
// is done without instead (`none`) until the next stop or resize.
CursorLook look_for_cursor(bool now, int& row, int& col);
// At the end: an outstanding answer is read (with what comes before it)
// rather than left to reach the shell as typed text.
void settle_cursor_question();

// stream_input_posix.cpp: the keys of the bytes of `fd`; -1 is an input at
// its end.
const EventSource& open_stream_input(int fd);

// terminal_screen_posix.cpp: the echo on `fd` (none when `silent`), a
// screen of the size and with the cursor of `start`. The descriptor is
// closed at the end when `own_fd`.
const Screen& open_terminal_screen(int fd, bool own_fd, bool silent, const ScreenInfo& start);
// Writes out what is pending and lets the descriptor go.
void close_terminal_screen();

}  // namespace console::posix
