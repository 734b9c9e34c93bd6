#pragma once
// From figure units to pixel coordinates.
#include "services/runtime/types.hpp"

namespace plotter {

// Screen position of the figure's origin (0, 0).
inline constexpr runtime::Extended kOriginColumn = 512.0L;
inline constexpr runtime::Extended kOriginRow = 384.0L;

// Column / row of a figure x / y: rounded to nearest (ties to even), then
// checked against the signed 16-bit range (run-time error 201 outside).
// Real routines with frames of their own: a failed check is reported at an
// address inside them. The argument is taken by reference: passed by value
// an 80-bit real is stored to the stack and loaded back, and each such trip
// adds to the step.
runtime::PixelCoord XKOORD(const runtime::Extended& XX);
runtime::PixelCoord YKOORD(const runtime::Extended& YY);

}  // namespace plotter
