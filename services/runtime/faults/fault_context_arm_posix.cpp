// The fault context on 32-bit ARM (the program in ARM state: r11 is its
// frame pointer); its floating-point part is fault_context_untrapped_posix.cpp.
#include <ucontext.h>

#include "services/runtime/faults/fault_context_posix.hpp"

namespace runtime::platform::fault_context {
namespace {

constexpr unsigned long kThumb = 0x20;          // CPSR T
constexpr unsigned long kIfThen = 0x0600FC00;   // CPSR IT[7:0]

}  // namespace

Registers read(const ucontext_t* uc, const StackBounds&) {
  const mcontext_t& m = uc->uc_mcontext;
  return {m.arm_pc, m.arm_sp, m.arm_fp};
}

std::uintptr_t red_zone() { return 0; }

// The link register makes it look called from the faulting instruction.
// The fault may lie in Thumb code (the C library's); the continuation is in
// the state its address says, out of any if-then block.
void redirect(ucontext_t* uc, void (*continuation)(), std::uintptr_t stack_top) {
  mcontext_t& m = uc->uc_mcontext;
  const auto target = reinterpret_cast<std::uintptr_t>(continuation);
  m.arm_lr = m.arm_pc + ((m.arm_cpsr & kThumb) != 0 ? 2 : 4);
  m.arm_sp = stack_top & ~std::uintptr_t{7};
  m.arm_pc = target & ~std::uintptr_t{1};
  m.arm_cpsr &= ~(kThumb | kIfThen);
  if ((target & 1) != 0) m.arm_cpsr |= kThumb;
}

}  // namespace runtime::platform::fault_context
