#pragma once
// The software extended real's quick paths: the inline cases of
// soft_extended.hpp's operations, on normal operands with normal results.
// Each gives up (returns false) where the exact way in soft_extended.cpp
// must decide. Included by soft_extended.hpp, between the type and its
// operations; include that instead.
//
// The signs and exponents of the plotting loop's operands are random from
// step to step, so nothing here branches on them: every select is by masks.
// GCC makes a branch of a ternary even there, and that branch is guessed
// wrong half the time.
#include <bit>
#include <cstdint>

#include "services/runtime/real/wide.hpp"

namespace runtime {
inline namespace GRAIN_WIDE_NAMESPACE {
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

constexpr SoftDivisor::SoftDivisor(SoftExtended d)
    : value(d), reciprocal_high(0), reciprocal_low(0), half_high(0), half_low(0), sum_low(0),
      sum_span(0), quotient_offset(0), usable(false) {
  const unsigned e = d.sign_exponent & kSoftExponentMask;
  const std::uint64_t m = d.significand;
  if (e != 0 && e != kSoftExponentMask && (m & kSoftIntegerBit) && m != kSoftIntegerBit) {
    usable = true;
    // 2^192 / m by words: the first quotient word is 1 (m > 2^63).
    const wide::QuotientRemainder high = wide::divide(0 - m, 0, m);
    reciprocal_high = high.quotient;
    reciprocal_low = wide::divide(high.remainder, 0, m).quotient;
    // Halved: floor(floor(x) / 2) is floor(x / 2).
    half_high = kSoftIntegerBit | (reciprocal_high >> 1);
    half_low = (reciprocal_high << 63) | (reciprocal_low >> 1);
    // A quotient's field is the sum's less e, plus kSoftBias - 1, plus one
    // for a 65-bit quotient; a quick sum's field lies from the larger
    // addend's less 62 up to it plus one. Normal (1 to 0x7FFE) throughout
    // for a larger addend from e - kSoftBias + 64 up to e - kSoftBias +
    // 0x7FFD, within what the quick add takes (128 up to below 0x7FFD).
    const int scale = static_cast<int>(e) - kSoftBias;
    const int low = scale + 64 > 128 ? scale + 64 : 128;
    const int end = scale + 0x7FFE < 0x7FFD ? scale + 0x7FFE : 0x7FFD;
    if (low < end) {
      sum_low = static_cast<unsigned>(low);
      sum_span = static_cast<unsigned>(end - low);
    }
    quotient_offset = static_cast<unsigned>(-1 - scale);
  }
}

namespace soft_detail {

// a + b, with b's sign flipped by `flip` (0 or kSoftSignBit), for a normal
// operand of the larger exponent, its field from `low` up to below `low +
// span` (at most from 128 up to below 0x7FFD: 2^-16255 to 2^16382), and a
// normal, zero or denormal one of the smaller, when the exponents differ by
// less than 63 or by 66 or more, and by 1 or more when the signs differ;
// false otherwise (equal exponents of unlike signs, a difference below 2^-63
// of the larger, specials, tiny or huge results and a rounding up to the
// next power of two go the exact way).
// A difference of 66 or more leaves the larger operand as it is: the smaller
// is below a quarter of its last place, so even after a borrow into the
// binade below the sum rounds back to it (zeros and denormals come only this
// way, as the larger exponent is then at least 128).
// Both are aligned one bit down, so that no sum carries out of 128 bits and
// every bit of the smaller is kept; the sum is then normalised by its leading
// zeros (one at most, but for unlike signs an exponent apart, where the sum is
// exact). Nothing branches on the signs or the exponents.
[[gnu::always_inline]] inline bool add_fast(SoftExtended a, SoftExtended b, unsigned flip,
                                            SoftExtended& r, unsigned low = 128,
                                            unsigned span = kSoftExponentMask - 2 - 128) {
  const unsigned sea = a.sign_exponent, seb = b.sign_exponent ^ flip;
  const std::uint64_t ma = a.significand, mb = b.significand;
  const int ea = static_cast<int>(sea & kSoftExponentMask);
  const int eb = static_cast<int>(seb & kSoftExponentMask);
  // All ones when b has the larger exponent: then the operands trade places.
  const int swap = (ea - eb) >> 31;
  const unsigned d = static_cast<unsigned>(((ea - eb) ^ swap) - swap);
  const std::uint64_t mswap =
      (ma ^ mb) & static_cast<std::uint64_t>(static_cast<std::int64_t>(swap));
  const std::uint64_t mbig = ma ^ mswap, msmall = mb ^ mswap;
  const unsigned se_big = sea ^ ((sea ^ seb) & static_cast<unsigned>(swap));
  const unsigned unlike = ((sea ^ seb) >> 15) & 1;
  // Each refusal a branch of its own: in a loop they are never taken, and a
  // compare and jump costs less than gathering the conditions.
  if ((se_big & kSoftExponentMask) - low >= span) [[unlikely]]
    return false;
  // The larger normal, the smaller normal, zero or denormal.
  // (A zero exponent field sets bit 63 of zero_field by wrapping, with no
  // test of esmall == 0.)
  const unsigned esmall = (se_big & kSoftExponentMask) - d;
  const std::uint64_t zero_field = static_cast<std::uint64_t>(esmall - 1) << 32;
  if (!((mbig & (msmall | zero_field)) >> 63)) [[unlikely]]
    return false;
  if (d < unlike) [[unlikely]]
    return false;
  if (d - 63 < 3) [[unlikely]]
    return false;
  // The smaller one aligned d + 1 bits down (at most 63: no bit is lost).
  const std::uint64_t m = msmall & (0 - static_cast<std::uint64_t>(d < 63));
  const unsigned k = (d + 1) & 63;  // keeps the shifts defined when m is 0
  const std::uint64_t bhi = m >> k, blo = m << ((0 - k) & 63);
  // Unlike signs: add the one's complement and one, the one in alo's free
  // low bits.
  const std::uint64_t negate = 0 - static_cast<std::uint64_t>(unlike);
  const wide::U128 sum =
      wide::add({mbig >> 1, (mbig << 63) | unlike}, {bhi ^ negate, blo ^ negate});
  std::uint64_t hi = sum.hi, lo = sum.lo;
  if (hi == 0) [[unlikely]]
    return false;
  const unsigned n = static_cast<unsigned>(std::countl_zero(hi));
  hi = (hi << n) | ((lo >> 1) >> (63 - n));
  lo <<= n;
  // The sign rides along: the exponent stays within its field.
  const unsigned se = se_big + 1 - n;
  // Nearest, ties to even: lo + (half - 1) + (hi odd) carries exactly when
  // lo is above half, or at half with hi odd. A carry out of the rounding
  // (all ones rounded up to the next power of two) is left to the exact way.
  std::uint64_t scratch;
  const bool up = __builtin_add_overflow(lo, (kSoftIntegerBit - 1) + (hi & 1), &scratch);
  if (__builtin_add_overflow(hi, static_cast<std::uint64_t>(up), &hi)) [[unlikely]]
    return false;
  r = SoftExtended::from_bits(static_cast<std::uint16_t>(se), hi);
  return true;
}

// The quotient of a normal significand ma by d's: rounded to 64 bits, and
// whether it has 65 bits at 2^64 (it is then taken at 2^63); ok is false
// when d is not usable, or in the one case in about 2^60 where the quick
// quotient cannot tell the rounding, or when rounding carries out.
//
// With R = floor(2^192 / m) for the divisor's significand m, a * R / 2^128
// falls short of the exact a * 2^64 / m by less than 2^-63 (the error of R
// times a, plus the fraction bits dropped). The exact quotient is never
// halfway between two integers (twice the numerator has more factors 2 than
// any odd multiple of m), so the estimate's fraction f decides: at or above
// one half rounds up, below one half less 2^-63 rounds down, and only the
// narrow band between is left to the exact division. For a >= m the same
// holds of a * floor(2^191 / m) / 2^128 and the exact a * 2^63 / m. No
// data-dependent branch: the caller makes one of ok, never taken in practice.
struct QuickQuotient {
  std::uint64_t significand;
  unsigned wide;  // 1 for a quotient of 65 bits
  bool ok;
};

[[gnu::always_inline]] inline QuickQuotient quotient_fast(std::uint64_t ma, const SoftDivisor& d) {
  // Chosen before the products, so that nothing after them waits for it.
  const std::uint64_t larger = 0 - static_cast<std::uint64_t>(ma >= d.value.significand);
  const std::uint64_t high = d.reciprocal_high ^ ((d.reciprocal_high ^ d.half_high) & larger);
  const std::uint64_t low = d.reciprocal_low ^ ((d.reciprocal_low ^ d.half_low) & larger);
  // ma * (2^128 + high * 2^64 + low), or ma * (high * 2^64 + low) halved,
  // bits 64 to 191: the quotient q and its fraction f.
  const wide::U128 p0 = wide::mul(ma, low);
  const wide::U128 p1 = wide::mul(ma, high);
  const wide::U128 t = wide::add(wide::add(p1, {0, p0.hi}), {ma & ~larger, 0});
  const std::uint64_t q = t.hi, f = t.lo;
  // Rounded, the quotient is at least 2^63, unless the rounding carries out
  // of 64 bits and leaves 0: its top bit tells.
  const std::uint64_t rounded = q + (f >> 63);
  const bool ok = d.usable & (f - (kSoftIntegerBit - 16) >= 16) &  // not just below one half
                  static_cast<bool>(rounded >> 63);
  return {rounded, static_cast<unsigned>(larger & 1), ok};
}

// a / d for a normal a and a normal quotient; false otherwise, or where
// quotient_fast is not ok.
[[gnu::always_inline]] inline bool divide_fast(SoftExtended a, const SoftDivisor& d,
                                               SoftExtended& r) {
  const unsigned ea = a.sign_exponent & kSoftExponentMask;
  const bool normal = (ea - 1 < kSoftExponentMask - 1u) & static_cast<bool>(a.significand >> 63);
  const QuickQuotient q = quotient_fast(a.significand, d);
  // The quotient's exponent field, wrapped below zero (d.quotient_offset).
  const unsigned e = ea + d.quotient_offset + q.wide;
  r = SoftExtended::from_bits(
      static_cast<std::uint16_t>(((a.sign_exponent ^ d.value.sign_exponent) & kSoftSignBit) | e),
      q.significand);
  return normal & q.ok & (e - 1 < kSoftExponentMask - 1u);
}

// (a + b) / d for add_then_divide: the quick add held to the larger
// addend's exponents for which the quotient is normal (d.sum_low,
// d.sum_span), so the quotient's exponent needs no check, and the sign
// rides along; false otherwise.
[[gnu::always_inline]] inline bool add_divide_fast(SoftExtended a, SoftExtended b,
                                                   const SoftDivisor& d, SoftExtended& r) {
  SoftExtended sum;
  if (!add_fast(a, b, 0, sum, d.sum_low, d.sum_span)) [[unlikely]]
    return false;
  const QuickQuotient q = quotient_fast(sum.significand, d);
  r = SoftExtended::from_bits(
      static_cast<std::uint16_t>((sum.sign_exponent ^ (d.value.sign_exponent & kSoftSignBit)) +
                                 d.quotient_offset + q.wide),
      q.significand);
  return q.ok;
}

// x to the nearest int32 for 0.5 <= |x| < 2^31; false otherwise.
[[gnu::always_inline]] inline bool to_int32_fast(SoftExtended x, std::int32_t& r) {
  const unsigned e = (x.sign_exponent & kSoftExponentMask) - (kSoftBias - 1);  // 0..31 taken
  bool ok = (e < 32) & static_cast<bool>(x.significand >> 63);
  const unsigned keep = (e & 31) + 1;  // integer bits, with the one below for rounding
  const std::uint64_t top = x.significand >> (64 - keep);
  const std::uint64_t below = x.significand << keep;
  // top = integer part * 2 + the half bit
  std::uint64_t magnitude = top >> 1;
  magnitude += (top & 1) & ((below != 0) | (magnitude & 1));
  const std::uint64_t negative = x.sign_exponent >> 15;
  ok &= magnitude <= 0x7FFF'FFFFu + negative;
  r = static_cast<std::int32_t>(
      static_cast<std::uint32_t>((magnitude ^ (0 - negative)) + negative));
  return ok;
}

// to_int32_nearest(x + k) for a normal x from 1/4 up to below 2^20 in
// magnitude and |k| < 2^20; false otherwise (zeros and the few points nearer
// the origin go the exact way), or when x lies within 2^-40 of a
// half-integer. Then the sum's rounding to 64 bits cannot have moved it onto
// or across a half-integer (its half ulp is below 2^-42), so rounding the
// exact sum gives the same integer, and with no tie nearest is enough:
// floor(2|x|) halved, rounding up, with x's sign, plus k.
[[gnu::always_inline]] inline bool add_to_int32_fast(SoftExtended x, std::int32_t k,
                                                     std::int32_t& r) {
  const unsigned e = x.sign_exponent & kSoftExponentMask;
  const std::uint64_t m = x.significand;
  const unsigned up = e - (kSoftBias - 2);  // 0..21 from 1/4 up to 2^20, or wrapped
  const std::uint32_t k_magnitude =
      k < 0 ? 0u - static_cast<std::uint32_t>(k) : static_cast<std::uint32_t>(k);
  bool ok = (up < 22) & static_cast<bool>(m >> 63) & (k_magnitude < (1u << 20));
  // With m's last bit dropped, |x| = half * 2^(up - 64): floor(2|x|) and the
  // fraction of |x| in units of 2^-64.
  const std::uint64_t half = m >> 1;
  const unsigned s = up & 31;  // keeps the shifts defined when not taken
  const std::uint64_t twice = half >> (63 - s);
  const std::uint64_t fraction = half << s;
  ok &= fraction - ((std::uint64_t{1} << 63) - (std::uint64_t{1} << 24)) >=
        (std::uint64_t{1} << 25);
  const std::uint64_t magnitude = (twice + 1) >> 1;
  const std::uint64_t negative = 0 - static_cast<std::uint64_t>(x.sign_exponent >> 15);
  const auto offset = static_cast<std::uint64_t>(static_cast<std::int64_t>(k));
  r = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(offset + ((magnitude ^ negative) - negative)));
  return ok;
}

}  // namespace soft_detail
}  // namespace GRAIN_WIDE_NAMESPACE
}  // namespace runtime
