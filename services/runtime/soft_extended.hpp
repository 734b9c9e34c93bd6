#pragma once
// The 80-bit extended real in software, giving bit for bit the x87's results
// under the start-up control word FPUCW: 64-bit precision, round to nearest
// with ties to even, gradual underflow (a tiny result is rounded once, at the
// precision its denormal has), and run-time error 207 / 200 / 205 where the
// x87 faults on invalid operation / division by zero / overflow. Underflow,
// precision and denormal operands are masked there, so they pass silently.
//
// Operands:
// - Denormals are exact values; pseudo-denormals (exponent field 0 with the
//   integer bit set) are read, as on the x87, with the exponent of the
//   smallest normal.
// - Unnormals, pseudo-infinities and pseudo-NaNs (a non-zero exponent field
//   with the integer bit clear) are invalid operands: the x87 refuses them.
// - A signalling NaN is an invalid operation; masked, it comes out quiet.
//   Between two NaNs the one with the larger significand wins.
// Results are never unnormal or pseudo-denormal. An invalid operation's
// masked result is the default NaN, negative and quiet (0xFFFF C000...0).
//
// Comparisons are those the compiler emits for long double: == and != are
// quiet (invalid only for a signalling NaN), <, <=, > and >= are signalling
// (every NaN operand is invalid, so under FPUCW run-time error 207).
//
// The hot operations are inline; special operands, tiny or huge results and
// the faults go out of line. A fault is raised from a cold routine called
// straight from the inlined operation, so the report names the routine that
// did the operation, with its frame, as for an x87 fault.
#include <bit>
#include <cstdint>

#include "services/runtime/wide.hpp"

namespace runtime::inline GRAIN_WIDE_NAMESPACE {

struct SoftExtended {
  std::uint64_t significand;    // explicit integer bit in bit 63
  std::uint16_t sign_exponent;  // bit 15 sign, bits 14..0 biased exponent

  constexpr SoftExtended() : significand(0), sign_exponent(0) {}  // +0
  constexpr SoftExtended(double d);  // exact; a signalling NaN is invalid
  constexpr SoftExtended(std::int32_t v) : SoftExtended(static_cast<std::int64_t>(v)) {}
  constexpr SoftExtended(std::uint32_t v) : SoftExtended(static_cast<std::int64_t>(v)) {}
  constexpr SoftExtended(std::int64_t v);  // exact

  static constexpr SoftExtended from_bits(std::uint16_t sign_exponent, std::uint64_t significand) {
    SoftExtended x;
    x.significand = significand;
    x.sign_exponent = sign_exponent;
    return x;
  }
};

inline constexpr int kSoftBias = 16383;
inline constexpr std::uint16_t kSoftExponentMask = 0x7FFF;
inline constexpr std::uint16_t kSoftSignBit = 0x8000;
inline constexpr std::uint64_t kSoftIntegerBit = std::uint64_t{1} << 63;

// The figure constants, from their bits: sqrt(3) and 3.02 rounded to
// extended (1.7320508075688772936 and 3.02), and the divisor 6.
inline constexpr SoftExtended kSoftSqrt3 = SoftExtended::from_bits(0x3FFF, 0xDDB3'D742'C265'539E);
inline constexpr SoftExtended kSoft302 = SoftExtended::from_bits(0x4000, 0xC147'AE14'7AE1'47AE);
inline constexpr SoftExtended kSoftSix = SoftExtended::from_bits(0x4001, 0xC000'0000'0000'0000);
// The default NaN, result of a masked invalid operation.
inline constexpr SoftExtended kSoftDefaultNaN =
    SoftExtended::from_bits(0xFFFF, 0xC000'0000'0000'0000);

// Exception flags, as the x87 status word has them.
enum SoftFlag : unsigned {
  kSoftInvalid = 0x01,
  kSoftZeroDivide = 0x04,
  kSoftOverflow = 0x08,
};
// The faults FPUCW leaves unmasked.
inline constexpr unsigned kSoftUnmasked = kSoftInvalid | kSoftZeroDivide | kSoftOverflow;

enum class SoftOrder { less, equal, greater, unordered };

// Every operation with all faults masked: the x87's masked result, and the
// flags it raises or-ed into `flags`.
SoftExtended add_flagged(SoftExtended a, SoftExtended b, unsigned& flags);
SoftExtended sub_flagged(SoftExtended a, SoftExtended b, unsigned& flags);
SoftExtended mul_flagged(SoftExtended a, SoftExtended b, unsigned& flags);
SoftExtended div_flagged(SoftExtended a, SoftExtended b, unsigned& flags);
SoftExtended from_double_flagged(double d, unsigned& flags);
// `signalling`: every NaN is invalid (fcomi), otherwise only a signalling one (fucomi).
SoftOrder compare_flagged(SoftExtended a, SoftExtended b, bool signalling, unsigned& flags);
// To an integer, rounding to nearest even or truncating toward zero; out of
// range or not a number: invalid, and the integer indefinite (the lowest value).
std::int64_t to_int64_flagged(SoftExtended x, bool truncate, unsigned& flags);
std::int32_t to_int32_flagged(SoftExtended x, bool truncate, unsigned& flags);

// Raises the run-time error of the first unmasked fault in `flags` (207,
// 200, 205) at the routine that called it.
[[noreturn, gnu::cold, gnu::noinline]] void soft_fault(unsigned flags);

namespace soft_detail {

[[gnu::always_inline]] inline void check(unsigned flags) {
  if (flags & kSoftUnmasked) [[unlikely]]
    soft_fault(flags);
}

constexpr SoftExtended from_magnitude(bool negative, std::uint64_t m) {
  if (m == 0) return SoftExtended::from_bits(negative ? kSoftSignBit : 0, 0);
  const int shift = std::countl_zero(m);
  return SoftExtended::from_bits(
      static_cast<std::uint16_t>((negative ? kSoftSignBit : 0) | (kSoftBias + 63 - shift)),
      m << shift);
}

}  // namespace soft_detail

constexpr SoftExtended::SoftExtended(std::int64_t v)
    : SoftExtended(soft_detail::from_magnitude(
          v < 0, v < 0 ? ~static_cast<std::uint64_t>(v) + 1 : static_cast<std::uint64_t>(v))) {}

constexpr SoftExtended::SoftExtended(double d) : significand(0), sign_exponent(0) {
  const auto bits = std::bit_cast<std::uint64_t>(d);
  const std::uint16_t sign = (bits >> 63) ? kSoftSignBit : 0;
  const auto exponent = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (exponent == 0x7FF && fraction != 0) {
    unsigned flags = 0;
    *this = from_double_flagged(d, flags);
    soft_detail::check(flags);
  } else if (exponent == 0x7FF) {
    *this = from_bits(sign | kSoftExponentMask, kSoftIntegerBit);
  } else if (exponent == 0) {
    if (fraction != 0) {  // a double's denormal is normal here
      const int shift = std::countl_zero(fraction);
      *this = from_bits(static_cast<std::uint16_t>(sign | (kSoftBias - 1022 - 1 - (shift - 12))),
                        fraction << shift);
    } else {
      sign_exponent = sign;
    }
  } else {
    *this = from_bits(static_cast<std::uint16_t>(sign | (exponent - 1023 + kSoftBias)),
                      kSoftIntegerBit | (fraction << 11));
  }
}

// Under FPUCW.
[[gnu::always_inline]] inline SoftExtended operator+(SoftExtended a, SoftExtended b) {
  unsigned flags = 0;
  const SoftExtended r = add_flagged(a, b, flags);
  soft_detail::check(flags);
  return r;
}
[[gnu::always_inline]] inline SoftExtended operator-(SoftExtended a, SoftExtended b) {
  unsigned flags = 0;
  const SoftExtended r = sub_flagged(a, b, flags);
  soft_detail::check(flags);
  return r;
}
[[gnu::always_inline]] inline SoftExtended operator*(SoftExtended a, SoftExtended b) {
  unsigned flags = 0;
  const SoftExtended r = mul_flagged(a, b, flags);
  soft_detail::check(flags);
  return r;
}
[[gnu::always_inline]] inline SoftExtended operator/(SoftExtended a, SoftExtended b) {
  unsigned flags = 0;
  const SoftExtended r = div_flagged(a, b, flags);
  soft_detail::check(flags);
  return r;
}
// Exact, never faults (fchs), NaNs included.
[[gnu::always_inline]] constexpr SoftExtended operator-(SoftExtended a) {
  return SoftExtended::from_bits(static_cast<std::uint16_t>(a.sign_exponent ^ kSoftSignBit),
                                 a.significand);
}

[[gnu::always_inline]] inline SoftOrder soft_compare(SoftExtended a, SoftExtended b,
                                                     bool signalling) {
  unsigned flags = 0;
  const SoftOrder r = compare_flagged(a, b, signalling, flags);
  soft_detail::check(flags);
  return r;
}
[[gnu::always_inline]] inline bool operator==(SoftExtended a, SoftExtended b) {
  return soft_compare(a, b, false) == SoftOrder::equal;
}
[[gnu::always_inline]] inline bool operator!=(SoftExtended a, SoftExtended b) {
  return soft_compare(a, b, false) != SoftOrder::equal;
}
[[gnu::always_inline]] inline bool operator<(SoftExtended a, SoftExtended b) {
  return soft_compare(a, b, true) == SoftOrder::less;
}
[[gnu::always_inline]] inline bool operator<=(SoftExtended a, SoftExtended b) {
  const SoftOrder o = soft_compare(a, b, true);
  return o == SoftOrder::less || o == SoftOrder::equal;
}
[[gnu::always_inline]] inline bool operator>(SoftExtended a, SoftExtended b) {
  return soft_compare(a, b, true) == SoftOrder::greater;
}
[[gnu::always_inline]] inline bool operator>=(SoftExtended a, SoftExtended b) {
  const SoftOrder o = soft_compare(a, b, true);
  return o == SoftOrder::greater || o == SoftOrder::equal;
}

// Division by a divisor fixed for many quotients: its reciprocal is worked
// out once, and each quotient is a multiplication and an exact correction.
// Correctly rounded: always the same as operator/ with `value`.
struct SoftDivisor {
  constexpr explicit SoftDivisor(SoftExtended d);
  SoftExtended value;
  std::uint64_t reciprocal;  // floor((2^128 - 1) / significand) - 2^64; 0 when not usable
  bool usable;               // a normal divisor: the quick way applies
};

constexpr SoftDivisor::SoftDivisor(SoftExtended d) : value(d), reciprocal(0), usable(false) {
  const unsigned e = d.sign_exponent & kSoftExponentMask;
  if (e != 0 && e != kSoftExponentMask && (d.significand & kSoftIntegerBit)) {
    usable = true;
    reciprocal = wide::divide(~d.significand, ~std::uint64_t{0}, d.significand).quotient;
  }
}

SoftExtended div_flagged(SoftExtended a, const SoftDivisor& d, unsigned& flags);

[[gnu::always_inline]] inline SoftExtended operator/(SoftExtended a, const SoftDivisor& d) {
  unsigned flags = 0;
  const SoftExtended r = div_flagged(a, d, flags);
  soft_detail::check(flags);
  return r;
}

// Integer conversions under FPUCW (fistp): nearest, ties to even; out of
// range or not a number: run-time error 207.
[[gnu::always_inline]] inline std::int64_t to_int64_nearest(SoftExtended x) {
  unsigned flags = 0;
  const std::int64_t r = to_int64_flagged(x, false, flags);
  soft_detail::check(flags);
  return r;
}
[[gnu::always_inline]] inline std::int32_t to_int32_nearest(SoftExtended x) {
  unsigned flags = 0;
  const std::int32_t r = to_int32_flagged(x, false, flags);
  soft_detail::check(flags);
  return r;
}
// All faults masked: truncated toward zero; out of range or not a number
// gives the integer indefinite 0x8000000000000000.
inline std::int64_t to_int64_truncated_masked(SoftExtended x) {
  unsigned flags = 0;
  return to_int64_flagged(x, true, flags);
}

// Arithmetic with all faults masked (the generator's FRAC and RANDOM).
inline SoftExtended add_masked(SoftExtended a, SoftExtended b) {
  unsigned flags = 0;
  return add_flagged(a, b, flags);
}
inline SoftExtended sub_masked(SoftExtended a, SoftExtended b) {
  unsigned flags = 0;
  return sub_flagged(a, b, flags);
}
inline SoftExtended mul_masked(SoftExtended a, SoftExtended b) {
  unsigned flags = 0;
  return mul_flagged(a, b, flags);
}

}  // namespace runtime::inline GRAIN_WIDE_NAMESPACE
