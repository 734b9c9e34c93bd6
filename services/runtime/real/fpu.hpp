#pragma once
// The x87 floating-point unit, shared by both targets, and its number type.
// Without an x87 there is no unit to reset and no control word to load: the
// software type keeps to FPUCW by itself.
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#define GRAIN_HAS_X87 1
#else
#define GRAIN_HAS_X87 0
#endif

#if GRAIN_HAS_X87
namespace runtime {

// The processor's own: on x86 the x87 type, whichever Extended is.
using X87Extended = long double;
static_assert(sizeof(X87Extended) >= 10 && __LDBL_MANT_DIG__ == 64,
              "x86 long double is expected to be the x87 80-bit type");

}  // namespace runtime
#endif

namespace runtime::fpu {

#if GRAIN_HAS_X87

// Resets the unit (clearing pending faults) and loads control word `cw`.
// fninit empties the register stack: every x87 register is clobbered, so
// the compiler keeps no value there across the call.
inline void reset_and_load(std::uint16_t cw) {
  __asm__ volatile("fninit\n\tfldcw %0"
                   :
                   : "m"(cw)
                   : "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)");
}

inline std::uint16_t control_word() {
  std::uint16_t cw;
  __asm__ volatile("fnstcw %0" : "=m"(cw));
  return cw;
}

// x as a 64-bit integer, rounded in the unit's current rounding mode; the
// rounded value must lie within the signed 64-bit range. A plain store: the control word
// is left alone.
inline std::int64_t round_in_current_mode(X87Extended x) {
  std::int64_t r;
  __asm__("fistpll %0" : "=m"(r) : "t"(x) : "st");
  return r;
}

// x truncated toward zero, exactly as static_cast<std::int64_t>(x), for
// |x| < 2^62. The compiler's cast switches the control word to chopping
// around the store (fnstcw, fldcw, fistp, fldcw), and each fldcw holds up
// the unit; here the store rounds in whatever mode is set, which gives
// floor(x) or ceil(x), and a result that went away from zero is taken one
// back. Exact: in that range the integer converts back without rounding,
// and the comparisons are exact.
inline std::int64_t truncate_toward_zero(X87Extended x) {
  const std::int64_t n = round_in_current_mode(x);
  const X87Extended back = static_cast<X87Extended>(n);
  // The sign stays the same from call to call (RANDOM's product with one
  // n), so this branch is well predicted; one on the comparison would not be.
  if (x >= 0) return n - static_cast<std::int64_t>(back > x);
  return n + static_cast<std::int64_t>(back < x);
}

#else

inline void reset_and_load(std::uint16_t) {}

#endif

}  // namespace runtime::fpu
