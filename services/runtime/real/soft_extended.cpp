// The software extended real's general cases: every operand class, every
// result range, and the flags the x87 would raise.
#include "services/runtime/real/soft_extended.hpp"

#include <bit>
#include <cstdint>

#include "services/runtime/system.hpp"

namespace runtime {
inline namespace GRAIN_WIDE_NAMESPACE {

namespace {

constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;  // also the integer bit
constexpr std::uint64_t kQuietBit = std::uint64_t{1} << 62;
constexpr int kMaxExponent = kSoftExponentMask;  // 0x7FFF: infinities and NaNs

enum class Kind { zero, finite, infinite, quiet_nan, signalling_nan, unsupported };

// A finite non-zero value is significand * 2^(exponent - kSoftBias - 63),
// significand normalized (top bit set) and exponent possibly below 1.
struct Parts {
  Kind kind;
  bool negative;
  int exponent;
  std::uint64_t significand;
};

Parts unpack(SoftExtended x) {
  Parts p{Kind::finite, (x.sign_exponent & kSoftSignBit) != 0, x.sign_exponent & kSoftExponentMask,
          x.significand};
  const bool integer_bit = (x.significand & kSoftIntegerBit) != 0;
  if (p.exponent == kMaxExponent) {
    if (!integer_bit)
      p.kind = Kind::unsupported;
    else if ((x.significand << 1) == 0)
      p.kind = Kind::infinite;
    else
      p.kind = (x.significand & kQuietBit) ? Kind::quiet_nan : Kind::signalling_nan;
  } else if (p.exponent == 0) {
    if (x.significand == 0) {
      p.kind = Kind::zero;
    } else {
      // Denormal, or pseudo-denormal with the integer bit already set.
      const int shift = std::countl_zero(x.significand);
      p.significand <<= shift;
      p.exponent = 1 - shift;
    }
  } else if (!integer_bit) {
    p.kind = Kind::unsupported;  // unnormal
  }
  return p;
}

bool is_nan(Kind k) { return k == Kind::quiet_nan || k == Kind::signalling_nan; }

// An operand that makes the result nan_result's.
bool nan_or_unsupported(const Parts& pa, const Parts& pb) {
  return pa.kind == Kind::unsupported || pb.kind == Kind::unsupported || is_nan(pa.kind) ||
         is_nan(pb.kind);
}

// hi:lo shifted right by n, the bits shifted out of lo folded into its
// lowest bit.
wide::U128 shift_right_sticky(std::uint64_t hi, std::uint64_t lo, unsigned n) {
  if (n == 0) return {hi, lo};
  if (n < 64) return {hi >> n, (lo >> n) | (hi << (64 - n)) | ((lo << (64 - n)) != 0)};
  if (n < 128) {
    const unsigned k = n - 64;
    const bool sticky = lo != 0 || (k != 0 && (hi << (64 - k)) != 0);
    return {0, (k == 0 ? hi : hi >> k) | sticky};
  }
  return {0, (hi | lo) != 0};
}

SoftExtended pack(bool negative, int exponent, std::uint64_t significand) {
  return SoftExtended::from_bits(
      static_cast<std::uint16_t>((negative ? kSoftSignBit : 0) | exponent), significand);
}

SoftExtended zero(bool negative) { return pack(negative, 0, 0); }
SoftExtended infinity(bool negative) { return pack(negative, kMaxExponent, kSoftIntegerBit); }

// Rounds significand + rest / 2^64 (significand normalized) to nearest even
// at 64 bits, or at the denormal's precision when the exponent lies below
// the normal range, and packs it; too large: overflow, an infinity.
SoftExtended round_pack(bool negative, int exponent, std::uint64_t significand, std::uint64_t rest,
                        unsigned& flags) {
  if (exponent <= 0) {
    // Denormal: shifted right to the exponent field 0's scale.
    const wide::U128 shifted =
        shift_right_sticky(significand, rest, static_cast<unsigned>(1 - exponent));
    significand = shifted.hi;
    rest = shifted.lo;
    const bool up = rest > kHalf || (rest == kHalf && (significand & 1));
    significand += up;
    // Rounded up to the smallest normal: the integer bit says so.
    return pack(negative, (significand & kSoftIntegerBit) ? 1 : 0, significand);
  }
  const bool up = rest > kHalf || (rest == kHalf && (significand & 1));
  significand += up;
  if (significand == 0) {  // carried out: 2^64
    significand = kSoftIntegerBit;
    ++exponent;
  }
  if (exponent >= kMaxExponent) {
    flags |= kSoftOverflow;
    return infinity(negative);
  }
  return pack(negative, exponent, significand);
}

// Normalizes hi:lo (not zero) and rounds it; the value is
// (hi + lo / 2^64) * 2^(exponent - kSoftBias - 63).
SoftExtended normalize_round_pack(bool negative, int exponent, std::uint64_t hi, std::uint64_t lo,
                                  unsigned& flags) {
  if (hi == 0) {
    hi = lo;
    lo = 0;
    exponent -= 64;
  }
  const int shift = std::countl_zero(hi);
  if (shift != 0) {
    hi = (hi << shift) | (lo >> (64 - shift));
    lo <<= shift;
    exponent -= shift;
  }
  return round_pack(negative, exponent, hi, lo, flags);
}

SoftExtended quiet(SoftExtended x) {
  return SoftExtended::from_bits(x.sign_exponent, x.significand | kQuietBit);
}

// The result of an operation with at least one NaN or unsupported operand
// (`ka`, `kb` their kinds).
SoftExtended nan_result(SoftExtended a, Kind ka, SoftExtended b, Kind kb, unsigned& flags) {
  if (ka == Kind::unsupported || kb == Kind::unsupported) {
    flags |= kSoftInvalid;
    return kSoftDefaultNaN;
  }
  if (ka == Kind::signalling_nan || kb == Kind::signalling_nan) flags |= kSoftInvalid;
  if (!is_nan(kb)) return quiet(a);
  if (!is_nan(ka)) return quiet(b);
  // Both NaNs: the larger significand as it stands (signalling or not);
  // between equal ones, the positive one.
  if (a.significand != b.significand) return quiet(a.significand > b.significand ? a : b);
  return quiet((a.sign_exponent & kSoftSignBit) ? b : a);
}

SoftExtended add_parts(SoftExtended a, SoftExtended b, bool negate_b, unsigned& flags) {
  const Parts pa = unpack(a);
  Parts pb = unpack(b);
  if (nan_or_unsupported(pa, pb)) return nan_result(a, pa.kind, b, pb.kind, flags);
  pb.negative ^= negate_b;
  if (pa.kind == Kind::infinite || pb.kind == Kind::infinite) {
    if (pa.kind == Kind::infinite && pb.kind == Kind::infinite && pa.negative != pb.negative) {
      flags |= kSoftInvalid;
      return kSoftDefaultNaN;
    }
    return infinity(pa.kind == Kind::infinite ? pa.negative : pb.negative);
  }
  if (pa.kind == Kind::zero && pb.kind == Kind::zero)
    return zero(pa.negative && pb.negative);  // exact zero sum: +0 unless both -0
  if (pb.kind == Kind::zero) return round_pack(pa.negative, pa.exponent, pa.significand, 0, flags);
  if (pa.kind == Kind::zero) return round_pack(pb.negative, pb.exponent, pb.significand, 0, flags);

  // |big| >= |small|
  const bool swap =
      pb.exponent > pa.exponent || (pb.exponent == pa.exponent && pb.significand > pa.significand);
  const Parts& big = swap ? pb : pa;
  const Parts& small = swap ? pa : pb;
  const unsigned d = static_cast<unsigned>(big.exponent - small.exponent);
  // small aligned to big as hi:lo
  const wide::U128 aligned = shift_right_sticky(small.significand, 0, d);
  const std::uint64_t shi = aligned.hi, slo = aligned.lo;
  if (big.negative == small.negative) {
    std::uint64_t lo = slo;  // big's lo is 0
    std::uint64_t hi = big.significand + shi;
    int exponent = big.exponent;
    if (hi < big.significand) {  // carry: shift right one, keeping the sticky bit
      lo = (lo >> 1) | (lo & 1) | (hi << 63);
      hi = (hi >> 1) | kHalf;
      ++exponent;
    }
    return round_pack(big.negative, exponent, hi, lo, flags);
  }
  const std::uint64_t lo = 0 - slo;
  const std::uint64_t hi = big.significand - shi - (slo != 0);
  if (hi == 0 && lo == 0) return zero(false);  // exact cancellation: +0
  return normalize_round_pack(big.negative, big.exponent, hi, lo, flags);
}

// The quotient's rounding information from the remainder of a division by
// d: above half, exactly half, below half but not zero, zero.
std::uint64_t rest_of(std::uint64_t remainder, std::uint64_t d) {
  if (remainder == 0) return 0;
  const std::uint64_t other = d - remainder;
  if (remainder > other) return kHalf | 1;
  if (remainder == other) return kHalf;
  return 1;
}

}  // namespace

void soft_fault(unsigned flags) {
  const std::uint16_t error = (flags & kSoftInvalid) ? 207 : (flags & kSoftZeroDivide) ? 200 : 205;
  HANDLEERRORADDRFRAME(error, RUNTIME_CALL_SITE(), RUNTIME_CALLER_FRAME());
}

SoftExtended add_flagged(SoftExtended a, SoftExtended b, unsigned& flags) {
  return add_parts(a, b, false, flags);
}

SoftExtended sub_flagged(SoftExtended a, SoftExtended b, unsigned& flags) {
  return add_parts(a, b, true, flags);
}

SoftExtended mul_flagged(SoftExtended a, SoftExtended b, unsigned& flags) {
  const Parts pa = unpack(a), pb = unpack(b);
  if (nan_or_unsupported(pa, pb)) return nan_result(a, pa.kind, b, pb.kind, flags);
  const bool negative = pa.negative != pb.negative;
  if (pa.kind == Kind::infinite || pb.kind == Kind::infinite) {
    if (pa.kind == Kind::zero || pb.kind == Kind::zero) {
      flags |= kSoftInvalid;
      return kSoftDefaultNaN;
    }
    return infinity(negative);
  }
  if (pa.kind == Kind::zero || pb.kind == Kind::zero) return zero(negative);
  const wide::U128 p = wide::mul(pa.significand, pb.significand);
  return normalize_round_pack(negative, pa.exponent + pb.exponent - kSoftBias + 1, p.hi, p.lo,
                              flags);
}

namespace {

// Both finite and non-zero.
SoftExtended divide_parts(const Parts& pa, const Parts& pb, unsigned& flags) {
  const bool negative = pa.negative != pb.negative;
  const std::uint64_t d = pb.significand;
  // Quotient of 64 bits with its top bit set: numerator a * 2^63 or a * 2^64.
  const bool at_least = pa.significand >= d;
  const std::uint64_t hi = at_least ? pa.significand >> 1 : pa.significand;
  const std::uint64_t lo = at_least ? pa.significand << 63 : 0;
  const wide::QuotientRemainder qr = wide::divide(hi, lo, d);
  return round_pack(negative, pa.exponent - pb.exponent + kSoftBias - 1 + at_least, qr.quotient,
                    rest_of(qr.remainder, d), flags);
}

// Division's special operands; false when both are finite and non-zero.
bool divide_special(SoftExtended a, const Parts& pa, SoftExtended b, const Parts& pb,
                    SoftExtended& r, unsigned& flags) {
  if (nan_or_unsupported(pa, pb)) {
    r = nan_result(a, pa.kind, b, pb.kind, flags);
    return true;
  }
  const bool negative = pa.negative != pb.negative;
  if (pa.kind == Kind::infinite || pb.kind == Kind::infinite) {
    if (pa.kind == pb.kind) {
      flags |= kSoftInvalid;
      r = kSoftDefaultNaN;
    } else {
      r = pa.kind == Kind::infinite ? infinity(negative) : zero(negative);
    }
    return true;
  }
  if (pb.kind == Kind::zero) {
    if (pa.kind == Kind::zero) {
      flags |= kSoftInvalid;
      r = kSoftDefaultNaN;
    } else {
      flags |= kSoftZeroDivide;
      r = infinity(negative);
    }
    return true;
  }
  if (pa.kind == Kind::zero) {
    r = zero(negative);
    return true;
  }
  return false;
}

}  // namespace

SoftExtended div_flagged(SoftExtended a, SoftExtended b, unsigned& flags) {
  const Parts pa = unpack(a), pb = unpack(b);
  SoftExtended r;
  if (divide_special(a, pa, b, pb, r, flags)) return r;
  return divide_parts(pa, pb, flags);
}

SoftExtended div_flagged(SoftExtended a, const SoftDivisor& d, unsigned& flags) {
  return div_flagged(a, d.value, flags);
}

SoftExtended from_double_flagged(double d, unsigned& flags) {
  const auto bits = std::bit_cast<std::uint64_t>(d);
  const bool is_nan = ((bits >> 52) & 0x7FF) == 0x7FF && (bits << 12) != 0;
  if (!is_nan) return SoftExtended(d);
  const bool signalling = (bits & (std::uint64_t{1} << 51)) == 0;
  if (signalling) flags |= kSoftInvalid;
  return SoftExtended::from_bits(
      static_cast<std::uint16_t>((bits >> 63 ? kSoftSignBit : 0) | kMaxExponent),
      kSoftIntegerBit | kQuietBit | (bits << 11));
}

SoftOrder compare_flagged(SoftExtended a, SoftExtended b, bool signalling, unsigned& flags) {
  const Parts pa = unpack(a), pb = unpack(b);
  if (pa.kind == Kind::unsupported || pb.kind == Kind::unsupported) {
    flags |= kSoftInvalid;
    return SoftOrder::unordered;
  }
  if (is_nan(pa.kind) || is_nan(pb.kind)) {
    if (signalling || pa.kind == Kind::signalling_nan || pb.kind == Kind::signalling_nan)
      flags |= kSoftInvalid;
    return SoftOrder::unordered;
  }
  // Magnitudes: zero < finite (by exponent, then significand) < infinity.
  auto rank = [](const Parts& p) {
    return p.kind == Kind::zero ? 0 : p.kind == Kind::finite ? 1 : 2;
  };
  const int ra = rank(pa), rb = rank(pb);
  if (ra == 0 && rb == 0) return SoftOrder::equal;
  int magnitude;  // sign of |a| - |b|
  if (ra != rb)
    magnitude = ra < rb ? -1 : 1;
  else if (ra == 2)
    magnitude = 0;
  else if (pa.exponent != pb.exponent)
    magnitude = pa.exponent < pb.exponent ? -1 : 1;
  else
    magnitude = pa.significand < pb.significand ? -1 : pa.significand > pb.significand ? 1 : 0;
  const bool na = ra != 0 && pa.negative, nb = rb != 0 && pb.negative;
  if (na != nb) return na ? SoftOrder::less : SoftOrder::greater;
  if (magnitude == 0) return SoftOrder::equal;
  return (magnitude < 0) != na ? SoftOrder::less : SoftOrder::greater;
}

namespace {

// x rounded or truncated to an integer of magnitude at most `max_positive`
// (+1 for a negative result); otherwise invalid and `indefinite`.
std::int64_t to_integer(SoftExtended x, SoftRound mode, std::uint64_t max_positive,
                        std::int64_t indefinite, unsigned& flags) {
  const Parts p = unpack(x);
  if (p.kind == Kind::zero) return 0;
  if (p.kind != Kind::finite) {
    flags |= kSoftInvalid;
    return indefinite;
  }
  const int e = p.exponent - kSoftBias;  // value = significand * 2^(e - 63)
  std::uint64_t magnitude;
  if (e >= 64) {
    flags |= kSoftInvalid;
    return indefinite;
  }
  if (e == 63) {
    magnitude = p.significand;
  } else if (e < -1) {
    magnitude = 0;  // below one half
  } else {
    const unsigned shift = static_cast<unsigned>(63 - e);  // 1..64
    magnitude = shift == 64 ? 0 : p.significand >> shift;
    const std::uint64_t fraction = p.significand << (64 - shift);
    if (mode == SoftRound::nearest)
      magnitude += fraction > kHalf || (fraction == kHalf && (magnitude & 1));
  }
  if (magnitude > max_positive + (p.negative ? 1 : 0)) {
    flags |= kSoftInvalid;
    return indefinite;
  }
  return p.negative ? static_cast<std::int64_t>(0 - magnitude)
                    : static_cast<std::int64_t>(magnitude);
}

}  // namespace

std::int64_t to_int64_flagged(SoftExtended x, SoftRound mode, unsigned& flags) {
  return to_integer(x, mode, 0x7FFF'FFFF'FFFF'FFFF, INT64_MIN, flags);
}

std::int32_t to_int32_flagged(SoftExtended x, SoftRound mode, unsigned& flags) {
  return static_cast<std::int32_t>(to_integer(x, mode, 0x7FFF'FFFF, INT32_MIN, flags));
}

std::uint64_t add_to_int32_flagged(SoftExtended x, std::int32_t k) {
  unsigned flags = 0;
  const SoftExtended sum = add_flagged(x, SoftExtended(k), flags);
  if (flags & kSoftUnmasked) return std::uint64_t{flags} << 32;  // the add faults first
  const std::int32_t r = to_int32_flagged(sum, SoftRound::nearest, flags);
  return (std::uint64_t{flags} << 32) | static_cast<std::uint32_t>(r);
}

}  // namespace GRAIN_WIDE_NAMESPACE
}  // namespace runtime
