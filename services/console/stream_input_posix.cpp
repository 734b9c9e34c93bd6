// Key input from standard input that is no terminal (a file, a pipe,
// /dev/null): each byte is a key, taken one at a time so that nothing
// beyond the line is consumed. A line feed or a carriage return is Enter.
// At the end of the input (or on a read error) every further key is
// Enter, so the line read ends and nothing waits for input that cannot come.
#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include "services/console/backend_posix.hpp"

namespace console::posix {
namespace {

struct StreamInput {
  int fd = -1;
  bool eof = false;
  RecordQueue queue;
};

StreamInput stream;

void read_one() {
  unsigned char c;
  const ssize_t n = read(stream.fd, &c, 1);
  if (n == 1) {
    stream.queue.push_char(c == 10 ? 13 : c);  // a line feed is Enter
  } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
    stream.eof = true;
  }
}

bool has_pending() {
  if (!stream.queue.empty() || stream.eof) return true;
  pollfd p{stream.fd, POLLIN, 0};
  if (poll(&p, 1, 0) > 0) read_one();  // data, end of input or an error
  return !stream.queue.empty() || stream.eof;
}

bool read_record(InputRecord& r) {
  if (stream.queue.empty() && !has_pending()) return false;
  if (stream.queue.empty()) stream.queue.push_char(13);  // at the end
  r = stream.queue.pop();
  return true;
}

void wait_input(std::uint32_t ms) {
  if (!stream.queue.empty() || stream.eof) return;
  pollfd p{stream.fd, POLLIN, 0};
  poll(&p, 1, static_cast<int>(ms));
}

constexpr EventSource kStreamEvents{has_pending, read_record, wait_input};

}  // namespace

const EventSource& open_stream_input(int fd) {
  stream = StreamInput{};
  stream.fd = fd;
  stream.eof = fd < 0;
  return kStreamEvents;
}

}  // namespace console::posix
