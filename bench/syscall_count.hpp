#pragma once
// System calls entered by the calling thread, counted by the kernel's
// syscall-entry tracepoint. Needs tracefs and the right to open tracepoint
// events (root, or perf_event_paranoid -1); where that is missing, the
// counter is unavailable and scripts/bench counts with strace instead.
#include <cstdint>
#include <string>

namespace bench {

class SyscallCounter {
 public:
  SyscallCounter();
  ~SyscallCounter();
  SyscallCounter(const SyscallCounter&) = delete;
  SyscallCounter& operator=(const SyscallCounter&) = delete;

  bool available() const { return fd_ >= 0; }
  const std::string& why_not() const { return why_not_; }
  // Calls entered so far, not counting those of the readings themselves.
  std::uint64_t now() const;

 private:
  int fd_ = -1;
  std::uint64_t own_ = 0;        // calls one reading adds
  mutable std::uint64_t reads_ = 0;  // readings so far
  std::string why_not_;
};

}  // namespace bench
