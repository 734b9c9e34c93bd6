#pragma once
// The x87 floating-point unit, shared by both targets.
#include <cstdint>

namespace runtime::fpu {

// Resets the unit (clearing pending faults) and loads control word `cw`.
inline void reset_and_load(std::uint16_t cw) {
  __asm__ volatile("fninit\n\tfldcw %0" : : "m"(cw));
}

inline std::uint16_t control_word() {
  std::uint16_t cw;
  __asm__ volatile("fnstcw %0" : "=m"(cw));
  return cw;
}

}  // namespace runtime::fpu
