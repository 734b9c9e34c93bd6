#pragma once
// The chain, the floor and the loop step as timed loops over any figure
// (and so either number type): the x87's and the software type's figures
// are measured by the same code. Watch is the caller's allocation counter,
// alive for the measured loop.
#include <benchmark/benchmark.h>

#include "bench/chain.hpp"
#include "plotter/plotter.hpp"

namespace bench {

// The chain (bench/chain.hpp) on the figure's number type.
template <class Figure>
void time_chain(benchmark::State& state) {
  ChainOf<Figure> chain;
  for (auto _ : state) chain.step();
  const typename Figure::Real x = chain.x;
  benchmark::DoNotOptimize(x);
}

// The arithmetic alone: the draw, the contraction, both coordinates.
template <class Figure, class Watch>
void time_floor(benchmark::State& state) {
  using Point = plotter::Point<typename Figure::Real>;
  Watch watch;
  for (auto _ : state) {
    plotter::SORSOL<Figure>();
    const plotter::PixelCoord row = plotter::YKOORD(Point::Y);
    const plotter::PixelCoord column = plotter::XKOORD(Point::X);
    benchmark::DoNotOptimize(row);
    benchmark::DoNotOptimize(column);
  }
}

// The plotter's own step: into the open window, then the poll.
template <class Figure, class Watch>
void time_loop_step(benchmark::State& state) {
  Watch watch;
  for (auto _ : state) {
    if (plotter::step<Figure>()) {
      state.SkipWithError("KEYPRESSED saw a key nobody pressed");
      break;
    }
  }
}

}  // namespace bench
