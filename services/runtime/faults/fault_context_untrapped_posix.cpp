// The part of the fault context every processor but x86 shares: its
// floating-point unit raises no traps (floating-point faults come from the
// software extended type's own checks instead), and its privileged
// instructions raise SIGILL, never SIGSEGV.
#include <ucontext.h>

#include "services/runtime/faults/fault_context_posix.hpp"

namespace runtime::platform::fault_context {

unsigned unmasked_fp_flags(const ucontext_t*) { return 0; }

bool privileged_instruction(const ucontext_t*) { return false; }

void clear_pending(ucontext_t*, bool) {}

}  // namespace runtime::platform::fault_context
