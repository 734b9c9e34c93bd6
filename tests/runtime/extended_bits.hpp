#pragma once
// The 80 bits of an extended value of either type, for comparing the two
// types with each other and each with itself.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "services/runtime/real/extended.hpp"
#include "services/runtime/real/soft_extended.hpp"

namespace testbits {

struct Bits {
  std::uint16_t sign_exponent;
  std::uint64_t significand;
  bool operator==(const Bits&) const = default;
};

inline Bits bits_of(const runtime::SoftExtended& x) { return {x.sign_exponent, x.significand}; }

#if GRAIN_HAS_X87
inline Bits bits_of(runtime::X87Extended x) {
  Bits b;
  std::memcpy(&b.significand, &x, 8);
  std::memcpy(&b.sign_exponent, reinterpret_cast<const char*>(&x) + 8, 2);
  return b;
}
#endif

template <class A, class B>
bool same_bits(const A& a, const B& b) {
  return bits_of(a) == bits_of(b);
}

inline std::ostream& operator<<(std::ostream& out, const Bits& b) {
  char text[32];
  std::snprintf(text, sizeof text, "%04X:%016llX", b.sign_exponent,
                static_cast<unsigned long long>(b.significand));
  return out << text;
}

}  // namespace testbits
