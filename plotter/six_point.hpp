#pragma once
// The six-point figure: the corners of a large equilateral triangle (apex
// up) and of a small inverted one, contracted by 1/6.
#include <cstdint>

#include "plotter/point.hpp"
#include "plotter/targets.hpp"
#include "services/runtime/random.hpp"
#include "services/runtime/types.hpp"

namespace plotter {

struct SixPoint {
  using Extended = runtime::Extended;

  static constexpr std::uint16_t kSize = 1600;  // MERET: half-width of the large triangle
  static constexpr std::int32_t kTargets = 6;
  static constexpr Extended kDivisor = 6.0L;
  static constexpr Extended kSqrt3 = 1.7320508075688772936L;  // √3 rounded to extended

  // Target `index` of a figure of size M, each in exactly this order of
  // operations.
  static Target target(std::int32_t index, Extended M) {
    switch (index) {
      case 0: return {0, (-M) * kSqrt3 / 2.0L};
      case 1: return {-M, M * kSqrt3 / 2.0L};
      case 2: return {M, M * kSqrt3 / 2.0L};
      case 3: return {0, M * kSqrt3 / 4.0L};
      case 4: return {(-M) / 2.0L, (-M) * kSqrt3 / 4.0L};
      default: return {M / 2.0L, (-M) * kSqrt3 / 4.0L};  // 5
    }
  }

  static void SORSOL() {
    const Target* targets = targets_for_meret<SixPoint>();
    const Target& t = targets[runtime::RANDOM(kTargets)];
    TRANSZF(t.XX, t.YY, kDivisor);
  }
};

}  // namespace plotter
