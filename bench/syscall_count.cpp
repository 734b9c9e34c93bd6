#include "bench/syscall_count.hpp"

#include <linux/perf_event.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace bench {
namespace {

long tracepoint_id() {
  for (const char* path : {"/sys/kernel/tracing/events/raw_syscalls/sys_enter/id",
                           "/sys/kernel/debug/tracing/events/raw_syscalls/sys_enter/id"}) {
    if (std::FILE* f = std::fopen(path, "r")) {
      long id = -1;
      const bool ok = std::fscanf(f, "%ld", &id) == 1;
      std::fclose(f);
      if (ok) return id;
    }
  }
  return -1;
}

std::uint64_t read_count(int fd) {
  std::uint64_t n = 0;
  if (read(fd, &n, sizeof n) != sizeof n) return 0;
  return n;
}

}  // namespace

SyscallCounter::SyscallCounter() {
  const long id = tracepoint_id();
  if (id < 0) {
    why_not_ = "no syscall tracepoint (tracefs not mounted or not readable)";
    return;
  }
  perf_event_attr attr{};
  attr.type = PERF_TYPE_TRACEPOINT;
  attr.size = sizeof attr;
  attr.config = static_cast<std::uint64_t>(id);
  // This thread only, on any CPU.
  fd_ = static_cast<int>(syscall(SYS_perf_event_open, &attr, 0, -1, -1, PERF_FLAG_FD_CLOEXEC));
  if (fd_ < 0) {
    why_not_ = std::string("perf_event_open: ") + std::strerror(errno);
    return;
  }
  // The entry of each read is counted before the read takes the value.
  const std::uint64_t a = read_count(fd_);
  const std::uint64_t b = read_count(fd_);
  own_ = b - a;
  reads_ = 2;
}

SyscallCounter::~SyscallCounter() {
  if (fd_ >= 0) close(fd_);
}

std::uint64_t SyscallCounter::now() const {
  if (fd_ < 0) return 0;
  ++reads_;
  return read_count(fd_) - reads_ * own_;
}

}  // namespace bench
