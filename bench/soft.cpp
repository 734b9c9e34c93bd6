#include "bench/soft.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/heap_count.hpp"
#include "bench/loop.hpp"
#include "bench/timed_steps.hpp"
#include "plotter/plotter.hpp"
#include "plotter/six_point.hpp"
#include "services/runtime/real/extended.hpp"

namespace bench {
namespace {

// Software loop step over x87 loop step: at most this.
constexpr double SOFT_X87_LOOP_LIMIT = 1.5;

std::uint64_t allocations_in_loops = 0;

using Watch = AllocationWatch<allocations_in_loops>;

#if GRAIN_HAS_X87

#if GRAIN_SOFT_EXTENDED
using Other = runtime::X87Extended;
#else
using Other = runtime::SoftExtended;
#endif
using Figure = plotter::SixPointFigure<Other>;
using Point = plotter::Point<Other>;

#endif

}  // namespace

bool register_other_type_benchmarks() {
#if GRAIN_HAS_X87
  Point::X = Other(0.0);
  Point::Y = Other(0.0);
  benchmark::RegisterBenchmark(OTHER_CHAIN, time_chain<Figure>);
  benchmark::RegisterBenchmark(OTHER_FLOOR, time_floor<Figure, Watch>);
  benchmark::RegisterBenchmark(OTHER_LOOP_STEP, time_loop_step<Figure, Watch>);
  return true;
#else
  return false;
#endif
}

std::uint64_t other_type_allocations() { return allocations_in_loops; }

bool report_types(std::ostream& out, const std::function<Timing(const char*)>& timing,
                  std::vector<std::string>& missed) {
#if GRAIN_HAS_X87
  struct Row {
    const char* what;
    const char* x87;
    const char* soft;
  };
#if GRAIN_SOFT_EXTENDED
  const Row rows[] = {{"chain", OTHER_CHAIN, CHAIN},
                      {"floor", OTHER_FLOOR, FLOOR},
                      {"loop step", OTHER_LOOP_STEP, LOOP_STEP}};
#else
  const Row rows[] = {{"chain", CHAIN, OTHER_CHAIN},
                      {"floor", FLOOR, OTHER_FLOOR},
                      {"loop step", LOOP_STEP, OTHER_LOOP_STEP}};
#endif
  char line[200];
  bool ok = true;
  Timing x87_loop, soft_loop;
  for (const Row& r : rows) {
    const Timing x87 = timing(r.x87), soft = timing(r.soft);
    if (x87.real_ns <= 0 || soft.real_ns <= 0) {
      out << r.what << ", software and x87: not measured  <-- FAILED\n";
      ok = false;
      continue;
    }
    std::snprintf(line, sizeof line,
                  "%s, software type: %.2f ns (CPU %.2f ns); x87: %.2f ns (CPU %.2f ns); "
                  "soft/x87 %.2f (CPU %.2f)\n",
                  r.what, soft.real_ns, soft.cpu_ns, x87.real_ns, x87.cpu_ns,
                  soft.real_ns / x87.real_ns, soft.cpu_ns / x87.cpu_ns);
    out << line;
    x87_loop = x87;
    soft_loop = soft;
  }
  if (!ok) return false;
  const double ratio = soft_loop.real_ns / x87_loop.real_ns;
  std::snprintf(line, sizeof line, "soft/x87 loop target <= %.2f: %s\nsoft/x87 loop ratio: %.2f\n",
                SOFT_X87_LOOP_LIMIT, ratio <= SOFT_X87_LOOP_LIMIT ? "ok" : "MISSED", ratio);
  out << line;
  if (ratio > SOFT_X87_LOOP_LIMIT) missed.emplace_back("soft/x87 loop");
  return true;
#else
  (void)timing;
  (void)missed;
  out << "soft/x87 loop ratio: not measured (no x87 on this processor)\n";
  return true;
#endif
}

}  // namespace bench
