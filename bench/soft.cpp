#include "bench/soft.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/heap_count.hpp"
#include "bench/loop.hpp"
#include "plotter/plotter.hpp"
#include "plotter/six_point.hpp"
#include "services/runtime/types.hpp"

namespace bench {
namespace {

// Software loop step over x87 loop step: at most this.
constexpr double SOFT_X87_LOOP_LIMIT = 1.5;

std::uint64_t allocations_in_loops = 0;

class AllocationWatch {
 public:
  AllocationWatch() : before_(heap_allocations()) {}
  ~AllocationWatch() { allocations_in_loops += heap_allocations() - before_; }

 private:
  std::uint64_t before_;
};

#if GRAIN_HAS_X87

#if GRAIN_SOFT_EXTENDED
using Other = runtime::X87Extended;
#else
using Other = runtime::SoftExtended;
#endif
using Figure = plotter::SixPointFigure<Other>;
using Point = plotter::Point<Other>;

// As loop.cpp's chain: X := (XX + X) / 6, the targets in a fixed order.
void chain_step(benchmark::State& state) {
  const Other M(static_cast<std::int32_t>(Figure::kSize)), two(2.0), zero(0.0);
  const Other targets[Figure::kTargets] = {zero, -M, M, zero, (-M) / two, M / two};
  Other x(0.0);
  std::int32_t i = 0;
  for (auto _ : state) {
    x = (targets[i] + x) / Figure::kDivisor;
    i = i == Figure::kTargets - 1 ? 0 : i + 1;
  }
  benchmark::DoNotOptimize(x);
}

void floor_step(benchmark::State& state) {
  AllocationWatch watch;
  for (auto _ : state) {
    plotter::SORSOL<Figure>();
    const runtime::PixelCoord row = plotter::YKOORD(Point::Y);
    const runtime::PixelCoord column = plotter::XKOORD(Point::X);
    benchmark::DoNotOptimize(row);
    benchmark::DoNotOptimize(column);
  }
}

// The plotter's own step on this type: into the open window, then the poll.
void loop_step(benchmark::State& state) {
  AllocationWatch watch;
  for (auto _ : state) {
    if (plotter::step<Figure>()) {
      state.SkipWithError("KEYPRESSED saw a key nobody pressed");
      break;
    }
  }
}

#endif

}  // namespace

bool register_other_type_benchmarks() {
#if GRAIN_HAS_X87
  Point::X = Other(0.0);
  Point::Y = Other(0.0);
  benchmark::RegisterBenchmark(OTHER_CHAIN, chain_step);
  benchmark::RegisterBenchmark(OTHER_FLOOR, floor_step);
  benchmark::RegisterBenchmark(OTHER_LOOP_STEP, loop_step);
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
