#pragma once
// The chaos-game plotter shared by both programs; a figure type supplies
// its number type Real, kSize (the start value of MERET) and the data of
// SORSOL, which draws a target and moves the point towards it (TRANSZF):
// kTargets, kDivisor and target(index, M).
#include <cstdint>

#include "plotter/coords.hpp"
#include "plotter/point.hpp"
#include "plotter/sorsol.hpp"
#include "services/console/console.hpp"
#include "services/graphics/graph.hpp"
#include "services/runtime/random.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "services/runtime/units.hpp"

namespace plotter {

inline constexpr std::uint16_t kWhite = 15;  // colour index of every pixel

// Detects the graphics mode and opens it; the outcome is not examined (a
// failure shows at the first plot).
void GRAFIKA();

// The row is worked out before the column, so that when both are out of
// range the failure is reported from YKOORD. Inlined, like plot below, so
// that XKOORD and YKOORD return straight into the main program.
template <class Real = runtime::Extended>
[[gnu::always_inline]] inline void plot_point() {
  const PixelCoord row = YKOORD(Point<Real>::Y);
  const PixelCoord column = XKOORD(Point<Real>::X);
  graphics::PUTPIXEL(column, row, kWhite);
}

// The units the programs use, started in their order.
[[gnu::always_inline]] inline void initialize_units() {
  const runtime::Unit units[] = {runtime::kSystemUnit, console::kConsoleUnit,
                                 graphics::kGraphUnit};
  runtime::INITIALIZEUNITS(units);
}

// The main program up to its plot: the units, the figure's size, the seed,
// the graphics mode.
template <class Figure>
[[gnu::always_inline]] inline void start() {
  initialize_units();
  MERET = Figure::kSize;
  runtime::RANDOMIZE();
  GRAFIKA();
}

// One step of the plot: a target and the point moved towards it, its pixel,
// then the console poll. True when a keystroke is waiting.
template <class Figure>
[[gnu::always_inline]] inline bool step() {
  SORSOL<Figure>();
  plot_point<typename Figure::Real>();
  return console::KEYPRESSED();
}

// From the origin: plots the start point, then steps until a keystroke is
// waiting on the console, which is left buffered for the final line.
template <class Figure>
[[gnu::always_inline]] inline void plot() {
  using Real = typename Figure::Real;
  Point<Real>::X = Real(0.0);
  Point<Real>::Y = Real(0.0);
  plot_point<Real>();
  while (!step<Figure>()) {
  }
}

template <class Figure>
[[gnu::noinline]] void main_program() {
  start<Figure>();
  plot<Figure>();
  // The key that ended the plot starts this line; the line itself is dropped.
  runtime::READLN_END(runtime::INPUT);
  runtime::INT_IOCHECK();
}

// The whole program: start-up, main_program, then the normal end (status 0).
template <class Figure>
[[noreturn]] void run() {
  runtime::run_program(main_program<Figure>);
}

}  // namespace plotter
