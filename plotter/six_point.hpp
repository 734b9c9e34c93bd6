#pragma once
// The six-point figure: the corners of a large equilateral triangle (apex
// up) and of a small inverted one, contracted by 1/6. Data for SORSOL
// (sorsol.hpp), in either extended type.
#include <cstdint>

#include "plotter/targets.hpp"
#include "services/runtime/real/extended.hpp"

namespace plotter {

template <class R>
struct SixPointFigure {
  using Real = R;

  static constexpr std::uint16_t kSize = 1600;  // MERET: half-width of the large triangle
  static constexpr std::int32_t kTargets = 6;
  static constexpr runtime::Divisor<Real> kDivisor{Real(6.0)};
  // √3 rounded to extended, 1.7320508075688772936.
  static constexpr Real kSqrt3 = runtime::extended_from_bits<Real>(0x3FFF, 0xDDB3D742C265539E);

  // Target `index` of a figure of size M, each in exactly this order of
  // operations.
  static Target<Real> target(std::int32_t index, Real M) {
    const Real zero(0.0), two(2.0), four(4.0);
    switch (index) {
      case 0: return {zero, (-M) * kSqrt3 / two};
      case 1: return {-M, M * kSqrt3 / two};
      case 2: return {M, M * kSqrt3 / two};
      case 3: return {zero, M * kSqrt3 / four};
      case 4: return {(-M) / two, (-M) * kSqrt3 / four};
      default: return {M / two, (-M) * kSqrt3 / four};  // 5
    }
  }
};

using SixPoint = SixPointFigure<runtime::Extended>;

}  // namespace plotter
