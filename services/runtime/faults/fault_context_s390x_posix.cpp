// The fault context on IBM Z (built with -mbackchain). A routine's frame
// address (frame_layout.hpp) is the stack pointer it was called with, which
// its prologue stores at the bottom of its own frame: the back chain word at
// the stack pointer. Floating-point traps stay disabled:
// fault_context_untrapped_posix.cpp.
#include <ucontext.h>

#include "services/runtime/faults/fault_context_posix.hpp"

namespace runtime::platform::fault_context {
namespace {

constexpr int kFramePointer = 11, kReturn = 14, kStackPointer = 15;
constexpr std::uintptr_t kSaveArea = 160;  // the callee's register save area

// The back chain word at `sp`, or 0 when `sp` is not on the stack.
std::uintptr_t back_chain(std::uintptr_t sp, const StackBounds& stack) {
  if (sp % 8 != 0 || !stack.holds(sp, 8)) return 0;
  return *reinterpret_cast<const std::uintptr_t*>(sp);
}

}  // namespace

// A routine that has not stored its back chain yet (its stack overflowed in
// the prologue) still has its caller's stack pointer in r11.
Registers read(const ucontext_t* uc, const StackBounds& stack) {
  const auto& m = uc->uc_mcontext;
  const std::uintptr_t sp = m.gregs[kStackPointer];
  std::uintptr_t frame = back_chain(sp, stack);
  if (frame == 0) frame = back_chain(m.gregs[kFramePointer], stack);
  return {m.psw.addr, sp, frame};
}

std::uintptr_t red_zone() { return 0; }

// r14 and a save area whose back chain leads to the faulting routine's
// frame make it look called from the faulting instruction.
void redirect(ucontext_t* uc, void (*continuation)(), std::uintptr_t stack_top) {
  auto& m = uc->uc_mcontext;
  const std::uintptr_t sp = (stack_top & ~std::uintptr_t{7}) - kSaveArea;
  *reinterpret_cast<std::uintptr_t*>(sp) = m.gregs[kStackPointer];
  m.gregs[kReturn] = m.psw.addr;
  m.gregs[kStackPointer] = sp;
  m.psw.addr = reinterpret_cast<std::uintptr_t>(continuation);
}

}  // namespace runtime::platform::fault_context
