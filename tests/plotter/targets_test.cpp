// Each figure's target table against the figure's expressions written out
// plainly, for every MERET, and the step taken with it against a step that
// works the target out afresh, with MERET changing under way; for the
// programs' number type and, where there is one, the other.
#include <gtest/gtest.h>

#include <cstdint>

#include "plotter/five_point.hpp"
#include "plotter/six_point.hpp"
#include "plotter/point.hpp"
#include "plotter/sorsol.hpp"
#include "services/runtime/random.hpp"
#include "tests/runtime/extended_bits.hpp"

namespace {

using testbits::same_bits;

// The targets as the figures define them, computed from M at each use.
template <class Real>
plotter::Target<Real> six_point_target(std::int32_t i, std::uint16_t meret) {
  const Real M(static_cast<std::int32_t>(meret));
  const Real S = plotter::SixPointFigure<Real>::kSqrt3, two(2.0), four(4.0), zero(0.0);
  switch (i) {
    case 0: return {zero, (-M) * S / two};
    case 1: return {-M, M * S / two};
    case 2: return {M, M * S / two};
    case 3: return {zero, M * S / four};
    case 4: return {(-M) / two, (-M) * S / four};
    default: return {M / two, (-M) * S / four};
  }
}

template <class Real>
plotter::Target<Real> five_point_target(std::int32_t i, std::uint16_t meret) {
  const Real M(static_cast<std::int32_t>(meret)), zero(0.0);
  const Real xs[] = {zero, -M, -M, M, M}, ys[] = {zero, -M, M, -M, M};
  return {xs[i], ys[i]};
}

template <class Figure, class Plain>
void expect_table_for_every_meret(Plain plain) {
  for (std::uint32_t m = 0; m <= UINT16_MAX; ++m) {
    plotter::MERET = static_cast<std::uint16_t>(m);
    const auto* table = plotter::targets_for_meret<Figure>();
    for (std::int32_t i = 0; i < Figure::kTargets; ++i) {
      const auto t = plain(i, plotter::MERET);
      ASSERT_TRUE(same_bits(table[i].XX, t.XX) && same_bits(table[i].YY, t.YY))
          << "MERET " << m << ", target " << i;
    }
  }
}

template <class Real>
void expect_tables_for_every_meret() {
  expect_table_for_every_meret<plotter::SixPointFigure<Real>>(six_point_target<Real>);
  expect_table_for_every_meret<plotter::FivePointFigure<Real>>(five_point_target<Real>);
}

TEST(TargetTable, HoldsTheFiguresTargetsForEveryMeret) {
  expect_tables_for_every_meret<runtime::SoftExtended>();
#if GRAIN_HAS_X87
  expect_tables_for_every_meret<runtime::X87Extended>();
#endif
}

// SORSOL against the plain step: the same draw, the target worked out from
// MERET, the same contraction. MERET changes every few hundred steps, back
// to earlier values too, so a table left stale would show.
template <class Figure, class Plain>
void expect_steps_as_plain(Plain plain) {
  using Real = typename Figure::Real;
  using Point = plotter::Point<Real>;
  const std::uint16_t sizes[] = {Figure::kSize, 1, 0, 65535, 640, 1600, Figure::kSize};
  runtime::reset_random();
  runtime::RANDSEED = 4242;
  Point::X = Real(0.0);
  Point::Y = Real(0.0);
  Real x(0.0), y(0.0);
  for (int step = 0; step < 7 * 300; ++step) {
    plotter::MERET = sizes[step / 300];
    // The plain step's draw, from a copy of the generator state.
    const std::uint32_t s1 = runtime::RANDSEED, s2 = runtime::SEED2, s3 = runtime::SEED3,
                        old = runtime::OLDRANDSEED;
    const bool initial = runtime::INITIALSEED;
    const auto t = plain(runtime::RANDOM<Real>(Figure::kTargets), plotter::MERET);
    x = (t.XX + x) / Figure::kDivisor;
    y = (t.YY + y) / Figure::kDivisor;
    runtime::RANDSEED = s1;
    runtime::SEED2 = s2;
    runtime::SEED3 = s3;
    runtime::OLDRANDSEED = old;
    runtime::INITIALSEED = initial;

    plotter::SORSOL<Figure>();
    ASSERT_TRUE(same_bits(Point::X, x) && same_bits(Point::Y, y))
        << "step " << step << ", MERET " << plotter::MERET;
  }
}

template <class Real>
void expect_both_step_as_plain() {
  expect_steps_as_plain<plotter::SixPointFigure<Real>>(six_point_target<Real>);
  expect_steps_as_plain<plotter::FivePointFigure<Real>>(five_point_target<Real>);
}

TEST(TargetTable, StepsAsThePlainStepWhileMeretChanges) {
  expect_both_step_as_plain<runtime::SoftExtended>();
#if GRAIN_HAS_X87
  expect_both_step_as_plain<runtime::X87Extended>();
#endif
}

}  // namespace
