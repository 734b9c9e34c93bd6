#include "bench/fill.hpp"

#include <algorithm>
#include <limits>
#include <vector>

#include "plotter/five_point.hpp"
#include "plotter/plotter.hpp"
#include "services/runtime/random.hpp"

namespace bench {
namespace {

// The figure lies well inside columns and rows 0..1023.
constexpr int SIDE_SHIFT = 10;
constexpr std::uint32_t SIDE = 1u << SIDE_SHIFT;
constexpr std::uint64_t UNLIT = std::numeric_limits<std::uint64_t>::max();

// Steps until `per_mille` thousandths of the lit pixels were lit, from the
// sorted steps at which each was lit first.
std::uint64_t steps_for(const std::vector<std::uint64_t>& sorted, std::uint64_t per_mille) {
  const std::uint64_t needed = (sorted.size() * per_mille + 999) / 1000;
  return needed == 0 ? 0 : sorted[needed - 1];
}

}  // namespace

FillSteps quintgrain_fill(std::uint64_t budget, std::uint32_t seed) {
  using plotter::X;
  using plotter::Y;
  const std::uint16_t meret = plotter::MERET;
  const runtime::Extended x = X, y = Y;
  const std::uint32_t randseed = runtime::RANDSEED, oldrandseed = runtime::OLDRANDSEED,
                      seed2 = runtime::SEED2, seed3 = runtime::SEED3;
  const bool initialseed = runtime::INITIALSEED;

  std::vector<std::uint64_t> first_lit(SIDE * SIDE, UNLIT);
  const auto light = [&](std::uint64_t step) {
    const plotter::PixelCoord row = plotter::YKOORD(Y);
    const plotter::PixelCoord column = plotter::XKOORD(X);
    const auto r = static_cast<std::uint32_t>(row), c = static_cast<std::uint32_t>(column);
    if (r < SIDE && c < SIDE) {
      std::uint64_t& at = first_lit[(r << SIDE_SHIFT) | c];
      at = std::min(at, step);
    }
  };
  plotter::MERET = plotter::FivePoint::kSize;
  runtime::reset_random();
  runtime::RANDSEED = seed;
  X = 0;
  Y = 0;
  light(0);  // the start point
  for (std::uint64_t step = 1; step <= budget; ++step) {
    plotter::SORSOL<plotter::FivePoint>();
    light(step);
  }

  std::vector<std::uint64_t> lit;
  for (std::uint64_t at : first_lit)
    if (at != UNLIT) lit.push_back(at);
  std::sort(lit.begin(), lit.end());
  FillSteps f;
  f.budget = budget;
  f.seed = seed;
  f.pixels = lit.size();
  f.p99 = steps_for(lit, 990);
  f.p999 = steps_for(lit, 999);
  f.all = steps_for(lit, 1000);

  plotter::MERET = meret;
  X = x;
  Y = y;
  runtime::RANDSEED = randseed;
  runtime::OLDRANDSEED = oldrandseed;
  runtime::SEED2 = seed2;
  runtime::SEED3 = seed3;
  runtime::INITIALSEED = initialseed;
  return f;
}

}  // namespace bench
