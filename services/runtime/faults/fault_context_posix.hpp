#pragma once
// What the POSIX fault filter reads from a fault's saved context and changes
// in it, for the processor the program runs on. One file per processor,
// fault_context_<processor>_posix.cpp, and fault_context_untrapped_posix.cpp
// for what every processor but x86 shares; faults_posix.cpp is the rest.
// Everything here runs in the signal handler: async-signal-safe.
#include <signal.h>

#include <cstdint>

#include "services/runtime/platform_posix.hpp"

namespace runtime::platform::fault_context {

struct Registers {
  std::uintptr_t address = 0;  // the faulting instruction
  std::uintptr_t sp = 0;       // the stack pointer
  // The faulting routine's frame address as __builtin_frame_address(0)
  // gives it there (frame_layout.hpp), or its caller's in a routine that
  // keeps no frame; 0 when none can be found on `stack`.
  std::uintptr_t frame = 0;
};

// The registers at the fault; `stack` is the faulting thread's stack, the
// only memory read. Where the floating-point unit reports its faults late
// (the x87, at its next instruction), the address is that of the
// instruction that failed, which the unit remembers.
Registers read(const ucontext_t* uc, const StackBounds& stack);

// The floating-point exceptions that are raised and not masked, in the x87
// status word's bit order (bit 0 invalid, 1 denormal, 2 zero divide,
// 3 overflow, 4 underflow, 5 precision); 0 where the unit does not trap.
unsigned unmasked_fp_flags(const ucontext_t* uc);

// True when the fault (SIGSEGV from the kernel, the way x86 reports a
// general protection fault) came from an instruction only the kernel may
// run; the other processors raise SIGILL for those.
bool privileged_instruction(const ucontext_t* uc);

// Takes the pending floating-point exceptions out of the state the thread
// gets back (`fpu`), and the trace and other flags that would disturb the
// continuation.
void clear_pending(ucontext_t* uc, bool fpu);

// Bytes below the stack pointer that the faulting routine may still use
// (the ABI's red zone).
std::uintptr_t red_zone();

// Makes the thread resume in `continuation`, on a stack whose top is
// `stack_top`, as if the faulting instruction had called it.
void redirect(ucontext_t* uc, void (*continuation)(), std::uintptr_t stack_top);

}  // namespace runtime::platform::fault_context
