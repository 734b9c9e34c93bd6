// The POSIX console backend's state, in one place.
#include "services/console/posix.hpp"

namespace console::posix {

TerminalInput TERMINAL;
StreamInput STREAM;
TerminalScreen TERMSCREEN;
TtyState TTY;
std::atomic<bool> INPUT_MAY_BE_PENDING{false};
std::atomic<bool> CURSOR_MOVED{false};
std::atomic<bool> SIZE_CHANGED{false};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "signal handlers need lock-free flags");

}  // namespace console::posix
