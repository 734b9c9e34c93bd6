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
//
// This header is the type, its flags and its operations; the quick paths
// the inline operations take are in soft_extended_detail.hpp.
#include <cstdint>

#include "services/runtime/real/wide.hpp"

namespace runtime {
inline namespace GRAIN_WIDE_NAMESPACE {

struct SoftExtended {
  std::uint64_t significand;    // explicit integer bit in bit 63
  std::uint16_t sign_exponent;  // bit 15 sign, bits 14..0 biased exponent

  constexpr SoftExtended() : significand(0), sign_exponent(0) {}  // +0
  // Exact; a signalling NaN is invalid. Inlined always, so that a fault
  // lies in the routine that converts.
  [[gnu::always_inline]] constexpr SoftExtended(double d);
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
// How a conversion to an integer rounds: to nearest even (fistp under
// FPUCW) or toward zero.
enum class SoftRound { nearest, toward_zero };

// Every operation with all faults masked: the x87's masked result, and the
// flags it raises or-ed into `flags`.
SoftExtended add_flagged(SoftExtended a, SoftExtended b, unsigned& flags);
SoftExtended sub_flagged(SoftExtended a, SoftExtended b, unsigned& flags);
SoftExtended mul_flagged(SoftExtended a, SoftExtended b, unsigned& flags);
SoftExtended div_flagged(SoftExtended a, SoftExtended b, unsigned& flags);
SoftExtended from_double_flagged(double d, unsigned& flags);
// `signalling`: every NaN is invalid (fcomi), otherwise only a signalling one (fucomi).
SoftOrder compare_flagged(SoftExtended a, SoftExtended b, bool signalling, unsigned& flags);
// To an integer; out of range or not a number: invalid, and the integer
// indefinite (the lowest value).
std::int64_t to_int64_flagged(SoftExtended x, SoftRound mode, unsigned& flags);
std::int32_t to_int32_flagged(SoftExtended x, SoftRound mode, unsigned& flags);
// to_int32_nearest(x + SoftExtended(k)) masked: the integer in the low 32
// bits, the flags above them (the add's alone where they fault). Returned in
// one word, so that a routine that inlines the quick way holds no flags in
// memory (and needs no stack guard).
std::uint64_t add_to_int32_flagged(SoftExtended x, std::int32_t k);

// Raises the run-time error of the first unmasked fault in `flags` (207,
// 200, 205) at the routine that called it.
[[noreturn, gnu::cold, gnu::noinline]] void soft_fault(unsigned flags);

// Division by a divisor fixed for many quotients: its reciprocal is worked
// out once, and each quotient is two multiplications. Correctly rounded:
// always the same as operator/ with `value`.
struct SoftDivisor {
  constexpr explicit SoftDivisor(SoftExtended d);
  SoftExtended value;
  // floor(2^192 / significand) - 2^128, as two words; 0 when not usable.
  std::uint64_t reciprocal_high;
  std::uint64_t reciprocal_low;
  // floor(2^191 / significand), as two words, for dividends of a larger
  // significand (their quotients have 65 bits at 2^192).
  std::uint64_t half_high;
  std::uint64_t half_low;
  // For a quotient of a quick sum (add_then_divide): the larger addend's
  // exponent field from sum_low up to below sum_low + sum_span, where every
  // quick sum has a normal quotient; and how the sum's sign and exponent
  // field become the quotient's (the divisor's sign flips the sign, the
  // offset is added to both, and a quotient of 65 bits adds one more).
  unsigned sum_low;
  unsigned sum_span;
  unsigned quotient_offset;
  bool usable;  // a normal divisor, not a power of two: the quick way applies
};

SoftExtended div_flagged(SoftExtended a, const SoftDivisor& d, unsigned& flags);

}  // namespace GRAIN_WIDE_NAMESPACE
}  // namespace runtime

// The quick paths, which need the type and the declarations above.
#include "services/runtime/real/soft_extended_detail.hpp"

namespace runtime {
inline namespace GRAIN_WIDE_NAMESPACE {

// Under FPUCW.
[[gnu::always_inline]] inline SoftExtended operator+(SoftExtended a, SoftExtended b) {
  SoftExtended r;
  if (soft_detail::add_fast(a, b, 0, r)) [[likely]]
    return r;
  unsigned flags = 0;
  r = add_flagged(a, b, flags);
  soft_detail::check(flags);
  return r;
}
[[gnu::always_inline]] inline SoftExtended operator-(SoftExtended a, SoftExtended b) {
  SoftExtended r;
  if (soft_detail::add_fast(a, b, kSoftSignBit, r)) [[likely]]
    return r;
  unsigned flags = 0;
  r = sub_flagged(a, b, flags);
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

[[gnu::always_inline]] inline SoftExtended operator/(SoftExtended a, const SoftDivisor& d) {
  SoftExtended r;
  if (soft_detail::divide_fast(a, d, r)) [[likely]]
    return r;
  unsigned flags = 0;
  r = div_flagged(a, d, flags);
  soft_detail::check(flags);
  return r;
}

// (a + b) / d, the same in every bit and fault, in one.
[[gnu::always_inline]] inline SoftExtended add_then_divide(SoftExtended a, SoftExtended b,
                                                           const SoftDivisor& d) {
  SoftExtended r;
  if (soft_detail::add_divide_fast(a, b, d, r)) [[likely]]
    return r;
  return (a + b) / d;
}

// Integer conversions under FPUCW (fistp): nearest, ties to even; out of
// range or not a number: run-time error 207.
[[gnu::always_inline]] inline std::int32_t to_int32_nearest(SoftExtended x) {
  std::int32_t fast;
  if (soft_detail::to_int32_fast(x, fast)) [[likely]]
    return fast;
  unsigned flags = 0;
  const std::int32_t r = to_int32_flagged(x, SoftRound::nearest, flags);
  soft_detail::check(flags);
  return r;
}

// to_int32_nearest(x + SoftExtended(k)), the same in every bit and fault,
// in one step: ROUND of a coordinate plus its screen offset.
[[gnu::always_inline]] inline std::int32_t add_to_int32_nearest(SoftExtended x, std::int32_t k) {
  std::int32_t fast;
  if (soft_detail::add_to_int32_fast(x, k, fast)) [[likely]]
    return fast;
  const std::uint64_t both = add_to_int32_flagged(x, k);
  soft_detail::check(static_cast<unsigned>(both >> 32));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(both));
}

// All faults masked: truncated toward zero; out of range or not a number
// gives the integer indefinite 0x8000000000000000.
inline std::int64_t to_int64_truncated_masked(SoftExtended x) {
  unsigned flags = 0;
  return to_int64_flagged(x, SoftRound::toward_zero, flags);
}

}  // namespace GRAIN_WIDE_NAMESPACE
}  // namespace runtime
