#pragma once
// The five-point figure: the centre and the four corners of a square,
// contracted by 1/3.02 (slightly more than a third, so the five copies are
// separated by thin gaps).
#include <cstdint>

#include "plotter/point.hpp"
#include "plotter/targets.hpp"
#include "services/runtime/random.hpp"
#include "services/runtime/types.hpp"

namespace plotter {

struct FivePoint {
  using Extended = runtime::Extended;

  static constexpr std::uint16_t kSize = 640;  // MERET: half-side of the target square
  static constexpr std::int32_t kTargets = 5;
  static constexpr Extended kDivisor = 3.02L;  // 3.02 rounded to extended

  // Target `index` of a figure of size M.
  static Target target(std::int32_t index, Extended M) {
    switch (index) {
      case 0: return {0, 0};     // centre
      case 1: return {-M, -M};   // top left
      case 2: return {-M, M};    // bottom left
      case 3: return {M, -M};    // top right
      default: return {M, M};    // 4: bottom right
    }
  }

  static void SORSOL() {
    const Target* targets = targets_for_meret<FivePoint>();
    const Target& t = targets[runtime::RANDOM(kTargets)];
    TRANSZF(t.XX, t.YY, kDivisor);
  }
};

}  // namespace plotter
