// POSIX side of the runtime: standard handles are file descriptors.
#include "services/runtime/platform.hpp"

#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "services/runtime/frame_layout.hpp"
#include "services/runtime/platform_posix.hpp"

namespace runtime::platform {

thread_local StackBounds thread_stack;

namespace {

// I/O error numbers as INOUTRES holds them.
std::uint16_t io_error(int e, std::uint16_t otherwise) {
  switch (e) {
    case EBADF: return 6;  // invalid file handle
    default: return otherwise;
  }
}
constexpr std::uint16_t kDiskReadError = 100;
constexpr std::uint16_t kDiskWriteError = 101;

}  // namespace

std::intptr_t std_handle(StdStream which) {
  switch (which) {
    case StdStream::input: return STDIN_FILENO;
    case StdStream::output: return STDOUT_FILENO;
    case StdStream::error: return STDERR_FILENO;
  }
  return -1;
}

// A write that the system refuses with a signal fails like any other write
// instead of ending the process: into a pipe that nobody reads (SIGPIPE),
// or past the file-size limit (SIGXFSZ, `ulimit -f`). Both are held back
// around the write, and the one the write raised (it is sent to the writing
// thread) is taken off again. So a report or message that cannot be written
// leaves the exit status alone; the same signal sent with kill still ends
// the process, once it is let through.
std::uint16_t write(std::intptr_t handle, const char* data, std::size_t size) {
  sigset_t held, saved, pending;
  sigemptyset(&held);
  sigaddset(&held, SIGPIPE);
  sigaddset(&held, SIGXFSZ);
  pthread_sigmask(SIG_BLOCK, &held, &saved);
  const bool had = sigpending(&pending) == 0;
  const bool pipe_was_pending = had && sigismember(&pending, SIGPIPE) == 1;
  const bool size_was_pending = had && sigismember(&pending, SIGXFSZ) == 1;

  int error = 0;
  while (size > 0) {
    ssize_t n = ::write(static_cast<int>(handle), data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  const auto take_off = [](int sig) {
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    const timespec no_wait{};
    while (sigtimedwait(&one, nullptr, &no_wait) < 0 && errno == EINTR) {
    }
  };
  if (error == EPIPE && !pipe_was_pending) take_off(SIGPIPE);
  if (error == EFBIG && !size_was_pending) take_off(SIGXFSZ);
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  return error == 0 ? 0 : io_error(error, kDiskWriteError);
}

long read(std::intptr_t handle, char* data, std::size_t size, std::uint16_t& error) {
  for (;;) {
    ssize_t n = ::read(static_cast<int>(handle), data, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) {
      error = io_error(errno, kDiskReadError);
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

// The address as the object's own (link-time) address: an offset into a PIE
// executable or shared library, unchanged in a fixed-address executable. This
// is what `addr2line -e <object>` expects.
std::uint64_t report_address(const void* code) {
  Dl_info info;
  link_map* object = nullptr;
  if (code != nullptr &&
      dladdr1(code, &info, reinterpret_cast<void**>(&object), RTLD_DL_LINKMAP) != 0 &&
      object != nullptr)
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(code) - object->l_addr);
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(code));
}

// Link-time offsets of a program fit in 32 bits.
int report_address_digits() { return 8; }

StackBounds read_thread_stack() {
  StackBounds s;
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return s;
  void* base = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attr, &base, &size) == 0) {
    s.low = reinterpret_cast<std::uintptr_t>(base);
    s.high = s.low + size;
  }
  pthread_attr_destroy(&attr);
  return s;
}

// The bounds are asked for once per thread; a thread's stack does not move.
bool frame_on_stack(const void* frame) {
  StackBounds& stack = thread_stack;
  if (!stack.known()) stack = read_thread_stack();
  const auto f = reinterpret_cast<std::uintptr_t>(frame);
  return f % sizeof(void*) == 0 && stack.holds(f + frame::kReadOffset, frame::kReadSize);
}

[[noreturn]] void exit_process(std::uint16_t status) { _exit(status & 0xFF); }

}  // namespace runtime::platform
