#include "plotter/coords.hpp"

#include <cstdint>

#include "services/runtime/checks.hpp"
#include "services/runtime/keep_frame.hpp"

namespace plotter {
namespace {

// ROUND and INT_BOUNDCHECK are inlined into XKOORD and YKOORD, so their
// cold paths see the routine itself as the one that raised the error.
[[gnu::always_inline]] inline runtime::PixelCoord to_pixel(runtime::Extended v) {
  const std::int32_t r = runtime::ROUND(v);
  runtime::INT_BOUNDCHECK(r, INT16_MIN, INT16_MAX);
  return static_cast<runtime::PixelCoord>(r);
}

}  // namespace

// Each keeps its own frame: a range error names it, then its caller.
GRAIN_KEEP_FRAME runtime::PixelCoord XKOORD(const runtime::Extended& XX) {
  return to_pixel(XX + kOriginColumn);
}

GRAIN_KEEP_FRAME runtime::PixelCoord YKOORD(const runtime::Extended& YY) {
  return to_pixel(YY + kOriginRow);
}

}  // namespace plotter
