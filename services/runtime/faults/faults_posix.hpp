#pragma once
// Last words before a signal ends the process on a POSIX system.
#include <atomic>

namespace runtime::platform {

// Run by the fault filter, in signal context, before a signal that it does
// not turn into a run-time error ends the process (one sent with kill, or
// a fault with no usable frame): gives back what must not outlive the
// process. Async-signal-safe; null when there is nothing to give back.
extern std::atomic<void (*)()> fatal_signal_hook;

}  // namespace runtime::platform
