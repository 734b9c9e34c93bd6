#pragma once
// SORSOL, the same for every figure: a target drawn at random, and the
// point moved towards it.
#include "plotter/point.hpp"
#include "plotter/targets.hpp"
#include "services/runtime/random.hpp"

namespace plotter {

template <class Figure>
[[gnu::always_inline]] inline void SORSOL() {
  const Target<typename Figure::Real>& t =
      targets_for_meret<Figure>()[runtime::RANDOM<typename Figure::Real>(Figure::kTargets)];
  TRANSZF<Figure>(t.XX, t.YY);
}

}  // namespace plotter
