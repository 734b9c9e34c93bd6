// Key input from the terminal: its bytes, decoded into console records.
//
// The terminal is read through an open file description of our own, so
// that making it non-blocking and signal-driven leaves the shell's standard
// input as it was. SIGIO, sent to the main thread only, raises
// input_may_be_pending when bytes arrive; while it is down and nothing
// waits in the decoder, asking for pending input is a few loads and no
// system call. Without SIGIO every query polls the terminal.
//
// Bytes are read one at a time and no further than the end of the next
// key: what is typed after the final line's Enter stays in the terminal
// for whoever reads it next (the shell).
//
// The terminal answers the cursor question behind every byte already
// queued, so the question is asked only when nothing is: no byte unread
// (FIONREAD 0) and no key half decoded. That happens during the plot, at
// the first look at the input in front (and again after a stop or a
// resize), so the answer comes while plotting, the decoder takes it, and
// the line finds the cursor known without reading anything typed for it.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "services/console/keydecode_posix.hpp"
#include "services/console/backend_posix.hpp"
#include "services/runtime/platform.hpp"

namespace console::posix {
namespace {

using runtime::platform::tick_count_ms;

// How long after the cursor question its answer is waited for (a slow
// link's round trip); asked during the plot, it has mostly come by then.
constexpr std::uint32_t kAnswerWaitMs = 1000;
// How often the program in the background looks whether it is in front.
constexpr std::uint32_t kFrontLookMs = 100;

struct TerminalInput {
  int fd = -1;            // our own open file description of the terminal, or 0
  bool own_fd = false;
  bool async = false;     // SIGIO raises input_may_be_pending
  bool have_timer = false;
  timer_t front_timer{};  // SIGIO now and then while in the background
  bool eof = false;       // the terminal hung up
  keydecode::Decoder decoder;
  RecordQueue queue;
};

// The cursor question: asked on `out_fd` (-1: never), answered or not.
struct CursorQuestion {
  int out_fd = -1;
  bool outstanding = false;  // asked, and its answer not yet seen or given up
  std::uint32_t asked_ms = 0;
  bool known = false;        // the answer to the last question, 1-based
  int row = 0, col = 0;
};

TerminalInput terminal;
CursorQuestion cursor;

void on_input(int) { input_may_be_pending.store(true, std::memory_order_relaxed); }

bool enable_sigio(int fd) {
  struct sigaction sa {};
  sa.sa_handler = on_input;
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  if (sigaction(SIGIO, &sa, nullptr) != 0) return false;
  f_owner_ex owner{F_OWNER_TID, gettid()};
  if (fcntl(fd, F_SETOWN_EX, &owner) != 0) return false;
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_ASYNC | O_NONBLOCK) == 0;
}

// SIGIO on the main thread from a timer, for watch_for_front.
bool make_front_timer() {
  sigevent ev{};
  ev.sigev_notify = SIGEV_THREAD_ID;
  ev.sigev_signo = SIGIO;
  ev._sigev_un._tid = gettid();
  return timer_create(CLOCK_MONOTONIC, &ev, &terminal.front_timer) == 0;
}

bool readable_now(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeout_ms) > 0;
}

void take_answer(int row, int col) {
  cursor.outstanding = false;
  cursor.known = true;
  cursor.row = row;
  cursor.col = col;
}

void decode_into_queue() {
  if (terminal.decoder.size == 0) return;
  const std::uint32_t now = tick_count_ms();
  keydecode::Item item;
  while (terminal.queue.room() >= 3 && keydecode::next(terminal.decoder, now, item)) {
    // A report with no question outstanding answers one given up: swallowed.
    if (item.kind == keydecode::Item::Kind::position && cursor.outstanding)
      take_answer(item.row, item.col);
    terminal.queue.push_item(item);
  }
}

// Asks where the cursor is when a question is due and nothing is queued:
// the answer is then the next thing the terminal sends but for keys typed
// after this moment. Only in front (checked by the caller).
void ask_when_quiet() {
  if (cursor.out_fd < 0 || cursor.outstanding || terminal.decoder.size != 0 ||
      !ask_cursor.load())
    return;
  int unread = 0;
  if (ioctl(terminal.fd, FIONREAD, &unread) != 0 || unread != 0) return;
  static constexpr char kQuery[] = "\x1b[6n";
  constexpr auto kQueryLength = static_cast<ssize_t>(sizeof kQuery - 1);
  ask_cursor.store(false);
  cursor.known = false;
  if (write(cursor.out_fd, kQuery, kQueryLength) != kQueryLength) return;
  cursor.outstanding = true;
  cursor.asked_ms = tick_count_ms();
  keydecode::expect_position_report(terminal.decoder);
}

// Reads byte by byte up to the answer, until kAnswerWaitMs after the
// question: keys typed before it stay in the decoder ahead of what follows.
void wait_for_answer() {
  keydecode::Decoder& d = terminal.decoder;
  while (cursor.outstanding) {
    int row = 0, col = 0;
    if (keydecode::take_position_report(d, row, col)) {
      if (d.reports_owed > 0) --d.reports_owed;
      take_answer(row, col);
      break;
    }
    const std::uint32_t waited = tick_count_ms() - cursor.asked_ms;
    if (waited >= kAnswerWaitMs || keydecode::room(d) == 0 || terminal.eof) break;
    pollfd p{terminal.fd, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(kAnswerWaitMs - waited));
    if (ready == 0) break;
    if (ready < 0) continue;  // a signal (SIGIO among them): the time is checked again
    unsigned char c;
    const ssize_t n = read(terminal.fd, &c, 1);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      terminal.eof = true;
      break;
    }
    if (!take_signal_byte(c)) keydecode::push(d, &c, 1, tick_count_ms());
  }
  // Given up: the decoder still owes the report and swallows it if it comes.
  cursor.outstanding = false;
  input_may_be_pending.store(true);
}

// Reads byte by byte until a key is decoded or the terminal has no more.
void read_key_bytes() {
  for (;;) {
    decode_into_queue();
    if (!terminal.queue.empty()) {
      input_may_be_pending.store(true);  // more may be there: look again next time
      return;
    }
    if (keydecode::room(terminal.decoder) == 0) return;  // decided once the input is quiet
    if (!terminal.async && !readable_now(terminal.fd, 0)) return;
    unsigned char c;
    const ssize_t n = read(terminal.fd, &c, 1);
    if (n == 1) {
      if (!take_signal_byte(c)) keydecode::push(terminal.decoder, &c, 1, tick_count_ms());
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;
    terminal.eof = true;  // hung up (0 or EIO): nothing more will come
    return;
  }
}

void refill() {
  // Cleared before reading: a byte that comes after the read raises it again.
  // In the background the bytes are the front job's, and a read would stop
  // the process (SIGTTIN); coming to the front raises the flag again.
  if ((!terminal.async || input_may_be_pending.exchange(false)) && terminal_in_front()) {
    read_key_bytes();
    ask_when_quiet();
  }
  decode_into_queue();
  if (terminal.eof && terminal.queue.empty() && terminal.decoder.size == 0) {
    // The terminal is gone: every further key is Enter, so a line read ends.
    terminal.queue.push_char(13);
  }
}

bool has_pending() {
  if (!terminal.queue.empty()) return true;
  if (terminal.async && !input_may_be_pending.load(std::memory_order_relaxed) &&
      terminal.decoder.size == 0 && !terminal.eof)
    return false;
  refill();
  return !terminal.queue.empty();
}

bool read_record(InputRecord& r) {
  if (terminal.queue.empty()) refill();
  if (terminal.queue.empty()) return false;
  r = terminal.queue.pop();
  return true;
}

void wait_input(std::uint32_t ms) {
  if (!terminal.queue.empty() || terminal.eof) return;
  if (!terminal_in_front()) {
    // Input pending for the front job must not turn this into a busy loop;
    // the SIGCONT that brings the program to the front ends the wait early.
    poll(nullptr, 0, static_cast<int>(std::min(ms, kFrontLookMs)));
    return;
  }
  if (terminal.async && input_may_be_pending.load()) return;
  std::uint32_t timeout = ms;
  // Undecided bytes (a lone Esc) are decided once the input is quiet.
  if (terminal.decoder.size > 0)
    timeout = std::min(timeout, keydecode::ms_until_decided(terminal.decoder, tick_count_ms()));
  if (readable_now(terminal.fd, static_cast<int>(timeout))) input_may_be_pending.store(true);
}

constexpr EventSource kTerminalEvents{has_pending, read_record, wait_input};

}  // namespace

const EventSource& terminal_events() { return kTerminalEvents; }

int open_terminal_input() {
  terminal = TerminalInput{};
  terminal.fd = open_input_terminal(O_RDONLY | O_NONBLOCK);
  terminal.own_fd = terminal.fd >= 0;
  if (!terminal.own_fd) terminal.fd = STDIN_FILENO;  // flags of a shared description stay untouched
  terminal.async = terminal.own_fd && enable_sigio(terminal.fd);
  if (terminal.async && !terminal.have_timer) terminal.have_timer = make_front_timer();
  input_may_be_pending.store(true);
  return terminal.fd;
}

void watch_for_front(bool on) {
  if (!terminal.async || !terminal.have_timer) return;  // without SIGIO every look reads
  itimerspec t{};
  if (on) t.it_value = t.it_interval = timespec{0, kFrontLookMs * 1000000L};
  timer_settime(terminal.front_timer, 0, &t, nullptr);
}

void close_terminal_input() {
  watch_for_front(false);
  if (!terminal.own_fd) return;
  const int flags = fcntl(terminal.fd, F_GETFL);
  if (flags >= 0) fcntl(terminal.fd, F_SETFL, flags & ~O_ASYNC);
  close(terminal.fd);
  terminal.own_fd = false;
  terminal.async = false;
  terminal.fd = STDIN_FILENO;
}

void ask_cursor_on(int out_fd) {
  cursor = CursorQuestion{};
  cursor.out_fd = out_fd;
  ask_cursor.store(true);
}

CursorLook look_for_cursor(bool now, int& row, int& col) {
  if (cursor.outstanding) wait_for_answer();
  // Due again (a stop or a resize since): asked now if nothing is queued.
  ask_when_quiet();
  if (cursor.outstanding) wait_for_answer();
  if (cursor.out_fd >= 0 && ask_cursor.load()) {
    if (!now) return CursorLook::later;
    ask_cursor.store(false);  // gone without; due again after the next change
    return CursorLook::none;
  }
  if (!cursor.known) return CursorLook::none;
  row = cursor.row;
  col = cursor.col;
  return CursorLook::found;
}

void settle_cursor_question() {
  if (cursor.outstanding && terminal_in_front()) wait_for_answer();
  cursor.out_fd = -1;
}

}  // namespace console::posix
