// POSIX side of the runtime: standard handles are file descriptors.
#include "services/runtime/platform.hpp"

#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace runtime::platform {
namespace {

std::uint16_t io_error(int e) {
  switch (e) {
    case EBADF: return 6;     // invalid handle
    case ENOSPC: return 101;  // disk write error
    default: return 100 + 0;  // generic read/write failure
  }
}

}  // namespace

std::intptr_t std_handle(StdStream which) {
  switch (which) {
    case StdStream::input: return STDIN_FILENO;
    case StdStream::output: return STDOUT_FILENO;
    case StdStream::error: return STDERR_FILENO;
  }
  return -1;
}

std::uint16_t write(std::intptr_t handle, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(static_cast<int>(handle), data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return io_error(errno);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

long read(std::intptr_t handle, char* data, std::size_t size, std::uint16_t& error) {
  for (;;) {
    ssize_t n = ::read(static_cast<int>(handle), data, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) {
      error = io_error(errno);
      return -1;
    }
  }
}

bool is_char_device(std::intptr_t handle) {
  struct stat st;
  return fstat(static_cast<int>(handle), &st) == 0 && S_ISCHR(st.st_mode);
}

std::uint32_t tick_count_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);  // since boot, not counting suspend
  std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                     static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

// Offsets into the loaded object, so that addr2line can name the line.
std::uint32_t report_address(const void* code) {
  Dl_info info;
  if (code != nullptr && dladdr(code, &info) != 0 && info.dli_fbase != nullptr)
    return static_cast<std::uint32_t>(static_cast<const char*>(code) -
                                      static_cast<const char*>(info.dli_fbase));
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(code));
}

bool frame_on_stack(const void* frame) {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return false;
  void* base = nullptr;
  size_t size = 0;
  pthread_attr_getstack(&attr, &base, &size);
  pthread_attr_destroy(&attr);
  auto lo = reinterpret_cast<std::uintptr_t>(base);
  auto f = reinterpret_cast<std::uintptr_t>(frame);
  return f >= lo && f + 2 * sizeof(void*) <= lo + size && f % sizeof(void*) == 0;
}

[[noreturn]] void exit_process(std::uint16_t status) { _exit(status & 0xFF); }

}  // namespace runtime::platform
