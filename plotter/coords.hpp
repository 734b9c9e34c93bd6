#pragma once
// From figure units to pixel coordinates.
#include "services/runtime/types.hpp"

namespace plotter {

// Screen position of the figure's origin (0, 0).
inline constexpr runtime::Extended ORIGIN_COLUMN = 512.0L;
inline constexpr runtime::Extended ORIGIN_ROW = 384.0L;

// Column / row of a figure x / y: rounded to nearest (ties to even), then
// checked against the signed 16-bit range (run-time error 201 outside).
// Real routines with frames of their own: a failed check is reported at an
// address inside them.
runtime::PixelCoord XKOORD(runtime::Extended XX);
runtime::PixelCoord YKOORD(runtime::Extended YY);

}  // namespace plotter
