#pragma once
// The five-point figure: the centre and the four corners of a square,
// contracted by 1/3.02 (slightly more than a third, so the five copies are
// separated by thin gaps). Data for SORSOL (sorsol.hpp), in either
// extended type.
#include <cstdint>

#include "plotter/targets.hpp"
#include "services/runtime/real/extended.hpp"

namespace plotter {

template <class R>
struct FivePointFigure {
  using Real = R;

  static constexpr std::uint16_t kSize = 640;  // MERET: half-side of the target square
  static constexpr std::int32_t kTargets = 5;
  // 3.02 rounded to extended.
  static constexpr runtime::Divisor<Real> kDivisor{
      runtime::extended_from_bits<Real>(0x4000, 0xC147AE147AE147AE)};

  // Target `index` of a figure of size M.
  static Target<Real> target(std::int32_t index, Real M) {
    const Real zero(0.0);
    switch (index) {
      case 0: return {zero, zero};  // centre
      case 1: return {-M, -M};      // top left
      case 2: return {-M, M};       // bottom left
      case 3: return {M, -M};       // top right
      default: return {M, M};       // 4: bottom right
    }
  }
};

using FivePoint = FivePointFigure<runtime::Extended>;

}  // namespace plotter
