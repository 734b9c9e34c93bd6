#pragma once
// Waiting for something another process does, with a deadline. Deadlines
// are generous: the machine may be busy, and only a failing test waits
// them out.
#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

using namespace std::chrono_literals;

inline constexpr std::chrono::milliseconds kDeadline = 10s;

// Polls `condition` until it holds (true) or `timeout` passes (false).
inline bool wait_until(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = kDeadline,
                       std::chrono::milliseconds interval = 5ms) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(interval);
  }
}

}  // namespace testsupport
