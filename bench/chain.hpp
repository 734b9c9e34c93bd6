#pragma once
// The physical limit of a step: X := (XX + X) / D, one dependent add and
// divide, the point kept in a register. The six-point figure's targets for
// x come round in a fixed order, so nothing is guessed wrong. Both
// benchmarks time it and state their targets as multiples of it; the
// Linux one times it on the other number type too.
#include <cstdint>

#include "plotter/six_point.hpp"

namespace bench {

template <class Figure>
struct ChainOf {
  using Real = typename Figure::Real;
  static constexpr std::int32_t kTargets = plotter::SixPoint::kTargets;
  static inline const Real M{static_cast<std::int32_t>(plotter::SixPoint::kSize)};
  Real targets[kTargets] = {Real(0.0), -M, M, Real(0.0), (-M) / Real(2.0), M / Real(2.0)};
  Real x = Real(0.0);
  std::int32_t i = 0;

  void step() {
    x = runtime::add_then_divide(targets[i], x, Figure::kDivisor);
    i = i == kTargets - 1 ? 0 : i + 1;
  }
};

using Chain = ChainOf<plotter::SixPoint>;

}  // namespace bench
