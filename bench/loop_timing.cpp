// The plotting loop's pieces timed without Google Benchmark, for builds
// where that library is not at hand (the Windows build, run under Wine):
// the arithmetic floor, KEYPRESSED with nothing pending, PUTPIXEL with the
// figure's pixels and the whole loop step, on the real services. Each
// piece runs in 9 interleaved rounds of about 0.3 s; the figures are the
// medians, with the targets beside them. Then the checks that go with
// them: heap allocations per point, keys seen by the first poll, and how
// soon a plotted pixel is on the window. The last line printed is
// "loop/floor ratio: R".
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "bench/steps.hpp"
#include "bench/targets.hpp"
#include "bench/win32/probes.hpp"
#include "plotter/plotter.hpp"
#include "plotter/six_point.hpp"
#include "services/console/console.hpp"
#include "services/graphics/graph.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"

namespace {

using bench::KEYPRESSED_LIMIT;
using bench::LOOP_LIMIT;
using bench::PUTPIXEL_LIMIT;
using Clock = std::chrono::steady_clock;
using plotter::SixPoint;

constexpr int ROUNDS = 9;
constexpr double ROUND_SECONDS = 0.3;
constexpr unsigned FIGURE_PIXELS = 1u << 16;
constexpr int KEY_TRIALS = 100;
constexpr int PIXEL_SAMPLES = 40;

// Target for the pixel on the window, in ms (the others: targets.hpp).
constexpr double PIXEL_LIMIT_MS = 20;

bench::FigurePixels figure;
unsigned next_pixel = 0;
volatile std::int32_t sink;  // keeps results of the floor alive
bool key_seen = false;

void floor_step() {
  plotter::SORSOL<SixPoint>();
  const runtime::PixelCoord row = plotter::YKOORD(plotter::Y);
  const runtime::PixelCoord column = plotter::XKOORD(plotter::X);
  sink = row + column;
}

void keypressed_idle() { key_seen |= console::KEYPRESSED(); }

void putpixel_figure() {
  graphics::PUTPIXEL(figure.x[next_pixel], figure.y[next_pixel], plotter::kWhite);
  next_pixel = (next_pixel + 1) & (FIGURE_PIXELS - 1);
}

void loop_step() { key_seen |= bench::loop_step(); }

const char* verdict(bool ok) { return ok ? "ok" : "MISSED"; }

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

// Calls that take about one round: doubled until they take 20 ms, then
// timed twice more, the fastest of the three counting (one slow call, such
// as a first look at the console, must not make the rounds tiny).
long calibrate(void (*step)()) {
  long calls = 1;
  double ns;
  while ((ns = run(step, calls)) < 20e6) calls *= 2;
  for (int i = 0; i < 2; ++i) ns = std::min(ns, run(step, calls));
  return std::max(1L, static_cast<long>(calls * (ROUND_SECONDS * 1e9 / ns)));
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void main_program() {
  if (!bench::start_services()) {
    std::printf("no window: INITGRAPH gave %d\n", graphics::_GRAPHRESULT);
    std::fflush(stdout);
    runtime::HALT(1);
  }
  figure = bench::figure_pixels(FIGURE_PIXELS);

  Piece pieces[] = {{"floor (SORSOL + YKOORD + XKOORD)", floor_step},
                    {"KEYPRESSED, nothing pending", keypressed_idle},
                    {"PUTPIXEL, the figure's pixels", putpixel_figure},
                    {"loop step (SORSOL, YKOORD, XKOORD, PUTPIXEL, KEYPRESSED)", loop_step}};
  // The console service's first look at the console is start-up's, not a
  // poll's.
  console::KEYPRESSED();
  for (Piece& p : pieces) {
    p.calls = calibrate(p.step);
    p.ns.reserve(ROUNDS);
  }
  // Each round takes the pieces in another order, so that a change in the
  // machine's load falls on all of them alike.
  const std::uint64_t heap_before = bench::heap_allocations();
  long points = 0;
  for (int round = 0; round < ROUNDS; ++round)
    for (int k = 0; k < 4; ++k) {
      const int piece = (k + round) % 4;
      Piece& p = pieces[piece];
      p.ns.push_back(run(p.step, p.calls) / static_cast<double>(p.calls));
      if (piece >= 2) points += p.calls;  // the pieces that plot
    }
  const std::uint64_t allocations = bench::heap_allocations() - heap_before;

  const bench::PixelFigures pixel = bench::pixel_latency(PIXEL_SAMPLES, loop_step);
  const bench::KeyFigures keys = bench::keys_seen(KEY_TRIALS);

  const double floor_ns = median(pieces[0].ns);
  const double limits[] = {0, KEYPRESSED_LIMIT, PUTPIXEL_LIMIT, LOOP_LIMIT};
  std::printf("medians of %d rounds of about %.1f s, real time per call\n", ROUNDS, ROUND_SECONDS);
  for (int k = 0; k < 4; ++k) {
    const Piece& p = pieces[k];
    const double ratio = median(p.ns) / floor_ns;
    if (limits[k] > 0)
      std::printf("%s: %.2f ns = %.3f x floor (target <= %.2f: %s)\n", p.name, median(p.ns), ratio,
                  limits[k], verdict(ratio <= limits[k]));
    else
      std::printf("%s: %.2f ns\n", p.name, median(p.ns));
  }
  if (key_seen) std::printf("a key was pressed during the run: the figures include its reading\n");
  std::printf("heap allocations per point: %.6f (%llu in %ld points: %s)\n",
              static_cast<double>(allocations) / static_cast<double>(points),
              static_cast<unsigned long long>(allocations), points, verdict(allocations == 0));
  std::printf("keys seen by the first poll, the console's watcher given 20 ms: %d of %d (%s)\n",
              keys.first_poll, KEY_TRIALS, verdict(keys.first_poll == KEY_TRIALS));
  std::printf("keys seen by a poll at once after the console signalled them: %d of %d "
              "(the others came before the watcher thread had woken)\n",
              keys.first_poll_at_once, KEY_TRIALS);
  std::printf("time from a key's writing to the poll that reported it, polling flat out: "
              "median %.0f us, max %.0f us\n",
              keys.notice_median_us, keys.notice_max_us);
  const auto pixel_line = [](const char* when, double median_ms, double p95_ms, double max_ms) {
    if (median_ms < 0)
      std::printf("pixel on the window %s: not measured (MISSED)\n", when);
    else
      std::printf("pixel on the window %s: median %.2f ms, 95%% within %.2f ms (target <= %.0f ms: "
                  "%s), max %.2f ms\n",
                  when, median_ms, p95_ms, PIXEL_LIMIT_MS, verdict(p95_ms <= PIXEL_LIMIT_MS),
                  max_ms);
  };
  std::printf("time from PUTPIXEL to the pixel on the window's surface, %d samples each:\n",
              PIXEL_SAMPLES);
  if (pixel.failure != nullptr) std::printf("  not measured: %s\n", pixel.failure);
  pixel_line("after plotting stops", pixel.idle_median_ms, pixel.idle_p95_ms, pixel.idle_max_ms);
  pixel_line("while plotting flat out", pixel.busy_median_ms, pixel.busy_p95_ms,
             pixel.busy_max_ms);
  std::printf("loop/floor ratio: %.2f\n", median(pieces[3].ns) / floor_ns);
  std::fflush(stdout);
}

}  // namespace

int main() { runtime::run_program(main_program); }
