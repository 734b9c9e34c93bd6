// The POSIX console backend's flags that signal handlers raise for other
// files of the backend.
#include "services/console/backend_posix.hpp"

namespace console::posix {

std::atomic<bool> input_may_be_pending{false};
std::atomic<bool> cursor_moved{false};
std::atomic<bool> size_changed{false};
std::atomic<bool> ask_cursor{false};

static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need lock-free flags");

}  // namespace console::posix
