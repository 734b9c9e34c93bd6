#include "plotter/coords.hpp"

#include <cstdint>

#include "services/runtime/checks.hpp"

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

// noipa: never inlined, cloned or specialised, so each keeps its own frame.
[[gnu::noipa]] runtime::PixelCoord XKOORD(const runtime::Extended& XX) {
  return to_pixel(XX + ORIGIN_COLUMN);
}

[[gnu::noipa]] runtime::PixelCoord YKOORD(const runtime::Extended& YY) {
  return to_pixel(YY + ORIGIN_ROW);
}

}  // namespace plotter
