#pragma once
// The figures' number type, and what portable code needs of a number type
// beyond + - * / and the comparisons, for each of the two extended types: a
// constant from its bit pattern, a divisor by a constant, and the two
// conversions to integers. The generator, ROUND and the plotter's step are
// written once over these and give the same bits with either type.
#include <bit>
#include <cstdint>

#include "services/runtime/real/fpu.hpp"
#include "services/runtime/real/soft_extended.hpp"

#ifndef GRAIN_SOFT_EXTENDED
#define GRAIN_SOFT_EXTENDED 0
#endif

namespace runtime {

// Extended is the figures' number type: the x87's 80-bit long double where
// the build uses it, otherwise SoftExtended, the same format and the same
// results in software (GRAIN_SOFT_EXTENDED, set by the build: forced on
// every processor without an x87). Portable code writes Extended and
// constants as Extended(exact double) or extended_from_bits, and leaves the
// rest to the per-type helpers below.
#if GRAIN_SOFT_EXTENDED
using Extended = SoftExtended;
#else
static_assert(GRAIN_HAS_X87, "only x86 has the x87: build with GRAIN_SOFT_EXTENDED");
using Extended = X87Extended;
#endif

// The value of sign-and-exponent word `sign_exponent` and 64-bit
// significand `significand` (integer bit included), in type Real; for
// constants that are no exact double (rounding them through a double would
// lose their last 11 bits).
template <class Real>
constexpr Real extended_from_bits(std::uint16_t sign_exponent, std::uint64_t significand);

template <>
constexpr SoftExtended extended_from_bits<SoftExtended>(std::uint16_t sign_exponent,
                                                        std::uint64_t significand) {
  return SoftExtended::from_bits(sign_exponent, significand);
}

// A divisor that stays the same from step to step: for the software type
// its reciprocal is worked out once, for the x87 it is the plain value.
template <class Real>
struct DivisorFor {
  using type = Real;
};
template <>
struct DivisorFor<SoftExtended> {
  using type = SoftDivisor;
};
template <class Real>
using Divisor = typename DivisorFor<Real>::type;

// x to the nearest 32-bit integer, ties to even. Out of range or not a
// number: run-time error 207 at the routine this is inlined into.
[[gnu::always_inline]] inline std::int32_t round_to_int32(const SoftExtended& x) {
  return to_int32_nearest(x);
}

// x truncated toward zero to 64 bits, with faults masked (TRUNC of the
// generator's products, which lie within +-2^31).
inline std::int64_t truncate_to_int64(const SoftExtended& x) { return to_int64_truncated_masked(x); }

#if GRAIN_HAS_X87
// The x87's memory image, in 16-bit words from the lowest address: the
// significand, then sign and exponent, then the padding of the type's size
// (2 bytes on i386, 6 on x86-64).
struct X87Image {
  std::uint16_t words[sizeof(X87Extended) / 2];
};
static_assert(sizeof(X87Image) == sizeof(X87Extended));

template <>
constexpr X87Extended extended_from_bits<X87Extended>(std::uint16_t sign_exponent,
                                                      std::uint64_t significand) {
  X87Image image{};
  for (int i = 0; i < 4; ++i) image.words[i] = static_cast<std::uint16_t>(significand >> (16 * i));
  image.words[4] = sign_exponent;
  return std::bit_cast<X87Extended>(image);
}

// (a + b) / d, as the software type's add_then_divide (soft_extended.hpp).
[[gnu::always_inline]] inline X87Extended add_then_divide(X87Extended a, X87Extended b,
                                                          X87Extended d) {
  return (a + b) / d;
}

// fistp in the current mode, nearest even under FPUCW; the caller has made
// sure that x fits (ROUND), so the store never faults.
[[gnu::always_inline]] inline std::int32_t round_to_int32(X87Extended x) {
  std::int32_t r;
  __asm__("fistpl %0" : "=m"(r) : "t"(x) : "st");
  return r;
}

// Without switching the control word: exact below 2^62 (fpu.hpp).
[[gnu::always_inline]] inline std::int64_t truncate_to_int64(X87Extended x) {
  return fpu::truncate_toward_zero(x);
}
#endif

}  // namespace runtime
