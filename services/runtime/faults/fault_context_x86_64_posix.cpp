// The fault context on 64-bit x86.
#include <ucontext.h>

#include "services/runtime/faults/fault_context_posix.hpp"
#include "services/runtime/faults/privileged_x86.hpp"

namespace runtime::platform::fault_context {
namespace {

constexpr std::uintptr_t kUserSpaceEnd = 0x00007FFFFFFFF000;
constexpr int kMaxInstruction = 15;  // bytes
constexpr int kTrapX87 = 16;         // #MF
constexpr int kTrapSimd = 19;        // #XM
constexpr greg_t kFlagTrap = 0x100, kFlagDirection = 0x400, kFlagAlignCheck = 0x40000;

}  // namespace

Registers read(const ucontext_t* uc, const StackBounds&) {
  const greg_t* regs = uc->uc_mcontext.gregs;
  Registers r{static_cast<std::uintptr_t>(regs[REG_RIP]), static_cast<std::uintptr_t>(regs[REG_RSP]),
              static_cast<std::uintptr_t>(regs[REG_RBP])};
  // An x87 fault is noticed by the next x87 instruction; the unit itself
  // remembers the one that failed.
  const _libc_fpstate* fp = uc->uc_mcontext.fpregs;
  if (regs[REG_TRAPNO] == kTrapX87 && fp != nullptr && fp->rip != 0) r.address = fp->rip;
  return r;
}

unsigned unmasked_fp_flags(const ucontext_t* uc) {
  const _libc_fpstate* fp = uc->uc_mcontext.fpregs;
  if (fp == nullptr) return 0;
  if (uc->uc_mcontext.gregs[REG_TRAPNO] == kTrapSimd) return fp->mxcsr & ~(fp->mxcsr >> 7) & 0x3f;
  return fp->swd & ~fp->cwd & 0x3fu;
}

bool privileged_instruction(const ucontext_t* uc) {
  const auto rip = static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
  // It was fetched, so it can be read, unless it lies outside user space.
  if (rip == 0 || rip > kUserSpaceEnd - kMaxInstruction) return false;
  return privileged_x86(reinterpret_cast<const std::uint8_t*>(rip), true);
}

void clear_pending(ucontext_t* uc, bool fpu) {
  _libc_fpstate* fp = uc->uc_mcontext.fpregs;
  if (fpu && fp != nullptr) {
    fp->swd &= 0x7f00;
    fp->mxcsr &= ~0x3fu;
  }
  uc->uc_mcontext.gregs[REG_EFL] &= ~(kFlagTrap | kFlagDirection | kFlagAlignCheck);
}

std::uintptr_t red_zone() { return 128; }

// The return address on the new stack makes it look called from the
// faulting instruction; the stack is aligned as at a call.
void redirect(ucontext_t* uc, void (*continuation)(), std::uintptr_t stack_top) {
  greg_t* regs = uc->uc_mcontext.gregs;
  const std::uintptr_t sp = (stack_top & ~std::uintptr_t{15}) - sizeof(void*);
  *reinterpret_cast<greg_t*>(sp) = regs[REG_RIP];
  regs[REG_RSP] = static_cast<greg_t>(sp);
  regs[REG_RIP] = reinterpret_cast<greg_t>(continuation);
}

}  // namespace runtime::platform::fault_context
