#pragma once
// From figure units to pixel coordinates.
#include <cstdint>

#include "services/runtime/real/extended.hpp"

namespace plotter {

using PixelCoord = std::int16_t;  // origin top-left, x right, y down

// Column / row of a figure x / y: rounded to nearest (ties to even), then
// checked against the signed 16-bit range (run-time error 201 outside).
// Real routines with frames of their own: a failed check is reported at an
// address inside them. The argument is taken by reference: passed by value
// an 80-bit real is stored to the stack and loaded back, and each such trip
// adds to the step. The programs call those for Extended; the others are the
// same routines for the other type, which the tests compare with them.
PixelCoord XKOORD(const runtime::SoftExtended& XX);
PixelCoord YKOORD(const runtime::SoftExtended& YY);
#if GRAIN_HAS_X87
PixelCoord XKOORD(const runtime::X87Extended& XX);
PixelCoord YKOORD(const runtime::X87Extended& YY);
#endif

}  // namespace plotter
