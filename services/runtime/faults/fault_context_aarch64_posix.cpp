// The fault context on 64-bit ARM; what it shares with the other processors
// whose floating-point unit raises no traps (the trap enables read as zero on
// the usual cores) is in fault_context_untrapped_posix.cpp.
#include <ucontext.h>

#include "services/runtime/faults/fault_context_posix.hpp"

namespace runtime::platform::fault_context {

Registers read(const ucontext_t* uc, const StackBounds&) {
  const mcontext_t& m = uc->uc_mcontext;
  return {static_cast<std::uintptr_t>(m.pc), static_cast<std::uintptr_t>(m.sp),
          static_cast<std::uintptr_t>(m.regs[29])};
}

std::uintptr_t red_zone() { return 0; }

// The link register makes it look called from the faulting instruction.
void redirect(ucontext_t* uc, void (*continuation)(), std::uintptr_t stack_top) {
  mcontext_t& m = uc->uc_mcontext;
  m.regs[30] = m.pc + 4;
  m.sp = stack_top & ~std::uintptr_t{15};
  m.pc = reinterpret_cast<std::uintptr_t>(continuation);
}

}  // namespace runtime::platform::fault_context
