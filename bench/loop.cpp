#include "bench/loop.hpp"

#include <benchmark/benchmark.h>

#include "bench/timed_steps.hpp"
#include "bench/heap_count.hpp"
#include "plotter/plotter.hpp"
#include "plotter/six_point.hpp"
#include "services/console/console.hpp"
#include "services/graphics/graph.hpp"

namespace bench {
namespace {

using plotter::SixPoint;

std::uint64_t allocations_in_loops = 0;
const FigurePixels* figure = nullptr;

using Watch = AllocationWatch<allocations_in_loops>;

void keypressed_idle(benchmark::State& state) {
  Watch watch;
  for (auto _ : state) {
    if (console::KEYPRESSED()) {
      state.SkipWithError("KEYPRESSED saw a key nobody pressed");
      break;
    }
  }
}

// The pixels the loop plots, in its order: after the first pass every one
// of them is white already, as in the running program.
void putpixel_figure(benchmark::State& state) {
  const std::int16_t* xs = figure->x.data();
  const std::int16_t* ys = figure->y.data();
  const std::size_t mask = figure->x.size() - 1;
  std::size_t i = 0;
  Watch watch;
  for (auto _ : state) {
    graphics::PUTPIXEL(xs[i], ys[i], plotter::kWhite);
    i = (i + 1) & mask;
  }
}

// Every call changes its pixel: the window is swept row by row, white and
// black in turn, so every pixel marks its tile for sending.
void putpixel_changing(benchmark::State& state) {
  const std::int16_t max_x = static_cast<std::int16_t>(graphics::GETMAXX());
  const std::int16_t max_y = static_cast<std::int16_t>(graphics::GETMAXY());
  std::int16_t x = 0, y = 0;
  std::uint16_t color = plotter::kWhite;
  Watch watch;
  for (auto _ : state) {
    graphics::PUTPIXEL(x, y, color);
    if (++x > max_x) {
      x = 0;
      if (++y > max_y) {
        y = 0;
        color ^= plotter::kWhite;
      }
    }
  }
}

}  // namespace

void register_loop_benchmarks(const FigurePixels& pixels) {
  figure = &pixels;
  benchmark::RegisterBenchmark(CHAIN, time_chain<SixPoint>);
  benchmark::RegisterBenchmark(FLOOR, time_floor<SixPoint, Watch>);
  benchmark::RegisterBenchmark(KEYPRESSED_IDLE, keypressed_idle);
  benchmark::RegisterBenchmark(PUTPIXEL_FIGURE, putpixel_figure);
  benchmark::RegisterBenchmark(LOOP_STEP, time_loop_step<SixPoint, Watch>);
  benchmark::RegisterBenchmark(PUTPIXEL_CHANGING, putpixel_changing);
}

std::uint64_t loop_allocations() { return allocations_in_loops; }

}  // namespace bench
