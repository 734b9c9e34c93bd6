#pragma once
// The point, the figure size and the step that moves the point (TRANSZF).
#include <cstdint>

#include "services/runtime/types.hpp"

namespace plotter {

extern runtime::Extended X;  // current point, figure units (1 unit = 1 pixel)
extern runtime::Extended Y;  // positive y is downward on the screen
extern std::uint16_t MERET;  // figure size, set by the main program's first statement

// One contraction step towards the target (XX, YY), in extended precision:
// X is written before Y is worked out. kDivisor is each figure's constant;
// inlined, it divides by that constant.
inline void TRANSZF(runtime::Extended XX, runtime::Extended YY, runtime::Extended kDivisor) {
  X = (XX + X) / kDivisor;
  Y = (YY + Y) / kDivisor;
}

}  // namespace plotter
