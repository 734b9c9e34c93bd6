// Key input from the terminal: its bytes, decoded into console records.
//
// The terminal is read through an open file description of our own, so
// that making it non-blocking and signal-driven leaves the shell's standard
// input as it was. SIGIO, sent to the main thread only, raises
// INPUT_MAY_BE_PENDING when bytes arrive; while it is down and nothing
// waits in the decoder, asking for pending input is a few loads and no
// system call. Without SIGIO every query polls the terminal.
//
// Bytes are read one at a time and no further than the end of the next
// key: what is typed after the final line's Enter stays in the terminal
// for whoever reads it next (the shell).
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "services/console/posix.hpp"

namespace console::posix {
namespace {

TerminalInput& T = TERMINAL;

void on_input(int) { INPUT_MAY_BE_PENDING.store(true, std::memory_order_relaxed); }

int open_own_description() {
  char name[256];
  int fd = -1;
  if (ttyname_r(STDIN_FILENO, name, sizeof name) == 0)
    fd = open_high(name, O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) fd = open_high("/proc/self/fd/0", O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (fd >= 0 && !same_terminal(fd, STDIN_FILENO)) {
    close(fd);
    fd = -1;
  }
  return fd;
}

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

bool readable_now(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeout_ms) > 0;
}

void decode_into_queue() {
  if (T.decoder.size == 0) return;
  const std::uint64_t now = now_ms();
  keydecode::Item item;
  InputRecord records[3];
  while (T.queue.room() >= 3 && keydecode::next(T.decoder, now, item)) {
    const int n = keydecode::make_records(item, records);
    for (int i = 0; i < n; ++i) T.queue.push(records[i]);
  }
}

// Reads byte by byte until a key is decoded or the terminal has no more.
void read_key_bytes() {
  for (;;) {
    decode_into_queue();
    if (!T.queue.empty()) {
      INPUT_MAY_BE_PENDING.store(true);  // more may be there: look again next time
      return;
    }
    if (keydecode::room(T.decoder) == 0) return;  // decided once the input is quiet
    if (!T.async && !readable_now(T.fd, 0)) return;
    unsigned char c;
    const ssize_t n = read(T.fd, &c, 1);
    if (n == 1) {
      keydecode::push(T.decoder, &c, 1, now_ms());
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;
    T.eof = true;  // hung up (0 or EIO): nothing more will come
    return;
  }
}

void refill() {
  // Cleared before reading: a byte that comes after the read raises it again.
  if (!T.async || INPUT_MAY_BE_PENDING.exchange(false)) read_key_bytes();
  decode_into_queue();
  if (T.eof && T.queue.empty() && T.decoder.size == 0) {
    // The terminal is gone: every further key is Enter, so a line read ends.
    InputRecord records[3];
    keydecode::Item enter;
    enter.kind = keydecode::Item::Kind::key;
    enter.key = keydecode::key_for_char(13);
    const int n = keydecode::make_records(enter, records);
    for (int i = 0; i < n; ++i) T.queue.push(records[i]);
  }
}

bool has_pending() {
  if (!T.queue.empty()) return true;
  if (T.async && !INPUT_MAY_BE_PENDING.load(std::memory_order_relaxed) && T.decoder.size == 0 &&
      !T.eof)
    return false;
  refill();
  return !T.queue.empty();
}

bool read_record(InputRecord& r) {
  if (T.queue.empty()) refill();
  if (T.queue.empty()) return false;
  r = T.queue.pop();
  return true;
}

void wait_input(std::uint32_t ms) {
  if (!T.queue.empty() || T.eof) return;
  if (T.async && INPUT_MAY_BE_PENDING.load()) return;
  std::uint64_t timeout = ms;
  if (T.decoder.size > 0) {
    // Undecided bytes (a lone Esc) are decided once the input is quiet.
    const std::uint64_t now = now_ms(), at = keydecode::decide_at(T.decoder);
    const std::uint64_t left = at > now ? at - now : 0;
    if (left < timeout) timeout = left;
  }
  if (readable_now(T.fd, static_cast<int>(timeout))) INPUT_MAY_BE_PENDING.store(true);
}

constexpr EventSource EVENTS_TERMINAL{has_pending, read_record, wait_input};

// Finds ESC [ row ; col R in `buf` and cuts it out.
bool take_position_report(unsigned char* buf, std::size_t& len, int& row, int& col) {
  for (std::size_t i = 0; i + 1 < len; ++i) {
    if (buf[i] != 0x1B || buf[i + 1] != '[') continue;
    std::size_t j = i + 2;
    long v[2] = {0, 0};
    int k = 0;
    bool digits = false;
    for (; j < len; ++j) {
      const unsigned char c = buf[j];
      if (c >= '0' && c <= '9') {
        if (v[k] < 10000) v[k] = v[k] * 10 + (c - '0');
        digits = true;
      } else if (c == ';' && k == 0 && digits) {
        k = 1;
        digits = false;
      } else {
        break;
      }
    }
    if (j < len && buf[j] == 'R' && k == 1 && digits) {
      row = static_cast<int>(v[0]);
      col = static_cast<int>(v[1]);
      std::memmove(buf + i, buf + j + 1, len - (j + 1));
      len -= j + 1 - i;
      return true;
    }
  }
  return false;
}

}  // namespace

std::uint64_t now_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

const EventSource& terminal_events() { return EVENTS_TERMINAL; }

int open_high(const char* path, int flags) {
  const int fd = open(path, flags | O_CLOEXEC);
  if (fd < 0 || fd > STDERR_FILENO) return fd;
  const int high = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  close(fd);
  return high;
}

bool same_terminal(int a, int b) {
  struct stat sa {}, sb {};
  return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) &&
         sa.st_rdev == sb.st_rdev;
}

void open_terminal_input() {
  T = TerminalInput{};
  T.fd = open_own_description();
  T.own_fd = T.fd >= 0;
  if (!T.own_fd) T.fd = STDIN_FILENO;  // flags of a shared description stay untouched
  T.async = T.own_fd && enable_sigio(T.fd);
  INPUT_MAY_BE_PENDING.store(true);
}

void close_terminal_input() {
  if (!T.own_fd) return;
  const int flags = fcntl(T.fd, F_GETFL);
  if (flags >= 0) fcntl(T.fd, F_SETFL, flags & ~O_ASYNC);
  close(T.fd);
  T.own_fd = false;
  T.async = false;
  T.fd = STDIN_FILENO;
}

bool query_cursor(int out_fd, int& row, int& col) {
  static constexpr char QUERY[] = "\x1b[6n";
  if (write(out_fd, QUERY, sizeof QUERY - 1) != static_cast<ssize_t>(sizeof QUERY - 1)) return false;
  // Byte by byte, and no further than the answer: keys typed meanwhile are
  // the first keys of the input, and what follows them stays unread.
  unsigned char buf[256];
  std::size_t len = 0;
  bool found = false;
  const std::uint64_t deadline = now_ms() + 200;
  while (!found && len < sizeof buf) {
    const std::uint64_t now = now_ms();
    if (now >= deadline || !readable_now(T.fd, static_cast<int>(deadline - now))) break;
    const ssize_t n = read(T.fd, buf + len, 1);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) break;
    ++len;
    if (buf[len - 1] == 'R') found = take_position_report(buf, len, row, col);
  }
  keydecode::push(T.decoder, buf, len, now_ms());
  // The answer may still come: the decoder then takes it as one.
  if (!found) keydecode::expect_position_report(T.decoder);
  INPUT_MAY_BE_PENDING.store(true);
  return found;
}

}  // namespace console::posix
