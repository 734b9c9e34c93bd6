// The plotting loop's benchmark: the dependent add-and-divide chain alone,
// the arithmetic floor, KEYPRESSED with nothing pending, PUTPIXEL into a
// real window and the whole loop step, all in one run on the real services;
// then the checks that go with them (no system call per idle poll, no heap
// allocation in the loop, a key seen by the first poll after it is
// readable), the memory of the real trigrain, and how long quintgrain takes
// to light its figure at the loop step's rate.
//
// Needs an X display (DISPLAY). Makes its own pseudo-terminal. Options of
// its own, besides Google Benchmark's:
//   --grain_program=PATH    the program whose memory is measured
//   --grain_program_time=S  how long it plots before it is measured
//   --grain_poll_probe=N    only start the services and poll N times (for
//                           counting system calls with strace)
//   --grain_fill_steps=N    steps of quintgrain's figure whose pixels stand
//                           for the whole figure (default 200000000)
#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <ext/stdio_filebuf.h>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/fill.hpp"
#include "bench/heap_count.hpp"
#include "bench/loop.hpp"
#include "bench/soft.hpp"
#include "bench/steps.hpp"
#include "bench/syscall_count.hpp"
#include "bench/targets.hpp"
#include "bench/terminal.hpp"
#include "services/console/console.hpp"
#include "services/graphics/graph.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"
#include "tests/support/programs.hpp"

namespace bench {
namespace {

// The memory target (the speed targets, in chains, are in targets.hpp).
constexpr double RSS_LIMIT_MIB = 32;

constexpr unsigned FIGURE_PIXELS = 1u << 16;
constexpr long SYSCALL_PROBE_STEPS = 1000000;
constexpr int KEY_TRIALS = 100;
// Any fixed seed: the figures repeat from run to run.
constexpr std::uint32_t FILL_SEED = 1;

struct Options {
  std::string program = testsupport::program("trigrain");
  double program_seconds = 3;
  long poll_probe = -1;  // -1: the full benchmark
  std::uint64_t fill_steps = 200'000'000;
};

Options options;
OwnTerminal terminal;

struct Median {
  double real_ns = -1;  // the figure
  double cpu_ns = -1;   // the main thread's own time, for comparison on a busy machine
};

// Median time per iteration of each benchmark over its repetitions; the
// single run when there are none.
class Collector : public benchmark::ConsoleReporter {
 public:
  using ConsoleReporter::ConsoleReporter;
  std::map<std::string, Median> median;
  std::vector<std::string> failed;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const std::string& name = r.run_name.function_name;
      if (r.error_occurred)
        failed.push_back(name + ": " + r.error_message);
      else if ((r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") ||
               (r.run_type == Run::RT_Iteration && r.repetitions <= 1))
        median[name] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

bool parse_option(std::string_view arg) {
  const auto value = [&](std::string_view name) -> const char* {
    return arg.substr(0, name.size()) == name ? arg.data() + name.size() : nullptr;
  };
  if (const char* v = value("--grain_program=")) options.program = v;
  else if (const char* t = value("--grain_program_time=")) options.program_seconds = std::atof(t);
  else if (const char* n = value("--grain_poll_probe=")) options.poll_probe = std::atol(n);
  else if (const char* f = value("--grain_fill_steps=")) options.fill_steps = std::strtoull(f, nullptr, 10);
  else return false;
  return true;
}

// The plotter's start-up (steps.hpp); the run ends there when no window
// opens.
void start_or_halt(std::ostream& out) {
  if (start_services()) return;
  out << "no window: INITGRAPH gave " << graphics::_GRAPHRESULT << " (is DISPLAY set?)\n";
  out.flush();
  runtime::HALT(1);
}

// A key written to the terminal must be seen by the first poll made once
// the terminal reports it readable. The key is then taken, as READKEY would.
int keys_seen_at_once(int trials) {
  int seen = 0;
  for (int i = 0; i < trials; ++i) {
    const char key = static_cast<char>('a' + i % 26);
    if (write(terminal.master, &key, 1) != 1) break;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    int ready;
    while ((ready = poll(&p, 1, 5000)) < 0 && errno == EINTR) {
    }
    if (ready != 1) break;
    if (console::KEYPRESSED() && console::SCANCODE == static_cast<std::uint8_t>(key)) ++seen;
    while (console::KEYPRESSED()) {  // a late one is taken too
      console::SCANCODE = 0;
      console::SPECIALKEY = false;
    }
  }
  return seen;
}

// The targets missed, by name; the run fails when there is one.
std::vector<std::string> missed;

const char* verdict(bool ok, const char* target) {
  if (!ok) missed.emplace_back(target);
  return ok ? "ok" : "MISSED";
}

void main_program() {
  __gnu_cxx::stdio_filebuf<char> report_buf(terminal.report_fd, std::ios::out);
  std::ostream out(&report_buf);
  bool failed = false;

  if (options.poll_probe >= 0) {
    start_or_halt(out);
    // The console starts out looking at the terminal once: that read is
    // start-up's, not a poll's.
    console::KEYPRESSED();
    for (long i = 0; i < options.poll_probe; ++i)
      if (console::KEYPRESSED()) {
        out << "KEYPRESSED saw a key nobody pressed\n";
        out.flush();
        runtime::HALT(1);
      }
    out.flush();
    return;
  }

  // The real program first, while nothing else plots.
  const ProgramMemory memory = measure_program(
      options.program, std::chrono::milliseconds(static_cast<long>(options.program_seconds * 1000)));

  start_or_halt(out);
  const FigurePixels pixels = figure_pixels(FIGURE_PIXELS);

  // The counters count: one allocation, ten system calls.
  const std::uint64_t heap_before = heap_allocations();
  int* probe = new int(1);
  benchmark::DoNotOptimize(probe);
  delete probe;
  if (heap_allocations() - heap_before != 1) {
    out << "the allocation counter does not count  <-- FAILED\n";
    failed = true;
  }
  SyscallCounter syscalls;
  if (syscalls.available()) {
    const std::uint64_t before = syscalls.now();
    for (int i = 0; i < 10; ++i) benchmark::DoNotOptimize(getppid());
    if (syscalls.now() - before != 10) {
      out << "the system call counter does not count  <-- FAILED\n";
      failed = true;
    }
  }

  // System calls made by the main thread's idle polls and loop steps.
  std::uint64_t poll_calls = 0, step_calls = 0;
  // The console starts out looking at the terminal once: that read is
  // start-up's, not a poll's.
  bool phantom_key = console::KEYPRESSED();
  if (syscalls.available()) {
    std::uint64_t before = syscalls.now();
    for (long i = 0; i < SYSCALL_PROBE_STEPS; ++i) phantom_key |= console::KEYPRESSED();
    poll_calls = syscalls.now() - before;
    before = syscalls.now();
    for (long i = 0; i < SYSCALL_PROBE_STEPS; ++i) phantom_key |= loop_step();
    step_calls = syscalls.now() - before;
  }
  if (phantom_key) {
    out << "KEYPRESSED saw a key nobody pressed  <-- FAILED\n";
    failed = true;
  }

  register_loop_benchmarks(pixels);
  register_other_type_benchmarks();
  Collector reporter(isatty(terminal.report_fd) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                : benchmark::ConsoleReporter::OO_Tabular);
  reporter.SetOutputStream(&out);
  reporter.SetErrorStream(&out);
  benchmark::RunSpecifiedBenchmarks(&reporter);

  const int seen = keys_seen_at_once(KEY_TRIALS);
  const FillSteps fill = quintgrain_fill(options.fill_steps, FILL_SEED);

  char line[240];
  const auto figure = [&](const char* name) {
    const auto it = reporter.median.find(name);
    return it == reporter.median.end() ? Median{} : it->second;
  };
  const Median chain = figure(CHAIN);
  // Each figure against the chain, with its target where it has one.
  const auto report = [&](const char* what, const char* name, double limit) {
    const Median m = figure(name);
    if (m.real_ns < 0 || chain.real_ns <= 0) {
      out << what << ": not measured  <-- FAILED\n";
      failed = true;
      return;
    }
    const double ratio = m.real_ns / chain.real_ns;
    int n = std::snprintf(line, sizeof line, "%s: %.2f ns (CPU %.2f ns) = %.2f x chain", what,
                          m.real_ns, m.cpu_ns, ratio);
    if (limit > 0)
      std::snprintf(line + n, sizeof line - n, " (target <= %.2f: %s)", limit,
                    verdict(ratio <= limit, name));
    out << line << "\n";
  };

  out << "\nfigures: medians of the repetitions, real time per call\n";
  if (chain.real_ns > 0) {
    std::snprintf(line, sizeof line, "chain (X := (XX + X) / 6, in a register): %.2f ns (CPU %.2f ns)\n",
                  chain.real_ns, chain.cpu_ns);
    out << line;
  }
  report("floor (SORSOL + YKOORD + XKOORD)", FLOOR, FLOOR_LIMIT);
  report("KEYPRESSED, nothing pending", KEYPRESSED_IDLE, KEYPRESSED_LIMIT);
  report("PUTPIXEL, the figure's pixels", PUTPIXEL_FIGURE, PUTPIXEL_LIMIT);
  report("PUTPIXEL, every call a changed pixel", PUTPIXEL_CHANGING, 0);
  report("loop step (SORSOL, YKOORD, XKOORD, PUTPIXEL, KEYPRESSED)", LOOP_STEP, LOOP_LIMIT);

  if (syscalls.available()) {
    out << "system calls on the main thread: " << poll_calls << " in " << SYSCALL_PROBE_STEPS
        << " idle KEYPRESSED polls, " << step_calls << " in " << SYSCALL_PROBE_STEPS
        << " loop steps\n";
    // Waking the window thread after it fell idle is the only call a
    // step may make, at most once per flush period.
    if (poll_calls != 0 || step_calls * 1000 > SYSCALL_PROBE_STEPS) {
      out << "  <-- FAILED: system calls in the loop\n";
      failed = true;
    }
  } else {
    out << "system calls on the main thread: not counted here (" << syscalls.why_not() << ")\n";
  }

  const std::uint64_t allocations = loop_allocations() + other_type_allocations();
  out << "heap allocations in the measured loops: " << allocations
      << (allocations == 0 ? "" : "  <-- FAILED: the loop must not allocate") << "\n";
  if (allocations != 0) failed = true;

  out << "keys seen by the first poll after they were readable: " << seen << " of " << KEY_TRIALS
      << (seen == KEY_TRIALS ? "" : "  <-- FAILED") << "\n";
  if (seen != KEY_TRIALS) failed = true;

  if (memory.ok) {
    const double rss = memory.rss_kib / 1024.0, hwm = memory.hwm_kib / 1024.0;
    std::snprintf(line, sizeof line,
                  "%s, window %d x %d, after %.1f s (%.1f s CPU): VmRSS %.1f MiB, VmHWM %.1f "
                  "MiB (target < %.0f MiB: %s)\n",
                  options.program.substr(options.program.rfind('/') + 1).c_str(),
                  graphics::GETMAXX() + 1, graphics::GETMAXY() + 1, options.program_seconds,
                  memory.cpu_seconds, rss, hwm, RSS_LIMIT_MIB, verdict(hwm < RSS_LIMIT_MIB, "memory"));
    out << line;
  } else {
    out << "memory of " << options.program << ": not measured: " << memory.error
        << "  <-- FAILED\n";
    failed = true;
  }
  for (const std::string& f : reporter.failed) {
    out << "benchmark failed: " << f << "\n";
    failed = true;
  }

  const Median loop = figure(LOOP_STEP);
  if (loop.real_ns > 0) {
    const double rate = 1e9 / loop.real_ns;
    std::snprintf(line, sizeof line, "steps per second: %.3g (CPU alone: %.3g)\n", rate,
                  loop.cpu_ns > 0 ? 1e9 / loop.cpu_ns : 0.0);
    out << line;
    const auto seconds = [&](std::uint64_t steps) { return static_cast<double>(steps) / rate; };
    std::snprintf(line, sizeof line,
                  "quintgrain at that rate (seed %u: %llu pixels lit in %llu steps): 99%% after "
                  "%llu steps, %.2f s; 99.9%% after %llu, %.2f s; all after %llu, %.2f s\n",
                  fill.seed, static_cast<unsigned long long>(fill.pixels),
                  static_cast<unsigned long long>(fill.budget),
                  static_cast<unsigned long long>(fill.p99), seconds(fill.p99),
                  static_cast<unsigned long long>(fill.p999), seconds(fill.p999),
                  static_cast<unsigned long long>(fill.all), seconds(fill.all));
    out << line;
  }
  const auto timing = [&](const char* name) {
    const Median m = figure(name);
    return Timing{m.real_ns, m.cpu_ns};
  };
  if (!report_types(out, timing, missed)) failed = true;
  if (missed.empty()) {
    out << "targets: all met\n";
  } else {
    out << "targets MISSED:";
    for (const std::string& m : missed) out << " " << m;
    out << "  <-- FAILED\n";
    failed = true;
  }
  // The ratios last, the loop's against the chain the very last line. They
  // are of real time; those of the main thread's CPU time are given too,
  // for a machine busy with other work.
  const Median floor = figure(FLOOR);
  if (chain.real_ns <= 0 || floor.real_ns <= 0 || loop.real_ns <= 0) {
    out << "chain, floor or loop step not measured  <-- FAILED\n";
    failed = true;
  } else {
    const double floor_chain = floor.real_ns / chain.real_ns;
    const double loop_chain = loop.real_ns / chain.real_ns;
    std::snprintf(line, sizeof line, "in CPU time: floor %.2f, loop step %.2f x chain\n",
                  floor.cpu_ns / chain.cpu_ns, loop.cpu_ns / chain.cpu_ns);
    out << line;
    std::snprintf(line, sizeof line,
                  "floor/chain ratio: %.2f\nloop/floor ratio: %.2f\nloop/chain ratio: %.2f\n",
                  floor_chain, loop.real_ns / floor.real_ns, loop_chain);
    out << line;
  }
  out.flush();
  if (failed) runtime::HALT(1);
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  // Defaults of this benchmark, before the command line's own. The
  // repetitions of all benchmarks are interleaved, so that a change in the
  // machine's load falls on all of them alike.
  std::vector<char*> args{argv[0], const_cast<char*>("--benchmark_repetitions=9"),
                          const_cast<char*>("--benchmark_report_aggregates_only=true"),
                          const_cast<char*>("--benchmark_enable_random_interleaving=true")};
  for (int i = 1; i < argc; ++i)
    if (!bench::parse_option(argv[i])) args.push_back(argv[i]);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

  std::string error;
  if (!bench::take_own_terminal(bench::terminal, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  // From here on the process ends through the exit sequence, as the
  // programs do: the terminal is given back, the status is HALT's or 0.
  runtime::run_program(bench::main_program);
}
