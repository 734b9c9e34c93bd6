#pragma once
// 64 x 64 -> 128-bit products and 128 / 64-bit quotients for the software
// extended real. The compiler's 128-bit integer where it has one; two 64-bit
// halves (32-bit digits) elsewhere. Defining GRAIN_WIDE_HALVES=1 forces the
// halves, so that both ways can be built and tested on one machine.
#include <bit>
#include <cstdint>
#include <type_traits>

#if !defined(GRAIN_WIDE_HALVES)
#if defined(__SIZEOF_INT128__)
#define GRAIN_WIDE_HALVES 0
#else
#define GRAIN_WIDE_HALVES 1
#endif
#endif

// The two ways give their inline routines different names, so that code
// built one way never links against the other's copies.
#if GRAIN_WIDE_HALVES
#define GRAIN_WIDE_NAMESPACE wide_halves
#else
#define GRAIN_WIDE_NAMESPACE wide_native
#endif

namespace runtime {
inline namespace GRAIN_WIDE_NAMESPACE {
namespace wide {

struct U128 {
  std::uint64_t hi;
  std::uint64_t lo;
};

// a * b, all 128 bits.
[[gnu::always_inline]] constexpr U128 mul(std::uint64_t a, std::uint64_t b) {
#if !GRAIN_WIDE_HALVES
  __extension__ using u128 = unsigned __int128;
  const u128 p = static_cast<u128>(a) * b;
  return {static_cast<std::uint64_t>(p >> 64), static_cast<std::uint64_t>(p)};
#else
  constexpr std::uint64_t kLow = 0xFFFF'FFFF;
  const std::uint64_t a0 = a & kLow, a1 = a >> 32, b0 = b & kLow, b1 = b >> 32;
  const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const std::uint64_t mid = (p00 >> 32) + (p01 & kLow) + (p10 & kLow);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & kLow)};
#endif
}

// a + b, modulo 2^128. (Through the compiler's 128-bit integer GCC builds
// the operands in memory and adds from there.)
[[gnu::always_inline]] constexpr U128 add(U128 a, U128 b) {
  const std::uint64_t lo = a.lo + b.lo;
  return {a.hi + b.hi + (lo < a.lo), lo};
}

// High 64 bits of a * b.
[[gnu::always_inline]] constexpr std::uint64_t mul_high(std::uint64_t a, std::uint64_t b) {
  return mul(a, b).hi;
}

struct QuotientRemainder {
  std::uint64_t quotient;
  std::uint64_t remainder;
};

// (hi * 2^64 + lo) / d for a divisor with its top bit set and hi < d, so
// that the quotient fits 64 bits.
constexpr QuotientRemainder divide(std::uint64_t hi, std::uint64_t lo, std::uint64_t d) {
#if !GRAIN_WIDE_HALVES
  if (!std::is_constant_evaluated()) {
#if defined(__x86_64__)
    std::uint64_t q, r;
    __asm__("divq %4" : "=a"(q), "=d"(r) : "a"(lo), "d"(hi), "rm"(d) : "cc");
    return {q, r};
#endif
  }
  __extension__ using u128 = unsigned __int128;
  const u128 n = (static_cast<u128>(hi) << 64) | lo;
  return {static_cast<std::uint64_t>(n / d), static_cast<std::uint64_t>(n % d)};
#else
  // Long division in base 2^32, two digits of quotient, each estimated from
  // the divisor's top digit and corrected at most twice.
  constexpr std::uint64_t kBase = std::uint64_t{1} << 32;
  const std::uint64_t d1 = d >> 32, d0 = d & (kBase - 1);
  const std::uint64_t n1 = lo >> 32, n0 = lo & (kBase - 1);
  std::uint64_t q1 = hi / d1, rhat = hi - q1 * d1;
  while (q1 >= kBase || q1 * d0 > ((rhat << 32) | n1)) {
    --q1;
    rhat += d1;
    if (rhat >= kBase) break;
  }
  const std::uint64_t mid = (hi << 32) + n1 - q1 * d;  // < d, all mod 2^64
  std::uint64_t q0 = mid / d1;
  rhat = mid - q0 * d1;
  while (q0 >= kBase || q0 * d0 > ((rhat << 32) | n0)) {
    --q0;
    rhat += d1;
    if (rhat >= kBase) break;
  }
  return {(q1 << 32) + q0, (mid << 32) + n0 - q0 * d};
#endif
}

}  // namespace wide
}  // namespace GRAIN_WIDE_NAMESPACE
}  // namespace runtime
