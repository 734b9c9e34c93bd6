// Test-only program: starts like the real programs, then ends in the way
// named by its argument (a failed check, a processor or floating-point
// fault, an exit sequence), so that the exit status and the report on
// standard output can be checked from outside. Usage: fault_probe <mode>
// [argument]. Before the start it writes "case=ADDR main=ADDR" to standard
// error: where the routine that fails and the main program lie.
//
// Lines marked "LINE:<name>" are looked up by the tests to check that the
// report's addresses name them.
#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <thread>
#endif

#include <atomic>
#include <cfloat>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "services/runtime/checks.hpp"
#include "services/runtime/faults/faults.hpp"
#include "services/runtime/real/extended.hpp"
#include "services/runtime/real/fpu.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "services/runtime/units.hpp"

namespace {

using namespace runtime;

// A routine that keeps nothing on the stack gets no frame of its own even
// with frame pointers kept; the report's walk would then skip its caller.
#define FRAME_ANCHOR       \
  volatile int anchor = 0; \
  (void)anchor

// Parsed before start-up, while faults are masked; every value the tests
// pass is an exact double.
Extended coordinate = Extended(0.0);
int depth = 0;

Extended sink;
volatile int int_sink;
volatile std::int16_t coordinate_sink;
volatile int last_depth;

// Keeps a result the compiler would otherwise drop, of either extended type.
void keep(const Extended& v) { __asm__ volatile("" : : "g"(&v) : "memory"); }

// An operand the compiler cannot know in advance.
Extended unknown(std::int32_t v) {
  volatile std::int32_t hidden = v;
  return Extended(static_cast<std::int32_t>(hidden));
}

void say(std::string_view text) {
  write_str(STDOUT, text);
  write_line(STDOUT);
}

// The shape of the plotter's coordinate routines: round, then range-check.
[[gnu::noinline]] void XKOORD() {
  const std::int32_t v = ROUND(coordinate);  // LINE:round
  INT_BOUNDCHECK(v, -32768, 32767);  // LINE:range-check
  coordinate_sink = static_cast<std::int16_t>(v);
}

// `depth` routines deep, then XKOORD.
[[gnu::noinline]] void nested() {
  if (depth-- == 0) XKOORD();
  else nested();
  last_depth = depth;  // keeps the call from becoming a jump
}

[[gnu::noinline]] void float_divide_by_zero() {
  const Extended one = unknown(1), zero = unknown(0);
  sink = one / zero;  // LINE:fdiv
  keep(sink);
}

[[gnu::noinline]] void float_overflow() {
  // The largest finite value, times a large one.
  const Extended big = extended_from_bits<Extended>(0x7FFE, ~std::uint64_t{0}) * unknown(1);
  sink = big * big;
  keep(sink);
}

[[gnu::noinline]] void float_invalid() {
  const Extended zero = unknown(0);
  sink = zero / zero;
  keep(sink);
}

[[gnu::noinline]] void integer_divide_by_zero() {
  volatile int one = 1, zero = 0;
  int_sink = one / zero;  // LINE:idiv
}

[[gnu::noinline]] void access_violation() {
  volatile int* volatile nowhere = nullptr;
  *nowhere = 1;  // LINE:segv
}

[[gnu::noinline]] void illegal_instruction() {
  FRAME_ANCHOR;
#if defined(__i386__) || defined(__x86_64__)
  __asm__ volatile("ud2");
#elif defined(__aarch64__)
  __asm__ volatile("udf #0");
#elif defined(__arm__)
  __asm__ volatile(".inst 0xe7f000f0");  // udf #0
#elif defined(__powerpc64__)
  __asm__ volatile(".long 0");
#elif defined(__s390x__)
  __asm__ volatile(".short 0");
#endif
}

// Instructions only the kernel may run.
[[gnu::noinline]] void privileged_instruction() {
  FRAME_ANCHOR;
#if defined(__i386__) || defined(__x86_64__)
  __asm__ volatile("hlt");
#elif defined(__aarch64__)
  __asm__ volatile("msr daifset, #2");  // masks interrupts
#elif defined(__arm__)
  __asm__ volatile("mrc p15, 0, r0, c1, c0, 0" ::: "r0");  // reads the system control register
#elif defined(__powerpc64__)
  __asm__ volatile("mfmsr 3" ::: "r3");  // reads the machine state register
#elif defined(__s390x__)
  __asm__ volatile("ssm 0(%%r15)" ::: "memory");  // sets the system mask
#endif
}

#if defined(__i386__) || defined(__x86_64__)
[[gnu::noinline]] void single_step() {
  FRAME_ANCHOR;
  // Sets the trap flag; the trap follows the next instruction. The stack
  // pointer steps over the red zone first.
#if defined(__x86_64__)
  __asm__ volatile(
      "sub $128, %%rsp\n\tpushfq\n\torq $0x100, (%%rsp)\n\tpopfq\n\tnop\n\tadd $128, %%rsp" ::
          : "memory", "cc");
#else
  __asm__ volatile("pushfl\n\torl $0x100, (%%esp)\n\tpopfl\n\tnop\n\tnop" ::: "cc", "memory");
#endif
}
#endif

volatile int depth_limit = 1 << 30;  // never reached: the stack runs out first

[[gnu::noinline]] int recurse(int n) {
  volatile char pad[512];
  pad[0] = static_cast<char>(n);
  if (n >= depth_limit) return pad[0];
  return recurse(n + 1) + pad[0];
}

[[gnu::noinline]] void stack_overflow() { int_sink = recurse(0); }

// The frame link is cleared before the fault: the filter leaves it alone.
// (The compiler is not told: the process ends at the fault.)
[[gnu::noinline]] void fault_without_frame() {
#if defined(__i386__) || defined(__x86_64__)
  __asm__ volatile("xorl %%ebp, %%ebp\n\tmovl 0, %%eax" ::: "eax", "memory");
#elif defined(__aarch64__)
  __asm__ volatile("mov x29, xzr\n\tldr w0, [x29]" ::: "x0", "memory");
#elif defined(__arm__)
  __asm__ volatile("mov r11, #0\n\tldr r0, [r11]" ::: "r0", "memory");
#elif defined(__powerpc64__)
  __asm__ volatile("li 1, 0\n\tlwz 3, 0(1)" ::: "r3", "memory");
#elif defined(__s390x__)
  __asm__ volatile("lghi %%r11, 0\n\tlghi %%r15, 0\n\tl %%r0, 0(%%r15)" ::: "r0", "memory");
#endif
}

[[gnu::noinline]] void raise_runerror() {
  RUNERROR(123);  // LINE:runerror
}

[[gnu::noinline]] void read_from_output() {
  READLN_END(OUTPUT);
  INT_IOCHECK();
}

[[gnu::noinline]] void halt() { HALT(42); }

ExitProc displaced;
void install_exit(ExitProc p) {
  displaced = EXITPROC;
  EXITPROC = p;
}

void exit_halts() {
  EXITPROC = displaced;
  HALT(5);
}
void exit_faults() {
  EXITPROC = displaced;
  access_violation();
}

// Exit procedures and units that say what they do.
ExitProc displaced_a, displaced_b;
void exit_a() { say("exit A"); EXITPROC = displaced_a; }
void exit_b() { say("exit B"); EXITPROC = displaced_b; }
void init_a() { say("init A"); displaced_a = EXITPROC; EXITPROC = exit_a; }
void init_b() { say("init B"); displaced_b = EXITPROC; EXITPROC = exit_b; }
void init_c() { say("init C"); HALT(3); }
void init_d() { say("init D"); }
void fini_a() { say("fini A"); }
void fini_b() { say("fini B"); }
void fini_c() { say("fini C"); }
void fini_d() { say("fini D"); }

void exit_chain() {
  static const Unit units[] = {kSystemUnit,
                               {"a", init_a, fini_a},
                               {"b", init_b, fini_b},
                               {"c", init_c, fini_c},
                               {"d", init_d, fini_d}};
  INITIALIZEUNITS(units);
}

#ifdef _WIN32

// Nine values on the eight-register stack.
[[gnu::noinline]] void float_stack_check() {
  FRAME_ANCHOR;
  __asm__ volatile(
      "fld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\tfld1\n\t"
      "fwait\n\tfninit");
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

DWORD WINAPI faulting_thread(void*) {
  access_violation();
  return 0;
}

[[gnu::noinline]] void other_thread() {
  HANDLE t = CreateThread(nullptr, 0, faulting_thread, nullptr, 0, nullptr);
  WaitForSingleObject(t, INFINITE);  // the process ends before this returns
}

void report_control_word() {
  const Extended one = unknown(1), three = unknown(3);
  sink = one / three;  // would fault if a fault were still pending
  keep(sink);
  std::fprintf(stderr, "cw=%04X\n", fpu::control_word());
  std::fflush(stderr);
}

void prepare_control_word_report() { EXITPROC = report_control_word; }

#else

#if defined(__i386__) || defined(__x86_64__)
[[gnu::noinline]] void privileged_interrupt_flag() {
  FRAME_ANCHOR;
  __asm__ volatile("cli");
}

[[gnu::noinline]] void privileged_port_output() {
  FRAME_ANCHOR;
  __asm__ volatile("outb %%al, $0x80" ::"a"(0));
}
#endif

#if defined(__x86_64__)
// An address no process can have.
[[gnu::noinline]] void non_canonical_address() {
  *reinterpret_cast<volatile int*>(0x8000000000000000ull) = 1;
}
#endif

// A shared mapping beyond the end of an empty file.
[[gnu::noinline]] void bus_error() {
  const int fd = memfd_create("probe", 0);
  auto* p = static_cast<volatile char*>(
      mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
  p[0] = 1;
}

void fault_on_thread(bool prepare) {
  std::thread([prepare] {
    if (prepare) prepare_thread();
    access_violation();
    last_depth = 0;
  }).join();
}
[[gnu::noinline]] void other_thread() { fault_on_thread(true); }
[[gnu::noinline]] void unprepared_thread() { fault_on_thread(false); }

void* thread_overflows(void*) {
  prepare_thread();
  stack_overflow();
  return nullptr;
}

[[gnu::noinline]] void thread_stack_overflow() {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  pthread_t t;
  pthread_create(&t, &attr, thread_overflows, nullptr);
  pthread_join(t, nullptr);
}

[[gnu::noinline]] void sent_signal() { kill(getpid(), SIGSEGV); }

void stale_inoutres() { INOUTRES = 105; }

// A thread that fails while the main thread runs the exit sequence; the exit
// procedure waits until that thread has gone to sleep.
std::atomic<pid_t> failing_thread{0};
bool thread_sleeping(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto end_of_name = text.rfind(')');
  return end_of_name != std::string::npos && text.size() > end_of_name + 2 &&
         text[end_of_name + 2] == 'S';
}
void exit_meets_failing_thread() {
  EXITPROC = displaced;
  std::thread([] {
    failing_thread = gettid();
    RUNERROR(99);
  }).detach();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline &&
         (failing_thread == 0 || !thread_sleeping(failing_thread)))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

#endif

struct Mode {
  const char* name;
  void (*fail)();              // called by the main program
  void (*prepare)() = nullptr;  // called just before
  bool units = true;           // the main program initializes the system unit
  double coordinate = 0;        // for XKOORD, instead of the argument
};

const Mode kModes[] = {
    {"xkoord", XKOORD},
    {"before-units", XKOORD, nullptr, false},
    {"nested", nested, nullptr, true, 40000},
    {"runerror", raise_runerror},
    {"iocheck", read_from_output},
    {"halt", halt},
    {"halt-after-error", XKOORD, [] { install_exit(exit_halts); }, true, 40000},
    {"exit-chain", exit_chain, nullptr, false},
    {"float-divide-by-zero", float_divide_by_zero},
    {"float-overflow", float_overflow},
    {"float-invalid", float_invalid},
    {"integer-divide-by-zero", integer_divide_by_zero},
    {"access-violation", access_violation},
    {"illegal-instruction", illegal_instruction},
    {"privileged-instruction", privileged_instruction},
#if defined(__i386__) || defined(__x86_64__)
    {"single-step", single_step},
#endif
    {"stack-overflow", stack_overflow},
    {"other-thread", other_thread},
    {"fault-without-frame", fault_without_frame},
    // A fault while an earlier one is being turned into an error.
    // The first a processor fault: the software extended real raises its
    // errors without one, and a division by zero traps on few processors.
    {"fault-in-exit-procedure", GRAIN_SOFT_EXTENDED ? access_violation : float_divide_by_zero,
     [] { install_exit(exit_faults); }},
#ifdef _WIN32
    {"float-stack-check", float_stack_check},
    {"integer-overflow", integer_overflow},
    {"array-bounds", array_bounds},
    {"fpu-after-fault", float_divide_by_zero, prepare_control_word_report},
#else
#if defined(__i386__) || defined(__x86_64__)
    {"privileged-interrupt-flag", privileged_interrupt_flag},
    {"privileged-port-output", privileged_port_output},
#endif
#if defined(__x86_64__)
    {"non-canonical-address", non_canonical_address},
#endif
    {"bus-error", bus_error},
    {"unprepared-thread", unprepared_thread},
    {"thread-stack-overflow", thread_stack_overflow},
    {"sent-signal", sent_signal},
    {"stale-inoutres", XKOORD, stale_inoutres, true, 40000},
    {"concurrent", XKOORD, [] { install_exit(exit_meets_failing_thread); }, true, 40000},
#endif
};

const Mode* mode = nullptr;

[[gnu::noinline]] void main_program() {
  static const Unit units[] = {kSystemUnit};
  if (mode->units) INITIALIZEUNITS(units);
  if (mode->prepare != nullptr) mode->prepare();
  mode->fail();  // LINE:call-case
  last_depth = 0;  // not a tail call: the main program keeps its frame
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // A fault left to the system ends the process at once, without a dialog.
  SetErrorMode(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS);
#endif
  for (const Mode& m : kModes)
    if (argc >= 2 && std::string_view(argv[1]) == m.name) mode = &m;
  if (mode == nullptr) {
    std::fprintf(stderr, "usage: fault_probe MODE [ARGUMENT]\n");
    return 2;
  }
  if (argc > 2) {
    coordinate = Extended(std::strtod(argv[2], nullptr));
    depth = std::atoi(argv[2]);
  }
  if (mode->coordinate != 0) coordinate = Extended(mode->coordinate);
  const int digits = 2 * static_cast<int>(sizeof(void*));
  std::fprintf(stderr, "case=%0*llX main=%0*llX\n", digits,
               static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(mode->fail)),
               digits,
               static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(&main_program)));
  std::fflush(stderr);
  run_program(main_program);
}
