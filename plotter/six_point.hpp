#pragma once
// The six-point figure: the corners of a large equilateral triangle (apex
// up) and of a small inverted one, contracted by 1/6.
#include <cstdint>

#include "plotter/state.hpp"
#include "services/runtime/random.hpp"
#include "services/runtime/types.hpp"

namespace plotter {

struct SixPoint {
  using Extended = runtime::Extended;

  static constexpr std::uint16_t SIZE = 1600;  // MERET: half-width of the large triangle
  static constexpr std::int32_t TARGETS = 6;
  static constexpr Extended DIVISOR = 6.0L;
  static constexpr Extended SQRT3 = 1.7320508075688772936L;  // √3 rounded to extended

  // The targets are worked out from MERET on every step, each in exactly
  // this order of operations.
  static void SORSOL() {
    const Extended M = MERET;
    Extended XX;
    Extended YY;
    switch (runtime::RANDOM(TARGETS)) {
      case 0: XX = 0; YY = (-M) * SQRT3 / 2.0L; break;
      case 1: XX = -M; YY = M * SQRT3 / 2.0L; break;
      case 2: XX = M; YY = M * SQRT3 / 2.0L; break;
      case 3: XX = 0; YY = M * SQRT3 / 4.0L; break;
      case 4: XX = (-M) / 2.0L; YY = (-M) * SQRT3 / 4.0L; break;
      default: XX = M / 2.0L; YY = (-M) * SQRT3 / 4.0L; break;  // 5
    }
    TRANSZF(XX, YY, DIVISOR);
  }
};

}  // namespace plotter
