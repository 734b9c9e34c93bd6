// Test-only preload library (LD_PRELOAD): makes an installed program fail
// with a run-time error in its own code, so that the report it writes can
// be mapped back to source lines with the shipped debug information.
//
// The first clock_gettime that the program's own code calls on its main
// thread, once the program catches SIGTRAP (its fault filter is in place),
// returns with the trap flag set: the processor traps after the return, on
// the program's instruction that follows the call, and the program reports
// run-time error 217 there. Every other call is passed straight on.
#include <dlfcn.h>
#include <signal.h>
#include <sys/auxv.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>

namespace {

using ClockGettime = int (*)(clockid_t, timespec*);

bool fired = false;  // touched on the main thread only

bool from_program(const void* caller) {
  Dl_info at{}, program{};
  return dladdr(caller, &at) != 0 &&
         dladdr(reinterpret_cast<const void*>(getauxval(AT_ENTRY)), &program) != 0 &&
         at.dli_fbase == program.dli_fbase;
}

bool catches_traps() {
  struct sigaction sa {};
  return sigaction(SIGTRAP, nullptr, &sa) == 0 && (sa.sa_flags & SA_SIGINFO) != 0;
}

}  // namespace

// The real call. Bit 32 of the result asks the entry below to set the trap
// flag; the low 32 bits are clock_gettime's own result.
extern "C" [[gnu::visibility("hidden")]] std::uint64_t grain_step_trap_call(clockid_t id,
                                                                           timespec* ts,
                                                                           const void* caller) {
  static const auto real = reinterpret_cast<ClockGettime>(dlsym(RTLD_NEXT, "clock_gettime"));
  const int result = real(id, ts);
  bool trap = false;
  if (!fired && gettid() == getpid() && from_program(caller) && catches_traps()) {
    fired = true;
    trap = true;
  }
  return (std::uint64_t{trap} << 32) | static_cast<std::uint32_t>(result);
}

// The interposed entry, in assembly so that the trap flag is set by the
// last instruction before the return: the trap then falls on the caller's
// next instruction, with the caller's own frame current.
asm(R"(
  .text
  .globl clock_gettime
  .type clock_gettime, @function
clock_gettime:
  push %rbp
  mov %rsp, %rbp
  mov 8(%rbp), %rdx
  call grain_step_trap_call
  pop %rbp
  bt $32, %rax
  jnc 1f
  pushfq
  orq $0x100, (%rsp)
  popfq
1:
  ret
  .size clock_gettime, .-clock_gettime
)");
