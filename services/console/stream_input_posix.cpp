// Bytes of standard input that is no terminal (a file, a pipe, /dev/null),
// for the keys of stream_keys.cpp.
#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include "services/console/backend_posix.hpp"
#include "services/console/stream_keys.hpp"

namespace console::posix {
namespace {

int stream_fd = -1;

ByteRead read_byte(std::uint8_t& byte) {
  if (stream_fd < 0) return ByteRead::end;
  pollfd p{stream_fd, POLLIN, 0};
  if (poll(&p, 1, 0) <= 0) return ByteRead::none;  // data, end of input or an error: read
  const ssize_t n = read(stream_fd, &byte, 1);
  if (n == 1) return ByteRead::byte;
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return ByteRead::none;
  return ByteRead::end;
}

void wait_byte(std::uint32_t ms) {
  if (stream_fd < 0) return;
  pollfd p{stream_fd, POLLIN, 0};
  poll(&p, 1, static_cast<int>(ms));
}

constexpr ByteReader kStreamBytes{read_byte, wait_byte};

}  // namespace

const EventSource& open_stream_input(int fd) {
  stream_fd = fd;
  return open_stream_keys(kStreamBytes);
}

}  // namespace console::posix
