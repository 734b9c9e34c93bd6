// Test-only program: starts like the real programs, then ends in the way
// named by its argument (a processor or floating-point fault, a failed
// check). Before that it writes "case=ADDR main=ADDR" to standard error:
// where the routine that fails and the main program lie.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "services/runtime/checks.hpp"
#include "services/runtime/fpu.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "services/runtime/types.hpp"
#include "services/runtime/units.hpp"

namespace {

using runtime::Extended;

// A routine that keeps nothing on the stack gets no frame of its own even
// with frame pointers kept; the report's walk would then skip its caller.
#define FRAME_ANCHOR    \
  volatile int anchor = 0; \
  (void)anchor

volatile Extended sink;
volatile int int_sink;

[[gnu::noinline]] void float_divide_by_zero() {
  volatile Extended one = 1, zero = 0;
  sink = one / zero;
}

[[gnu::noinline]] void float_overflow() {
  volatile Extended big = 1e4000L;
  sink = big * big;
}

[[gnu::noinline]] void float_invalid() {
  volatile Extended zero = 0;
  sink = zero / zero;
}

// Nine values on the eight-register stack.
[[gnu::noinline]] void float_stack_check() {
  FRAME_ANCHOR;
  __asm__ volatile(
      "fld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\t"
      "fwait\n\tfninit");
}

[[gnu::noinline]] void integer_divide_by_zero() {
  volatile int one = 1, zero = 0;
  int_sink = one / zero;
}

// `into` and `bound` do not exist in 64-bit code: there the two faults can
// only be raised as exceptions, which come from inside the system's
// RaiseException.
[[gnu::noinline]] void integer_overflow() {
  FRAME_ANCHOR;
#if defined(__x86_64__)
  RaiseException(EXCEPTION_INT_OVERFLOW, 0, 0, nullptr);
#else
  __asm__ volatile("movl $0x7fffffff, %%eax\n\taddl $1, %%eax\n\tinto" ::: "eax", "cc");
#endif
}

[[gnu::noinline]] void access_violation() {
  volatile int* volatile nowhere = nullptr;
  *nowhere = 1;
}

[[gnu::noinline]] void illegal_instruction() {
  FRAME_ANCHOR;
  __asm__ volatile("ud2");
}

[[gnu::noinline]] void privileged_instruction() {
  FRAME_ANCHOR;
  __asm__ volatile("hlt");
}

[[gnu::noinline]] void array_bounds() {
  static const int bounds[2] = {0, 9};
  FRAME_ANCHOR;
#if defined(__x86_64__)
  (void)bounds;
  RaiseException(EXCEPTION_ARRAY_BOUNDS_EXCEEDED, 0, 0, nullptr);
#else
  __asm__ volatile("movl $10, %%eax\n\tboundl %%eax, %0" : : "m"(bounds) : "eax");
#endif
}

[[gnu::noinline]] void single_step() {
  FRAME_ANCHOR;
#if defined(__x86_64__)
  __asm__ volatile("pushfq\n\torl $0x100, (%%rsp)\n\tpopfq\n\tnop\n\tnop" ::: "cc", "memory");
#else
  __asm__ volatile("pushfl\n\torl $0x100, (%%esp)\n\tpopfl\n\tnop\n\tnop" ::: "cc", "memory");
#endif
}

volatile int depth_limit = 1 << 30;  // never reached: the stack runs out first

[[gnu::noinline]] int recurse(int depth) {
  volatile char pad[512];
  pad[0] = static_cast<char>(depth);
  if (depth >= depth_limit) return pad[0];
  return recurse(depth + 1) + pad[0];
}

[[gnu::noinline]] void stack_overflow() { int_sink = recurse(0); }

[[gnu::noinline]] void round_nan() {
  volatile Extended zero = 0;
  runtime::fpu::reset_and_load(0x133F);  // all faults masked: make a NaN quietly
  Extended nan = zero / zero;
  runtime::fpu::reset_and_load(runtime::FPUCW);
  int_sink = runtime::ROUND(nan);
}

[[gnu::noinline]] void range_check() {
  volatile int v = 32768;
  runtime::INT_BOUNDCHECK(v, -32768, 32767);
}

// The frame link is cleared before the fault: the filter leaves it alone.
[[gnu::noinline]] void fault_without_frame() {
  __asm__ volatile("xorl %ebp, %ebp\n\tmovl 0, %eax");
}

DWORD WINAPI faulting_thread(void*) {
  access_violation();
  return 0;
}

[[gnu::noinline]] void fault_on_other_thread() {
  HANDLE t = CreateThread(nullptr, 0, faulting_thread, nullptr, 0, nullptr);
  WaitForSingleObject(t, INFINITE);  // the process ends before this returns
}

void report_control_word() {
  volatile Extended one = 1, three = 3;
  sink = one / three;  // would fault if a fault were still pending
  std::fprintf(stderr, "cw=%04X\n", runtime::fpu::control_word());
  std::fflush(stderr);
}

[[gnu::noinline]] void divide_then_report_control_word() {
  runtime::EXITPROC = report_control_word;
  float_divide_by_zero();
}

void fault_in_exit_procedure() { access_violation(); }

[[gnu::noinline]] void fault_then_fault_again() {
  runtime::EXITPROC = fault_in_exit_procedure;
  float_divide_by_zero();
}

struct Case {
  const char* name;
  void (*run)();
};

constexpr Case CASES[] = {
    {"float-divide-by-zero", float_divide_by_zero},
    {"float-overflow", float_overflow},
    {"float-invalid", float_invalid},
    {"float-stack-check", float_stack_check},
    {"integer-divide-by-zero", integer_divide_by_zero},
    {"integer-overflow", integer_overflow},
    {"access-violation", access_violation},
    {"illegal-instruction", illegal_instruction},
    {"privileged-instruction", privileged_instruction},
    {"array-bounds", array_bounds},
    {"single-step", single_step},
    {"stack-overflow", stack_overflow},
    {"round-nan", round_nan},
    {"range-check", range_check},
    {"fault-without-frame", fault_without_frame},
    {"other-thread", fault_on_other_thread},
    {"fpu-after-fault", divide_then_report_control_word},
    {"fault-in-exit-procedure", fault_then_fault_again},
};

void (*selected)() = nullptr;

[[gnu::noinline]] void main_program() {
  const runtime::Unit units[] = {runtime::kSystemUnit};
  runtime::INITIALIZEUNITS(units);
  selected();
}

}  // namespace

int main(int argc, char** argv) {
  // A fault left to the system ends the process at once, without a dialog.
  SetErrorMode(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS);
  for (const Case& c : CASES)
    if (argc == 2 && std::strcmp(argv[1], c.name) == 0) selected = c.run;
  if (selected == nullptr) {
    std::fprintf(stderr, "usage: wine_fault_probe CASE\n");
    return 2;
  }
  const int digits = 2 * static_cast<int>(sizeof(void*));
  std::fprintf(stderr, "case=%0*llX main=%0*llX\n", digits,
               static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(selected)), digits,
               static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(&main_program)));
  std::fflush(stderr);
  runtime::run_program(main_program);
}
