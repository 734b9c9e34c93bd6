// The fault context on 64-bit ARM. Its floating-point unit raises no traps
// (the trap enables read as zero on the usual cores), so floating-point
// faults come from the software extended type's own checks instead.
#include <ucontext.h>

#include "services/runtime/fault_context_posix.hpp"

namespace runtime::platform::fault_context {

Registers read(const ucontext_t* uc, const StackBounds&) {
  const mcontext_t& m = uc->uc_mcontext;
  return {static_cast<std::uintptr_t>(m.pc), static_cast<std::uintptr_t>(m.sp),
          static_cast<std::uintptr_t>(m.regs[29])};
}

unsigned unmasked_fp_flags(const ucontext_t*) { return 0; }

// Instructions of a higher exception level are undefined at EL0 (SIGILL).
bool privileged_instruction(const ucontext_t*) { return false; }

void clear_pending(ucontext_t*, bool) {}

std::uintptr_t red_zone() { return 0; }

// The link register makes it look called from the faulting instruction.
void redirect(ucontext_t* uc, void (*continuation)(), std::uintptr_t stack_top) {
  mcontext_t& m = uc->uc_mcontext;
  m.regs[30] = m.pc + 4;
  m.sp = stack_top & ~std::uintptr_t{15};
  m.pc = reinterpret_cast<std::uintptr_t>(continuation);
}

}  // namespace runtime::platform::fault_context
