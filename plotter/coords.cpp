#include "plotter/coords.hpp"

#include <cstdint>

#include "services/runtime/checks.hpp"
#include "services/runtime/keep_frame.hpp"

namespace plotter {
namespace {

// Screen position of the figure's origin (0, 0).
constexpr double kOriginColumn = 512.0;
constexpr double kOriginRow = 384.0;

// ROUND and INT_BOUNDCHECK are inlined into XKOORD and YKOORD, so their
// cold paths see the routine itself as the one that raised the error.
template <class Real>
[[gnu::always_inline]] inline runtime::PixelCoord to_pixel(Real v) {
  const std::int32_t r = runtime::ROUND(v);
  runtime::INT_BOUNDCHECK(r, INT16_MIN, INT16_MAX);
  return static_cast<runtime::PixelCoord>(r);
}

}  // namespace

// The point was just stored field by field; read the same way, it is
// forwarded from those stores (a copy of the whole object would read the
// padding with the exponent and wait for the stores to reach the cache).
[[gnu::always_inline]] inline runtime::SoftExtended fields_of(const runtime::SoftExtended& v) {
  return runtime::SoftExtended::from_bits(v.sign_exponent, v.significand);
}

// Each keeps its own frame: a range error names it, then its caller.
GRAIN_KEEP_FRAME runtime::PixelCoord XKOORD(const runtime::SoftExtended& XX) {
  static constexpr runtime::SoftExtended kOrigin{kOriginColumn};
  return to_pixel(fields_of(XX) + kOrigin);
}

GRAIN_KEEP_FRAME runtime::PixelCoord YKOORD(const runtime::SoftExtended& YY) {
  static constexpr runtime::SoftExtended kOrigin{kOriginRow};
  return to_pixel(fields_of(YY) + kOrigin);
}

#if GRAIN_HAS_X87
GRAIN_KEEP_FRAME runtime::PixelCoord XKOORD(const runtime::X87Extended& XX) {
  return to_pixel(XX + static_cast<runtime::X87Extended>(kOriginColumn));
}

GRAIN_KEEP_FRAME runtime::PixelCoord YKOORD(const runtime::X87Extended& YY) {
  return to_pixel(YY + static_cast<runtime::X87Extended>(kOriginRow));
}
#endif

}  // namespace plotter
