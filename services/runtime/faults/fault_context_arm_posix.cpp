// The fault context on 32-bit ARM (the program in ARM state: r11 is its
// frame pointer); its floating-point part is fault_context_untrapped_posix.cpp.
// Also the integer division by zero, which on ARM is no fault (below).
#include <ucontext.h>

#include "services/runtime/faults/fault_context_posix.hpp"
#include "services/runtime/system.hpp"

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

// Without a divide instruction an integer division is libgcc's routine
// (__aeabi_idiv and the like), which on a zero divisor jumps (a tail call:
// lr and r11 are still the dividing routine's) to __aeabi_idiv0 or
// __aeabi_ldiv0. libgcc's own raise SIGFPE with raise(), a sent signal that
// the fault filter cannot place; these, linked in its stead, raise run-time
// error 200 at the division's call, in the dividing routine's frame, as a
// divide fault does elsewhere. The C library keeps its own copies.
extern "C" [[noreturn, gnu::used]] void grain_division_by_zero(const char* return_address,
                                                               const void* frame) {
  // The call's last byte, as for any error raised by a call.
  runtime::HANDLEERRORADDRFRAME(200, return_address - 1, frame);
}

extern "C" [[gnu::naked]] void __aeabi_idiv0() {
  asm("mov r0, lr\n\t"
      "mov r1, r11\n\t"
      "b grain_division_by_zero");
}

extern "C" [[gnu::naked]] void __aeabi_ldiv0() {
  asm("mov r0, lr\n\t"
      "mov r1, r11\n\t"
      "b grain_division_by_zero");
}
