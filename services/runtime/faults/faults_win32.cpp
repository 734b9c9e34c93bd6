// Windows fault filter: the process's top-level exception filter turns the
// processor and floating-point faults of the table below into run-time
// errors, on whichever thread they occur.
//
// The filter does not raise the error itself: it points the faulting
// thread at a continuation (by its saved registers) and lets it resume. The
// continuation then runs on the faulting thread's own stack, as if called
// from the faulting instruction, once the exception dispatch is over.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "services/runtime/faults/faults.hpp"
#include "services/runtime/platform.hpp"
#include "services/runtime/real/fpu.hpp"
#include "services/runtime/system.hpp"

extern "C" {
// Entered with the faulting instruction's address pushed as a return
// address, the error number, the FPU-reset flag and the faulting frame in
// registers (below), and the frame pointer still the faulting frame's.
void fault_trampoline() __asm__("grain_fault_trampoline");
[[noreturn]] void fault_continuation(std::uint32_t error, std::uint32_t reset_fpu,
                                     const void* address, const void* frame)
    __asm__("grain_fault_continuation");
}

// Pushes the faulting address as a return address and a frame link to the
// faulting frame, so the continuation sits on the stack like a routine
// called from the faulting instruction; then calls it with a 16-byte
// aligned stack. The push happens after the thread has resumed: the saved
// context that the dispatcher restores lies just below the faulting stack
// pointer, so the filter must not write there itself.
#if defined(__x86_64__)
// The arguments are already in rcx, rdx, r8 (the faulting address) and r9.
// The unwind information lets a later fault's dispatch walk through the
// trampoline into the faulting routine: the body is described as a routine
// with a frame pointer, entered from the pushed faulting address.
__asm__(R"(
    .text
    .p2align 4
    .globl grain_fault_trampoline
grain_fault_trampoline:
    pushq %r8
    .seh_proc grain_fault_trampoline_body
grain_fault_trampoline_body:
    pushq %rbp
    .seh_pushreg %rbp
    movq %rsp, %rbp
    .seh_setframe %rbp, 0
    .seh_endprologue
    andq $-16, %rsp
    subq $32, %rsp
    call grain_fault_continuation
    ud2
    .seh_endproc
)");
#else
// Entered with the error number in eax, the FPU-reset flag in ecx and the
// faulting instruction's address in edx; the arguments go on the stack.
__asm__(R"(
    .text
    .p2align 4
    .globl grain_fault_trampoline
grain_fault_trampoline:
    pushl %edx
    pushl %ebp
    movl %esp, %ebp
    andl $-16, %esp
    subl $16, %esp
    movl %eax, (%esp)
    movl %ecx, 4(%esp)
    movl %edx, 8(%esp)
    movl (%ebp), %eax
    movl %eax, 12(%esp)
    call grain_fault_continuation
    ud2
)");
#endif

namespace runtime::platform {
namespace {

struct FaultRow {
  DWORD code;
  std::uint16_t error;
  bool reset_fpu;
};

constexpr FaultRow kFaultTable[] = {
    {0x80000004, 217, false},  // single step
    {0xC0000005, 216, false},  // access violation
    {0xC0000006, 217, false},  // in-page error
    {0xC000001D, 217, false},  // illegal instruction
    {0xC000008C, 201, false},  // array bounds exceeded
    {0xC000008D, 216, true},   // floating-point denormal operand
    {0xC000008E, 200, true},   // floating-point division by zero
    {0xC0000090, 207, true},   // floating-point invalid operation
    {0xC0000091, 205, true},   // floating-point overflow
    {0xC0000092, 207, true},   // floating-point stack check
    {0xC0000093, 206, true},   // floating-point underflow
    {0xC0000094, 200, false},  // integer division by zero
    {0xC0000095, 215, false},  // integer overflow
    {0xC0000096, 217, false},  // privileged instruction
    {0xC00000FD, 202, false},  // stack overflow
};

// A fault in the exit sequence (an exit procedure, the report) is turned
// into a run-time error as well and starts the sequence again from where
// it stands; past a few of them the fault is left to the system, so that a
// fault that recurs on every pass cannot keep the process alive.
constexpr int kMaxFaultsTaken = 4;
std::atomic<int> faults_taken{0};

const FaultRow* find_row(DWORD code) {
  for (const FaultRow& row : kFaultTable)
    if (row.code == code) return &row;
  return nullptr;
}

LONG WINAPI fault_filter(EXCEPTION_POINTERS* info) {
  const FaultRow* row = find_row(info->ExceptionRecord->ExceptionCode);
  if (row == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  CONTEXT* ctx = info->ContextRecord;
  if ((ctx->ContextFlags & CONTEXT_CONTROL) != CONTEXT_CONTROL) return EXCEPTION_CONTINUE_SEARCH;
  // The continuation returns into the faulting frame's chain: it needs a
  // frame, and one on the faulting thread's stack (the filter runs on it).
#if defined(__x86_64__)
  const auto frame_register = ctx->Rbp;
#else
  const auto frame_register = ctx->Ebp;
#endif
  const void* frame = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(frame_register));
  if (frame == nullptr || !frame_on_stack(frame)) return EXCEPTION_CONTINUE_SEARCH;
  if (faults_taken.fetch_add(1) >= kMaxFaultsTaken) return EXCEPTION_CONTINUE_SEARCH;

  const auto address = reinterpret_cast<std::uintptr_t>(info->ExceptionRecord->ExceptionAddress);
  const auto trampoline = reinterpret_cast<std::uintptr_t>(&fault_trampoline);
#if defined(__x86_64__)
  if (row->reset_fpu && (ctx->ContextFlags & CONTEXT_FLOATING_POINT) == CONTEXT_FLOATING_POINT)
    ctx->FltSave.StatusWord &= ~0x80FFu;  // no pending fault when the unit is restored
  ctx->Rcx = row->error;
  ctx->Rdx = row->reset_fpu ? 1 : 0;
  ctx->R8 = address;
  ctx->R9 = frame_register;
  ctx->Rip = trampoline;
#else
  if (row->reset_fpu && (ctx->ContextFlags & CONTEXT_FLOATING_POINT) == CONTEXT_FLOATING_POINT)
    ctx->FloatSave.StatusWord &= ~0x80FFu;  // no pending fault when the unit is restored
  ctx->Eax = row->error;
  ctx->Ecx = row->reset_fpu ? 1 : 0;
  ctx->Edx = static_cast<DWORD>(address);
  ctx->Eip = static_cast<DWORD>(trampoline);
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

#if defined(__x86_64__)
// The 64-bit C runtime runs the main program inside a handler of its own
// that resumes the faulting instruction for an x87 stack fault, an integer
// overflow and an array-bounds fault, so these would never reach the
// unhandled-fault filter: the program would fault again forever, or go on
// after a raised one. They are taken first.
void* first_chance_handler = nullptr;

LONG WINAPI first_chance_filter(EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  if (code != EXCEPTION_FLT_STACK_CHECK && code != EXCEPTION_INT_OVERFLOW &&
      code != EXCEPTION_ARRAY_BOUNDS_EXCEEDED)
    return EXCEPTION_CONTINUE_SEARCH;
  return fault_filter(info);
}
#endif

}  // namespace

void install_fault_filter() {
  SetUnhandledExceptionFilter(fault_filter);
#if defined(__x86_64__)
  if (first_chance_handler == nullptr)
    first_chance_handler = AddVectoredExceptionHandler(1, first_chance_filter);
#endif
}

void remove_fault_filter() {
  SetUnhandledExceptionFilter(nullptr);
#if defined(__x86_64__)
  if (first_chance_handler != nullptr) RemoveVectoredExceptionHandler(first_chance_handler);
  first_chance_handler = nullptr;
#endif
}

}  // namespace runtime::platform

extern "C" void fault_continuation(std::uint32_t error, std::uint32_t reset_fpu,
                                   const void* address, const void* frame) {
  if (reset_fpu != 0) runtime::fpu::reset_and_load(runtime::FPUCW);
  runtime::HANDLEERRORADDRFRAME(static_cast<std::uint16_t>(error), address, frame);
}

namespace runtime {

// The unhandled-fault filter serves every thread of the process.
void prepare_thread() {}

}  // namespace runtime
