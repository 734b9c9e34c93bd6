#pragma once
// The five-point figure: the centre and the four corners of a square,
// contracted by 1/3.02 (slightly more than a third, so the five copies are
// separated by thin gaps).
#include <cstdint>

#include "plotter/state.hpp"
#include "services/runtime/random.hpp"
#include "services/runtime/types.hpp"

namespace plotter {

struct FivePoint {
  using Extended = runtime::Extended;

  static constexpr std::uint16_t SIZE = 640;  // MERET: half-side of the target square
  static constexpr std::int32_t TARGETS = 5;
  static constexpr Extended DIVISOR = 3.02L;  // 3.02 rounded to extended

  static void SORSOL() {
    const Extended M = MERET;
    Extended XX;
    Extended YY;
    switch (runtime::RANDOM(TARGETS)) {
      case 0: XX = 0; YY = 0; break;     // centre
      case 1: XX = -M; YY = -M; break;   // top left
      case 2: XX = -M; YY = M; break;    // bottom left
      case 3: XX = M; YY = -M; break;    // top right
      default: XX = M; YY = M; break;    // 4: bottom right
    }
    TRANSZF(XX, YY, DIVISOR);
  }
};

}  // namespace plotter
