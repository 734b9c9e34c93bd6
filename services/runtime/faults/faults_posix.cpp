// POSIX fault filter: processor and floating-point faults arrive as signals
// (SIGFPE, SIGSEGV, SIGBUS, SIGILL, SIGTRAP) and become run-time errors.
//
// The handler runs on an alternate signal stack. It only records the fault
// and edits the saved context (through the processor's fault context file)
// so that the faulting thread resumes in fault_continuation() as if that had
// been called from the faulting instruction. The continuation, out of signal context, resets the
// floating-point unit where needed and raises the run-time error, so the exit
// sequence runs on the faulting thread like after any failed check.
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "services/runtime/faults/fault_context_posix.hpp"
#include "services/runtime/faults/faults.hpp"
#include "services/runtime/faults/faults_posix.hpp"
#include "services/runtime/frame_layout.hpp"
#include "services/runtime/platform.hpp"
#include "services/runtime/platform_posix.hpp"
#include "services/runtime/real/fpu.hpp"
#include "services/runtime/system.hpp"

namespace runtime {
namespace platform {
namespace {

constexpr int kFaultSignals[] = {SIGFPE, SIGSEGV, SIGBUS, SIGILL, SIGTRAP};

constexpr std::size_t kAltStackSize = 64 * 1024;
constexpr std::size_t kEmergencyStackSize = 1024 * 1024;
// With less stack than this left, the continuation (which runs the whole
// exit sequence) moves to the emergency stack.
constexpr std::uintptr_t kLowStack = 64 * 1024;
// Access faults this far below a stack count as its overflow: the kernel
// keeps a gap of 256 pages below the main thread's stack.
constexpr std::uintptr_t kBelowStackReach = 1024 * 1024;
// Bits of fault_context::unmasked_fp_flags.
constexpr unsigned kFpDenormal = 0x02, kFpUnderflow = 0x10;

struct Fault {
  const void* address;
  const void* frame;
  std::uint16_t error;
  bool reset_fpu;
};

// One fault at a time is turned into a run-time error, and the process ends
// after it, so the flag is never cleared: a further fault gets the default.
std::atomic<bool> handling{false};
Fault pending{};  // written by the handler, read by the continuation

alignas(16) char main_alt_stack[kAltStackSize];
alignas(16) char emergency_stack[kEmergencyStackSize];

struct Mapping {
  std::uint16_t error = 0;
  bool reset_fpu = false;
};

bool map_fault(int sig, const siginfo_t* si, const ucontext_t* uc, Mapping& m) {
  if (si->si_code <= 0) return false;  // sent by a process, not raised by the processor
  switch (sig) {
    case SIGFPE:
      switch (si->si_code) {
        case FPE_INTDIV: m = {200, false}; return true;
        case FPE_INTOVF: m = {215, false}; return true;
        case FPE_FLTDIV: m = {200, true}; return true;
        case FPE_FLTOVF: m = {205, true}; return true;
        case FPE_FLTUND: {
          // The kernel reports a denormal operand as an underflow.
          const unsigned f = fault_context::unmasked_fp_flags(uc);
          m = {std::uint16_t((f & kFpDenormal) && !(f & kFpUnderflow) ? 216 : 206), true};
          return true;
        }
        case FPE_FLTINV:  // the x87 stack check arrives as this too
        case FPE_FLTSUB: m = {207, true}; return true;
        default: return false;  // inexact result and unknown codes
      }
    case SIGSEGV:
      if (si->si_code == SEGV_BNDERR) m = {201, false};
      else if (si->si_code == SI_KERNEL && fault_context::privileged_instruction(uc)) m = {217, false};
      else m = {216, false};  // a page fault, or a general protection fault on an address
      return true;
    case SIGBUS:  // a mapped page that cannot be read in, or misalignment
    case SIGILL: m = {217, false}; return true;
    case SIGTRAP:
      if (si->si_code != TRAP_TRACE) return false;  // breakpoints are a debugger's
      m = {217, false};
      return true;
    default: return false;
  }
}

// Default handling: a processor fault comes back when the instruction runs
// again; a signal that was sent, or a trap, is raised again.
void pass_on(int sig, const siginfo_t* si) {
  if (void (*hook)() = fatal_signal_hook.load()) hook();
  struct sigaction dfl{};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  if (si->si_code <= 0 || sig == SIGTRAP) raise(sig);
}

[[noreturn, gnu::noinline]] void fault_continuation() {
  std::atomic_signal_fence(std::memory_order_acquire);
  const Fault f = pending;
  if (f.reset_fpu) fpu::reset_and_load(FPUCW);
  HANDLEERRORADDRFRAME(f.error, f.address, f.frame);
}

void on_fault(int sig, siginfo_t* si, void* context) {
  auto* uc = static_cast<ucontext_t*>(context);
  Mapping m;
  // Sent with kill or a queue (no fault): ends the process as the signal would.
  if (si->si_code <= 0 && sig != SIGTRAP) return pass_on(sig, si);
  if (!map_fault(sig, si, uc, m)) return pass_on(sig, si);

  // The error is raised in the frame current at the fault, which must be a
  // frame of this thread's stack at or above the stack pointer.
  const StackBounds stack = thread_stack;
  if (!stack.known()) return pass_on(sig, si);
  const fault_context::Registers regs = fault_context::read(uc, stack);
  const std::uintptr_t sp = regs.sp, frame = regs.frame;
  if (frame == 0 || frame % sizeof(void*) != 0 || frame < sp ||
      !stack.holds(frame + frame::kReadOffset, frame::kReadSize))
    return pass_on(sig, si);

  if (sig == SIGSEGV) {
    const auto a = reinterpret_cast<std::uintptr_t>(si->si_addr);
    if (sp < stack.low || (a < stack.low + kLowStack && a + kBelowStackReach >= stack.low))
      m = {202, false};
  }
  if (handling.exchange(true)) return pass_on(sig, si);

  pending = {reinterpret_cast<const void*>(regs.address), reinterpret_cast<const void*>(frame),
             m.error, m.reset_fpu};
  std::atomic_signal_fence(std::memory_order_release);

  // Nothing may fire again before the continuation resets the unit.
  fault_context::clear_pending(uc, m.reset_fpu);

  // The continuation's stack: below the red zone of the faulting routine, or
  // the emergency stack when the thread's own is (nearly) used up.
  const std::uintptr_t top =
      m.error == 202 || sp < stack.low + kLowStack
          ? reinterpret_cast<std::uintptr_t>(emergency_stack + kEmergencyStackSize)
          : sp - fault_context::red_zone();
  fault_context::redirect(uc, &fault_continuation, top);
}

// Gives the calling thread an alternate signal stack unless it has one.
// Returns the memory mapped for it, or null.
void* set_alt_stack(void* memory) {
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return nullptr;
  void* mapped = nullptr;
  if (memory == nullptr) {
    // A guard page below, so that an overrun faults instead of writing on.
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    mapped = mmap(nullptr, kAltStackSize + page, PROT_READ | PROT_WRITE,
                  MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    mprotect(mapped, page, PROT_NONE);
    memory = static_cast<char*>(mapped) + page;
  }
  stack_t ss{};
  ss.ss_sp = memory;
  ss.ss_size = kAltStackSize;
  sigaltstack(&ss, nullptr);
  return mapped;
}

// Releases a thread's alternate stack when the thread ends.
struct ThreadAltStack {
  void* mapped = nullptr;
  ~ThreadAltStack() {
    if (mapped == nullptr) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    munmap(mapped, kAltStackSize + static_cast<std::size_t>(sysconf(_SC_PAGESIZE)));
  }
};
thread_local ThreadAltStack thread_alt_stack;

}  // namespace

std::atomic<void (*)()> fatal_signal_hook{nullptr};

void install_fault_filter() {
  thread_stack = read_thread_stack();
  set_alt_stack(main_alt_stack);

  struct sigaction sa{};
  sa.sa_sigaction = on_fault;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&sa.sa_mask);
  for (int s : kFaultSignals) sigaddset(&sa.sa_mask, s);
  for (int s : kFaultSignals) sigaction(s, &sa, nullptr);
}

void remove_fault_filter() {
  struct sigaction dfl{};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  for (int s : kFaultSignals) sigaction(s, &dfl, nullptr);
}

}  // namespace platform

void prepare_thread() {
  if (!platform::thread_stack.known()) platform::thread_stack = platform::read_thread_stack();
  if (void* mapped = platform::set_alt_stack(nullptr)) platform::thread_alt_stack.mapped = mapped;
}

}  // namespace runtime
