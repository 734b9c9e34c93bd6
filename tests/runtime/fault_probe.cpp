// Test-only program: runs one failure scenario under run_program, as the
// plotter runs, so that the exit status and the report on standard output
// can be checked from outside. Usage: fault_probe <mode> [argument].
//
// Lines marked "LINE:<name>" are looked up by the tests to check that the
// report's addresses name them.
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cfloat>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "services/runtime/checks.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "services/runtime/threads.hpp"
#include "services/runtime/units.hpp"

namespace {

using namespace runtime;

std::string_view mode;
long double coordinate = 0;  // parsed before start-up, while faults are masked
int depth = 0;

volatile long double zero = 0.0L, one = 1.0L, big = LDBL_MAX;
volatile long double fp_result;
volatile int int_zero = 0, int_seven = 7, int_result;
int* volatile null_pointer = nullptr;
volatile int never = -1;
volatile std::int16_t sink;

void say(std::string_view text) {
  write_str(STDOUT, text);
  write_line(STDOUT);
}

// The shape of the plotter's coordinate routines: round, then range-check.
[[gnu::noinline]] std::int16_t XKOORD() {
  const std::int32_t v = ROUND(coordinate);  // LINE:round
  INT_BOUNDCHECK(v, -32768, 32767);  // LINE:range-check
  return static_cast<std::int16_t>(v);
}

volatile int last_depth;
[[gnu::noinline]] int nested_xkoord(int n) {
  if (n == 0) return XKOORD();
  const int r = nested_xkoord(n - 1);
  last_depth = n;  // keeps the call from becoming a loop
  return r;
}

[[gnu::noinline]] int overflow_stack(int n) {
  volatile char pad[256];
  pad[0] = static_cast<char>(n);
  if (n == never) return 0;
  return overflow_stack(n + 1) + pad[0];
}

[[gnu::noinline]] void access_violation() {
  *null_pointer = 1;  // LINE:segv
}

[[gnu::noinline]] void float_fault(char op) {
  switch (op) {
    case '/': fp_result = one / zero; break;  // LINE:fdiv
    case '*': fp_result = big * big; break;
    case '?': fp_result = zero / zero; break;
  }
}

[[gnu::noinline]] void single_step() {
  // Sets the trap flag; the trap follows the next instruction.
  __asm__ volatile(
      "sub $128, %%rsp\n\t"
      "pushfq\n\t"
      "orq $0x100, (%%rsp)\n\t"
      "popfq\n\t"
      "nop\n\t"
      "add $128, %%rsp" ::: "memory", "cc");
}

[[gnu::noinline]] void bus_error() {
  // A shared mapping beyond the end of an empty file.
  const int fd = memfd_create("probe", 0);
  auto* p = static_cast<volatile char*>(
      mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
  p[0] = 1;
}

// Instructions only the kernel may run, and an address no process can have.
[[gnu::noinline]] void privileged(char which) {
  switch (which) {
    case 'h': __asm__ volatile("hlt"); break;
    case 'c': __asm__ volatile("cli"); break;
    case 'o': __asm__ volatile("outb %%al, $0x80" ::"a"(0)); break;
  }
}

[[gnu::noinline]] void non_canonical_access() {
  *reinterpret_cast<volatile int*>(0x8000000000000000ull) = 1;
}

[[gnu::noinline]] void raise_runerror() {
  RUNERROR(123);  // LINE:runerror
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

ExitProc displaced;
void exit_halts() { EXITPROC = displaced; HALT(5); }
void exit_faults() { EXITPROC = displaced; access_violation(); }

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

void install_exit(ExitProc p) {
  displaced = EXITPROC;
  EXITPROC = p;
}

void* thread_overflows(void*) {
  prepare_thread();
  overflow_stack(0);
  return nullptr;
}

void run_thread(bool prepare) {
  std::thread([prepare] {
    if (prepare) prepare_thread();
    access_violation();
    last_depth = 0;
  }).join();
}

// The plotter's call shape: the main program calls the coordinate routine.
void xkoord_main() {
  static const Unit units[] = {kSystemUnit};
  INITIALIZEUNITS(units);
  sink = XKOORD();  // LINE:call-xkoord
  last_depth = 0;
}

void main_program() {
  if (mode == "exit-chain") {
    static const Unit units[] = {kSystemUnit,
                                 {"a", init_a, fini_a},
                                 {"b", init_b, fini_b},
                                 {"c", init_c, fini_c},
                                 {"d", init_d, fini_d}};
    INITIALIZEUNITS(units);
    return;
  }
  static const Unit units[] = {kSystemUnit};
  if (mode != "before-units") INITIALIZEUNITS(units);

  if (mode == "before-units") {
    sink = XKOORD();
  } else if (mode == "nested") {
    sink = static_cast<std::int16_t>(nested_xkoord(depth));
  } else if (mode == "stale-inoutres") {
    INOUTRES = 105;
    sink = XKOORD();
  } else if (mode == "halt") {
    HALT(42);
  } else if (mode == "halt-after-error") {
    install_exit(exit_halts);
    sink = XKOORD();
  } else if (mode == "runerror") {
    raise_runerror();
  } else if (mode == "iocheck") {
    READLN_END(OUTPUT);
    INT_IOCHECK();
  } else if (mode == "fdiv") {
    float_fault('/');
  } else if (mode == "fovf") {
    float_fault('*');
  } else if (mode == "finv") {
    float_fault('?');
  } else if (mode == "intdiv") {
    int_result = int_seven / int_zero;
  } else if (mode == "segv") {
    access_violation();
  } else if (mode == "stack") {
    overflow_stack(0);
  } else if (mode == "ill") {
    __builtin_trap();
  } else if (mode == "hlt") {
    privileged('h');
  } else if (mode == "cli") {
    privileged('c');
  } else if (mode == "out") {
    privileged('o');
  } else if (mode == "non-canonical") {
    non_canonical_access();
  } else if (mode == "bus") {
    bus_error();
  } else if (mode == "trap") {
    single_step();
  } else if (mode == "thread-segv") {
    run_thread(true);
  } else if (mode == "thread-unprepared") {
    run_thread(false);
  } else if (mode == "thread-stack") {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t t;
    pthread_create(&t, &attr, thread_overflows, nullptr);
    pthread_join(t, nullptr);
  } else if (mode == "sent-signal") {
    kill(getpid(), SIGSEGV);
  } else if (mode == "frameless") {
    // A fault with no frame to return into.
    __asm__ volatile("xor %%ebp, %%ebp\n\tmovl $1, 0" ::: "memory");
  } else if (mode == "second-fault") {
    install_exit(exit_faults);
    access_violation();
  } else if (mode == "concurrent") {
    install_exit(exit_meets_failing_thread);
    sink = XKOORD();
  }
  last_depth = 0;  // no call above is a tail call: each keeps its frame
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  mode = argv[1];
  if (argc > 2) {
    coordinate = std::strtold(argv[2], nullptr);
    depth = std::atoi(argv[2]);
  }
  if (mode == "nested") coordinate = 40000;
  if (mode == "stale-inoutres" || mode == "halt-after-error" || mode == "concurrent")
    coordinate = 40000;
  run_program(mode == "xkoord" ? xkoord_main : main_program);
}
