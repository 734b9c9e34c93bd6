// The plotting loop's pieces timed without Google Benchmark, for builds
// where that library is not at hand (the Windows build, run under Wine):
// the arithmetic floor, KEYPRESSED with nothing pending, PUTPIXEL with the
// figure's pixels and the whole loop step, on the real services. Each
// piece runs in 9 interleaved rounds of about 0.3 s; the figures are the
// medians. The last line printed is "loop/floor ratio: R".
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "plotter/plotter.hpp"
#include "plotter/six_point.hpp"
#include "services/console/console.hpp"
#include "services/graphics/graph.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using plotter::SixPoint;

constexpr int ROUNDS = 9;
constexpr double ROUND_SECONDS = 0.3;
constexpr unsigned FIGURE_PIXELS = 1u << 16;

std::vector<std::int16_t> figure_x, figure_y;
unsigned next_pixel = 0;
volatile std::int32_t sink;  // keeps results of the floor alive
bool key_seen = false;

void floor_step() {
  SixPoint::SORSOL();
  const runtime::PixelCoord row = plotter::YKOORD(plotter::Y);
  const runtime::PixelCoord column = plotter::XKOORD(plotter::X);
  sink = row + column;
}

void keypressed_idle() { key_seen |= console::KEYPRESSED(); }

void putpixel_figure() {
  graphics::PUTPIXEL(figure_x[next_pixel], figure_y[next_pixel], plotter::WHITE);
  next_pixel = (next_pixel + 1) & (FIGURE_PIXELS - 1);
}

void loop_step() {
  SixPoint::SORSOL();
  plotter::PLOT_POINT();
  key_seen |= console::KEYPRESSED();
}

struct Piece {
  Piece(const char* n, void (*s)()) : name(n), step(s) {}
  const char* name;
  void (*step)();
  long calls = 0;  // per round
  std::vector<double> ns;
};

double run(void (*step)(), long calls) {
  const auto start = Clock::now();
  for (long i = 0; i < calls; ++i) step();
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// Calls that take about one round.
long calibrate(void (*step)()) {
  long calls = 1;
  for (;;) {
    const double ns = run(step, calls);
    if (ns >= 20e6) return std::max(1L, static_cast<long>(calls * (ROUND_SECONDS * 1e9 / ns)));
    calls *= 2;
  }
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void main_program() {
  const runtime::Unit units[] = {runtime::SYSTEM_UNIT, console::CONSOLE_UNIT,
                                 graphics::GRAPH_UNIT};
  runtime::INITIALIZEUNITS(units);
  plotter::MERET = SixPoint::SIZE;
  runtime::RANDOMIZE();
  plotter::GRAFIKA();
  if (graphics::_GRAPHRESULT != graphics::grOk) {
    std::printf("no window: INITGRAPH gave %d\n", graphics::_GRAPHRESULT);
    std::fflush(stdout);
    runtime::HALT(1);
  }
  plotter::X = 0;
  plotter::Y = 0;
  plotter::PLOT_POINT();
  for (unsigned i = 0; i < FIGURE_PIXELS; ++i) {
    SixPoint::SORSOL();
    figure_y.push_back(plotter::YKOORD(plotter::Y));
    figure_x.push_back(plotter::XKOORD(plotter::X));
  }

  Piece pieces[] = {{"floor (SORSOL + YKOORD + XKOORD)", floor_step},
                    {"KEYPRESSED, nothing pending", keypressed_idle},
                    {"PUTPIXEL, the figure's pixels", putpixel_figure},
                    {"loop step (SORSOL, YKOORD, XKOORD, PUTPIXEL, KEYPRESSED)", loop_step}};
  for (Piece& p : pieces) p.calls = calibrate(p.step);
  // Each round takes the pieces in another order, so that a change in the
  // machine's load falls on all of them alike.
  for (int round = 0; round < ROUNDS; ++round)
    for (int k = 0; k < 4; ++k) {
      Piece& p = pieces[(k + round) % 4];
      p.ns.push_back(run(p.step, p.calls) / static_cast<double>(p.calls));
    }

  const double floor_ns = median(pieces[0].ns);
  std::printf("medians of %d rounds of about %.1f s, real time per call\n", ROUNDS, ROUND_SECONDS);
  for (const Piece& p : pieces)
    std::printf("%s: %.2f ns = %.2f x floor\n", p.name, median(p.ns), median(p.ns) / floor_ns);
  if (key_seen) std::printf("a key was pressed during the run: the figures include its reading\n");
  std::printf("loop/floor ratio: %.2f\n", median(pieces[3].ns) / floor_ns);
  std::fflush(stdout);
}

}  // namespace

int main() { runtime::RUN_PROGRAM(main_program); }
