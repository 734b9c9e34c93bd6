#pragma once
// Rounding and range checks on the hot path: no system call, no allocation.
#include <cstdint>

#include "services/runtime/real/extended.hpp"

namespace runtime {

// Cold paths: raise run-time error 207 / 201 for the routine that called
// ROUND / INT_BOUNDCHECK.
[[noreturn]] void round_failed();
[[noreturn]] void boundcheck_failed();

// Nearest integer, ties to even; outside the signed 32-bit range or not a
// number: run-time error 207, reported at the routine ROUND is inlined into.
#if GRAIN_HAS_X87
[[gnu::always_inline]] inline std::int32_t ROUND(X87Extended x) {
  // Exactly the values that round into -2^31 .. 2^31-1; false for NaN.
  if (!(x >= -2147483648.5L && x < 2147483647.5L)) round_failed();
  return round_to_int32(x);
}
#endif

// The software conversion checks the range itself, as fistp does: two
// comparisons beforehand would cost more than the conversion.
[[gnu::always_inline]] inline std::int32_t ROUND(const SoftExtended& x) {
  return round_to_int32(x);
}

// Returns when low <= v <= high; otherwise run-time error 201 at the caller.
[[gnu::always_inline]] inline void INT_BOUNDCHECK(std::int32_t v, std::int32_t low,
                                                  std::int32_t high) {
  if (v < low || v > high) boundcheck_failed();
}

}  // namespace runtime
