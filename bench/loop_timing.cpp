// The plotting loop's pieces timed without Google Benchmark, for builds
// where that library is not at hand (the Windows build, run under Wine):
// the chain (bench/chain.hpp), the arithmetic floor, KEYPRESSED with
// nothing pending, PUTPIXEL with the figure's pixels and the whole loop
// step, on the real services. Each piece runs in 9 interleaved rounds of
// about 0.3 s; the figures are the medians, with the targets (in chains)
// beside them. Then the checks that go with them: heap allocations per
// point, keys seen by the first poll, and how soon a plotted pixel is on
// the window. Then "targets: all met", or "targets MISSED:" and the names
// of those missed (the status is then 1); last the ratio lines, the very
// last "loop/floor ratio: R".
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/chain.hpp"
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

using bench::FLOOR_LIMIT;
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
volatile runtime::Extended chain_sink;  // and of the chain
bool key_seen = false;

void floor_step() {
  plotter::SORSOL<SixPoint>();
  const plotter::PixelCoord row = plotter::YKOORD(plotter::Y);
  const plotter::PixelCoord column = plotter::XKOORD(plotter::X);
  sink = row + column;
}

void keypressed_idle() { key_seen |= console::KEYPRESSED(); }

void putpixel_figure() {
  graphics::PUTPIXEL(figure.x[next_pixel], figure.y[next_pixel], plotter::kWhite);
  next_pixel = (next_pixel + 1) & (FIGURE_PIXELS - 1);
}

void loop_step() { key_seen |= bench::loop_step(); }

// The targets missed, by name; the run fails when there is one.
std::vector<std::string> missed;

const char* verdict(bool ok, const char* target) {
  if (!ok) missed.emplace_back(target);
  return ok ? "ok" : "MISSED";
}

struct Piece {
  Piece(const char* n, const char* t, void (*s)(), double l) : name(n), target(t), step(s), limit(l) {}
  const char* name;
  const char* target;  // its name among those missed
  void (*step)();      // null: the chain, which is no call
  double limit;        // in chains; 0: none
  long calls = 0;      // per round
  std::vector<double> ns;
};

double elapsed_ns(Clock::time_point start) {
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// The chain's steps run in the loop itself, the point in a register.
double run(const Piece& p, long calls) {
  const auto start = Clock::now();
  if (p.step == nullptr) {
    bench::Chain chain;
    for (long i = 0; i < calls; ++i) chain.step();
    const double ns = elapsed_ns(start);
    chain_sink = chain.x;
    return ns;
  }
  for (long i = 0; i < calls; ++i) p.step();
  return elapsed_ns(start);
}

// Calls that take about one round: doubled until they take 20 ms, then
// timed twice more, the fastest of the three counting (one slow call, such
// as a first look at the console, must not make the rounds tiny).
long calibrate(const Piece& p) {
  long calls = 1;
  double ns;
  while ((ns = run(p, calls)) < 20e6) calls *= 2;
  for (int i = 0; i < 2; ++i) ns = std::min(ns, run(p, calls));
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

  Piece pieces[] = {
      {"chain (X := (XX + X) / 6, in a register)", "chain", nullptr, 0},
      {"floor (SORSOL + YKOORD + XKOORD)", "floor", floor_step, FLOOR_LIMIT},
      {"KEYPRESSED, nothing pending", "KEYPRESSED", keypressed_idle, KEYPRESSED_LIMIT},
      {"PUTPIXEL, the figure's pixels", "PUTPIXEL", putpixel_figure, PUTPIXEL_LIMIT},
      {"loop step (SORSOL, YKOORD, XKOORD, PUTPIXEL, KEYPRESSED)", "loop_step", loop_step,
       LOOP_LIMIT}};
  constexpr int kPieces = sizeof pieces / sizeof pieces[0];
  constexpr int kFirstPlotting = 3;  // PUTPIXEL and the loop step plot
  // The console service's first look at the console is start-up's, not a
  // poll's.
  console::KEYPRESSED();
  for (Piece& p : pieces) {
    p.calls = calibrate(p);
    p.ns.reserve(ROUNDS);
  }
  // Each round takes the pieces in another order, so that a change in the
  // machine's load falls on all of them alike.
  const std::uint64_t heap_before = bench::heap_allocations();
  long points = 0;
  for (int round = 0; round < ROUNDS; ++round)
    for (int k = 0; k < kPieces; ++k) {
      const int piece = (k + round) % kPieces;
      Piece& p = pieces[piece];
      p.ns.push_back(run(p, p.calls) / static_cast<double>(p.calls));
      if (piece >= kFirstPlotting) points += p.calls;
    }
  const std::uint64_t allocations = bench::heap_allocations() - heap_before;

  const bench::PixelFigures pixel = bench::pixel_latency(PIXEL_SAMPLES, loop_step);
  const bench::KeyFigures keys = bench::keys_seen(KEY_TRIALS);

  const double chain_ns = median(pieces[0].ns);
  const double floor_ns = median(pieces[1].ns);
  const double loop_ns = median(pieces[kPieces - 1].ns);
  std::printf("medians of %d rounds of about %.1f s, real time per call\n", ROUNDS, ROUND_SECONDS);
  for (const Piece& p : pieces) {
    const double ratio = median(p.ns) / chain_ns;
    if (p.limit > 0)
      std::printf("%s: %.2f ns = %.3f x chain (target <= %.2f: %s)\n", p.name, median(p.ns), ratio,
                  p.limit, verdict(ratio <= p.limit, p.target));
    else
      std::printf("%s: %.2f ns\n", p.name, median(p.ns));
  }
  if (key_seen) std::printf("a key was pressed during the run: the figures include its reading\n");
  std::printf("heap allocations per point: %.6f (%llu in %ld points: %s)\n",
              static_cast<double>(allocations) / static_cast<double>(points),
              static_cast<unsigned long long>(allocations), points,
              verdict(allocations == 0, "allocations"));
  std::printf("keys seen by the first poll, the console's watcher given 20 ms: %d of %d (%s)\n",
              keys.first_poll, KEY_TRIALS, verdict(keys.first_poll == KEY_TRIALS, "keys"));
  std::printf("keys seen by a poll at once after the console signalled them: %d of %d "
              "(the others came before the watcher thread had woken)\n",
              keys.first_poll_at_once, KEY_TRIALS);
  std::printf("time from a key's writing to the poll that reported it, polling flat out: "
              "median %.0f us, max %.0f us\n",
              keys.notice_median_us, keys.notice_max_us);
  const auto pixel_line = [](const char* when, const char* target, double median_ms, double p95_ms,
                             double max_ms) {
    if (median_ms < 0)
      std::printf("pixel on the window %s: not measured (%s)\n", when, verdict(false, target));
    else
      std::printf("pixel on the window %s: median %.2f ms, 95%% within %.2f ms (target <= %.0f ms: "
                  "%s), max %.2f ms\n",
                  when, median_ms, p95_ms, PIXEL_LIMIT_MS, verdict(p95_ms <= PIXEL_LIMIT_MS, target),
                  max_ms);
  };
  std::printf("time from PUTPIXEL to the pixel on the window's surface, %d samples each:\n",
              PIXEL_SAMPLES);
  if (pixel.failure != nullptr) std::printf("  not measured: %s\n", pixel.failure);
  pixel_line("after plotting stops", "pixel_idle", pixel.idle_median_ms, pixel.idle_p95_ms,
             pixel.idle_max_ms);
  pixel_line("while plotting flat out", "pixel_busy", pixel.busy_median_ms, pixel.busy_p95_ms,
             pixel.busy_max_ms);
  if (missed.empty()) {
    std::printf("targets: all met\n");
  } else {
    std::printf("targets MISSED:");
    for (const std::string& m : missed) std::printf(" %s", m.c_str());
    std::printf("\n");
  }
  std::printf("floor/chain ratio: %.2f\nloop/chain ratio: %.2f\nloop/floor ratio: %.2f\n",
              floor_ns / chain_ns, loop_ns / chain_ns, loop_ns / floor_ns);
  std::fflush(stdout);
  if (!missed.empty()) runtime::HALT(1);
}

}  // namespace

int main() { runtime::run_program(main_program); }
