// The fault context on 64-bit POWER, little-endian (ELFv2). The stack
// pointer is the frame address (frame_layout.hpp): the back chain starts
// there. Floating-point traps stay disabled: fault_context_untrapped_posix.cpp.
#include <ucontext.h>

#include "services/runtime/faults/fault_context_posix.hpp"

namespace runtime::platform::fault_context {
namespace {

// Indices into gp_regs (the kernel's pt_regs).
constexpr int kR1 = 1, kR12 = 12, kNip = 32, kLink = 36;
constexpr std::uintptr_t kFrameHeader = 32;  // back chain, CR, LR, TOC save words

}  // namespace

Registers read(const ucontext_t* uc, const StackBounds&) {
  const auto* r = uc->uc_mcontext.gp_regs;
  return {r[kNip], r[kR1], r[kR1]};
}

// The ABI's protected zone below the stack pointer.
std::uintptr_t red_zone() { return 288; }

// A frame header whose back chain leads to the faulting routine's frame,
// and the link register, make it look called from the faulting
// instruction; r12 holds the entry address, as at any call through a
// pointer, from which the continuation finds its table of contents.
void redirect(ucontext_t* uc, void (*continuation)(), std::uintptr_t stack_top) {
  auto* r = uc->uc_mcontext.gp_regs;
  const std::uintptr_t sp = (stack_top & ~std::uintptr_t{15}) - kFrameHeader;
  *reinterpret_cast<std::uintptr_t*>(sp) = r[kR1];
  r[kLink] = r[kNip] + 4;
  r[kR1] = sp;
  r[kR12] = reinterpret_cast<std::uintptr_t>(continuation);
  r[kNip] = reinterpret_cast<std::uintptr_t>(continuation);
}

}  // namespace runtime::platform::fault_context
