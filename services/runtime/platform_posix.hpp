#pragma once
// The stack of the current thread, shared by the frame walk and the fault
// filter. Known for the main thread once the fault filter is installed and
// for any thread that called prepare_thread; the walk fills it on demand.
#include <cstdint>

namespace runtime::platform {

struct StackBounds {
  std::uintptr_t low = 0;   // lowest usable address (above any guard page)
  std::uintptr_t high = 0;  // one past the highest address
  bool known() const { return high != 0; }
  bool holds(std::uintptr_t p, std::uintptr_t size) const {
    return p >= low && p < high && high - p >= size;
  }
};

// Read from the signal handler, hence initial-exec: no lazy allocation.
[[gnu::tls_model("initial-exec")]] extern thread_local StackBounds thread_stack;

// Asks the thread library (not async-signal-safe: never from a handler).
StackBounds read_thread_stack();

}  // namespace runtime::platform
