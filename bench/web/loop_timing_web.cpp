// The chain, the arithmetic floor and the loop step, timed in the browser
// build's page (scripts/bench-web), and in the native build beside it: each
// in 9 interleaved rounds of about 0.3 s, the medians printed as
// "<name>: <ns> ns". In the page the loop step includes its share of the
// yields to the browser, as the program's loop does.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "bench/chain.hpp"
#include "bench/steps.hpp"
#include "plotter/plotter.hpp"
#include "plotter/six_point.hpp"
#include "services/graphics/graph.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using plotter::SixPoint;

constexpr int kRounds = 9;
constexpr double kRoundSeconds = 0.3;

volatile std::int32_t sink;

void floor_step() {
  plotter::SORSOL<SixPoint>();
  const plotter::PixelCoord row = plotter::YKOORD(plotter::Y);
  const plotter::PixelCoord column = plotter::XKOORD(plotter::X);
  sink = row + column;
}

void loop_step() { sink = bench::loop_step(); }

struct Piece {
  const char* name;
  void (*step)();  // null: the chain
  long calls = 0;
  std::vector<double> ns;
};

double run(const Piece& p, long calls) {
  const auto start = Clock::now();
  if (p.step == nullptr) {
    bench::Chain chain;
    for (long i = 0; i < calls; ++i) chain.step();
    sink = static_cast<std::int32_t>(chain.x.significand);  // keeps the chain
  } else {
    for (long i = 0; i < calls; ++i) p.step();
  }
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

long calibrate(const Piece& p) {
  long calls = 1;
  double ns;
  while ((ns = run(p, calls)) < 20e6) calls *= 2;
  for (int i = 0; i < 2; ++i) ns = std::min(ns, run(p, calls));
  return std::max(1L, static_cast<long>(calls * (kRoundSeconds * 1e9 / ns)));
}

void main_program() {
  if (!bench::start_services()) {
    std::printf("no window: INITGRAPH gave %d\n", graphics::_GRAPHRESULT);
    std::fflush(stdout);
    runtime::HALT(1);
  }
  Piece pieces[] = {{"chain", nullptr, 0, {}}, {"floor", floor_step, 0, {}},
                    {"loop step", loop_step, 0, {}}};
  for (Piece& p : pieces) p.calls = calibrate(p);
  for (int round = 0; round < kRounds; ++round)
    for (int k = 0; k < 3; ++k) {
      Piece& p = pieces[(k + round) % 3];
      p.ns.push_back(run(p, p.calls) / static_cast<double>(p.calls));
    }
  for (Piece& p : pieces) {
    std::sort(p.ns.begin(), p.ns.end());
    std::printf("%s: %.2f ns\n", p.name, p.ns[kRounds / 2]);
  }
  std::fflush(stdout);
}

}  // namespace

int main() { runtime::run_program(main_program); }
