#pragma once
// The x87 floating-point unit, shared by both targets.
#include <cstdint>

namespace runtime::fpu {

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

}  // namespace runtime::fpu
