#pragma once
// A figure's targets, worked out once for the current MERET rather than on
// every step. A switch on the drawn index is an indirect jump that the
// processor guesses wrong about five times in six, and each wrong guess
// throws away the work of the steps after it; an indexed load has nothing to
// guess. The table holds exactly the values of the figure's own expressions
// (Figure::target), and is built again whenever MERET has changed.
#include <cstdint>

#include "plotter/point.hpp"

namespace plotter {

template <class Real>
struct Target {
  Real XX, YY;
};

// One table per figure (and so per number type). Figure supplies Real,
// kTargets and target(index, M).
template <class Figure>
struct TargetTable {
  inline static Target<typename Figure::Real> entries[Figure::kTargets];
  inline static std::int32_t built_for = -1;  // the MERET they were built for; -1: none yet
};

template <class Figure>
[[gnu::noinline]] void build_targets() {
  using Table = TargetTable<Figure>;
  using Real = typename Figure::Real;
  const Real M = Real(static_cast<std::int32_t>(MERET));
  for (std::int32_t i = 0; i < Figure::kTargets; ++i) Table::entries[i] = Figure::target(i, M);
  Table::built_for = MERET;
}

// The figure's targets for the current MERET, indexed by RANDOM's draw.
template <class Figure>
[[gnu::always_inline]] inline const Target<typename Figure::Real>* targets_for_meret() {
  using Table = TargetTable<Figure>;
  if (MERET != Table::built_for) [[unlikely]]
    build_targets<Figure>();
  return Table::entries;
}

}  // namespace plotter
