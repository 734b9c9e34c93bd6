#pragma once
// The point, the figure size and the step that moves the point (TRANSZF).
//
// The point is kept once per number type: the programs use Extended's, X
// and Y; the tests run the same code on the other type beside it.
#include <cstdint>

#include "services/runtime/real/extended.hpp"

namespace plotter {

template <class Real>
struct Point {
  inline static Real X = Real(0.0);  // current point, figure units (1 unit = 1 pixel)
  inline static Real Y = Real(0.0);  // positive y is downward on the screen
};

inline constexpr runtime::Extended& X = Point<runtime::Extended>::X;
inline constexpr runtime::Extended& Y = Point<runtime::Extended>::Y;

extern std::uint16_t MERET;  // figure size, set by the main program's first statement

// One contraction step towards the target (XX, YY), in extended precision:
// X is written before Y is worked out. Figure supplies its number type Real
// and its divisor kDivisor (a constant: inlined, the step divides by it).
// The target is taken by value: both coordinates are loaded before X is
// stored, which could otherwise be the same memory as YY.
template <class Figure>
[[gnu::always_inline]] inline void TRANSZF(typename Figure::Real XX, typename Figure::Real YY) {
  using P = Point<typename Figure::Real>;
  P::X = runtime::add_then_divide(XX, P::X, Figure::kDivisor);  // (XX + X) / kDivisor
  P::Y = runtime::add_then_divide(YY, P::Y, Figure::kDivisor);
}

}  // namespace plotter
