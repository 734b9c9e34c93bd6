// The fault context on 32-bit x86. The floating-point state is the x87's
// (the kernel's legacy save format, which it also restores from).
#include <ucontext.h>

#include "services/runtime/faults/fault_context_posix.hpp"
#include "services/runtime/faults/privileged_x86.hpp"

namespace runtime::platform::fault_context {
namespace {

constexpr int kMaxInstruction = 15;  // bytes
constexpr int kTrapX87 = 16;         // #MF
constexpr greg_t kFlagTrap = 0x100, kFlagDirection = 0x400, kFlagAlignCheck = 0x40000;

}  // namespace

Registers read(const ucontext_t* uc, const StackBounds&) {
  const greg_t* regs = uc->uc_mcontext.gregs;
  Registers r{static_cast<std::uint32_t>(regs[REG_EIP]), static_cast<std::uint32_t>(regs[REG_ESP]),
              static_cast<std::uint32_t>(regs[REG_EBP])};
  // An x87 fault is noticed by the next x87 instruction; the unit itself
  // remembers the one that failed.
  const _libc_fpstate* fp = uc->uc_mcontext.fpregs;
  if (regs[REG_TRAPNO] == kTrapX87 && fp != nullptr && fp->ipoff != 0) r.address = fp->ipoff;
  return r;
}

// SSE arithmetic is not used (x87 throughout), and its faults stay masked.
unsigned unmasked_fp_flags(const ucontext_t* uc) {
  const _libc_fpstate* fp = uc->uc_mcontext.fpregs;
  if (fp == nullptr) return 0;
  return static_cast<unsigned>(fp->sw & ~fp->cw & 0x3f);
}

bool privileged_instruction(const ucontext_t* uc) {
  const auto eip = static_cast<std::uint32_t>(uc->uc_mcontext.gregs[REG_EIP]);
  // It was fetched, so it can be read, unless it lies at the very top.
  if (eip == 0 || eip > 0xFFFFFFFFu - kMaxInstruction) return false;
  return privileged_x86(reinterpret_cast<const std::uint8_t*>(eip), false);
}

void clear_pending(ucontext_t* uc, bool fpu) {
  _libc_fpstate* fp = uc->uc_mcontext.fpregs;
  if (fpu && fp != nullptr) fp->sw &= 0x7f00;
  uc->uc_mcontext.gregs[REG_EFL] &= ~(kFlagTrap | kFlagDirection | kFlagAlignCheck);
}

std::uintptr_t red_zone() { return 0; }

// The return address on the new stack makes it look called from the
// faulting instruction; the stack is aligned as at a call.
void redirect(ucontext_t* uc, void (*continuation)(), std::uintptr_t stack_top) {
  greg_t* regs = uc->uc_mcontext.gregs;
  const std::uintptr_t sp = (stack_top & ~std::uintptr_t{15}) - sizeof(void*);
  *reinterpret_cast<greg_t*>(sp) = regs[REG_EIP];
  regs[REG_ESP] = static_cast<greg_t>(sp);
  regs[REG_EIP] = static_cast<greg_t>(reinterpret_cast<std::uintptr_t>(continuation));
}

}  // namespace runtime::platform::fault_context
