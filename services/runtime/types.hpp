#pragma once
// Types shared by every service and the plotter.
#include <cstdint>

namespace runtime {

// 80-bit x87 extended real (64-bit mantissa) on every supported target.
using Extended = long double;
static_assert(sizeof(Extended) >= 10 && __LDBL_MANT_DIG__ == 64,
              "the figure arithmetic needs the 80-bit extended type");

using PixelCoord = std::int16_t;   // origin top-left, x right, y down
using ColorIndex = std::uint16_t;  // index into the graphics palette

}  // namespace runtime
