#pragma once
// The physical limit of a step: X := (XX + X) / 6, one dependent 80-bit add
// and divide, the point kept in a register. The six-point figure's targets
// come round in a fixed order, so nothing is guessed wrong. Both
// benchmarks time it and state their targets as multiples of it.
#include <cstdint>

#include "plotter/six_point.hpp"
#include "services/runtime/types.hpp"

namespace bench {

struct Chain {
  static constexpr std::int32_t kTargets = plotter::SixPoint::kTargets;
  static constexpr runtime::Extended M = plotter::SixPoint::kSize;
  runtime::Extended targets[kTargets] = {0, -M, M, 0, (-M) / runtime::Extended(2.0),
                                       M / runtime::Extended(2.0)};
  runtime::Extended x = 0;
  std::int32_t i = 0;

  void step() {
    x = (targets[i] + x) / plotter::SixPoint::kDivisor;
    i = i == kTargets - 1 ? 0 : i + 1;
  }
};

}  // namespace bench
