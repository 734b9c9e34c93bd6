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
[[gnu::always_inline]] inline PixelCoord to_pixel(Real v) {
  const std::int32_t r = runtime::ROUND(v);
  runtime::INT_BOUNDCHECK(r, INT16_MIN, INT16_MAX);
  return static_cast<PixelCoord>(r);
}

}  // namespace

// The point was just stored field by field; read the same way, it is
// forwarded from those stores (a copy of the whole object would read the
// padding with the exponent and wait for the stores to reach the cache).
[[gnu::always_inline]] inline runtime::SoftExtended fields_of(const runtime::SoftExtended& v) {
  return runtime::SoftExtended::from_bits(v.sign_exponent, v.significand);
}

// Each keeps its own frame: a range error names it, then its caller.
// On the software type the sum and its rounding are one step, with the
// bits and faults of ROUND(v + origin): the origins are whole numbers.
[[gnu::always_inline]] inline PixelCoord soft_pixel(const runtime::SoftExtended& v,
                                                             std::int32_t origin) {
  const std::int32_t r = runtime::add_to_int32_nearest(fields_of(v), origin);
  runtime::INT_BOUNDCHECK(r, INT16_MIN, INT16_MAX);
  return static_cast<PixelCoord>(r);
}

GRAIN_KEEP_FRAME PixelCoord XKOORD(const runtime::SoftExtended& XX) {
  return soft_pixel(XX, static_cast<std::int32_t>(kOriginColumn));
}

GRAIN_KEEP_FRAME PixelCoord YKOORD(const runtime::SoftExtended& YY) {
  return soft_pixel(YY, static_cast<std::int32_t>(kOriginRow));
}

#if GRAIN_HAS_X87
GRAIN_KEEP_FRAME PixelCoord XKOORD(const runtime::X87Extended& XX) {
  return to_pixel(XX + static_cast<runtime::X87Extended>(kOriginColumn));
}

GRAIN_KEEP_FRAME PixelCoord YKOORD(const runtime::X87Extended& YY) {
  return to_pixel(YY + static_cast<runtime::X87Extended>(kOriginRow));
}
#endif

}  // namespace plotter
