// Each figure's target table against the figure's expressions written out
// plainly, for every MERET, and the step taken with it against a step that
// works the target out afresh, with MERET changing under way.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "plotter/five_point.hpp"
#include "plotter/six_point.hpp"
#include "plotter/point.hpp"
#include "services/runtime/random.hpp"

namespace {

using runtime::Extended;

bool same_bits(Extended a, Extended b) { return std::memcmp(&a, &b, 10) == 0; }

// The targets as the figures define them, computed from M at each use.
plotter::Target six_point_target(std::int32_t i, std::uint16_t meret) {
  const Extended M = meret;
  const Extended S = 1.7320508075688772936L;
  switch (i) {
    case 0: return {0, (-M) * S / 2.0L};
    case 1: return {-M, M * S / 2.0L};
    case 2: return {M, M * S / 2.0L};
    case 3: return {0, M * S / 4.0L};
    case 4: return {(-M) / 2.0L, (-M) * S / 4.0L};
    default: return {M / 2.0L, (-M) * S / 4.0L};
  }
}

plotter::Target five_point_target(std::int32_t i, std::uint16_t meret) {
  const Extended M = meret;
  const Extended xs[] = {0, -M, -M, M, M}, ys[] = {0, -M, M, -M, M};
  return {xs[i], ys[i]};
}

template <class Figure, class Plain>
void expect_table_for_every_meret(Plain plain) {
  for (std::uint32_t m = 0; m <= UINT16_MAX; ++m) {
    plotter::MERET = static_cast<std::uint16_t>(m);
    const plotter::Target* table = plotter::targets_for_meret<Figure>();
    for (std::int32_t i = 0; i < Figure::kTargets; ++i) {
      const plotter::Target t = plain(i, plotter::MERET);
      ASSERT_TRUE(same_bits(table[i].XX, t.XX) && same_bits(table[i].YY, t.YY))
          << "MERET " << m << ", target " << i;
    }
  }
}

TEST(TargetTable, HoldsTheFiguresTargetsForEveryMeret) {
  expect_table_for_every_meret<plotter::SixPoint>(six_point_target);
  expect_table_for_every_meret<plotter::FivePoint>(five_point_target);
}

// SORSOL against the plain step: the same draw, the target worked out from
// MERET, the same contraction. MERET changes every few hundred steps, back
// to earlier values too, so a table left stale would show.
template <class Figure, class Plain>
void expect_steps_as_plain(Plain plain) {
  const std::uint16_t sizes[] = {Figure::kSize, 1, 0, 65535, 640, 1600, Figure::kSize};
  runtime::reset_random();
  runtime::RANDSEED = 4242;
  plotter::X = 0;
  plotter::Y = 0;
  Extended x = 0, y = 0;
  for (int step = 0; step < 7 * 300; ++step) {
    plotter::MERET = sizes[step / 300];
    // The plain step's draw, from a copy of the generator state.
    const std::uint32_t s1 = runtime::RANDSEED, s2 = runtime::SEED2, s3 = runtime::SEED3,
                        old = runtime::OLDRANDSEED;
    const bool initial = runtime::INITIALSEED;
    const plotter::Target t = plain(runtime::RANDOM(Figure::kTargets), plotter::MERET);
    x = (t.XX + x) / Figure::kDivisor;
    y = (t.YY + y) / Figure::kDivisor;
    runtime::RANDSEED = s1;
    runtime::SEED2 = s2;
    runtime::SEED3 = s3;
    runtime::OLDRANDSEED = old;
    runtime::INITIALSEED = initial;

    Figure::SORSOL();
    ASSERT_TRUE(same_bits(plotter::X, x) && same_bits(plotter::Y, y))
        << "step " << step << ", MERET " << plotter::MERET;
  }
}

TEST(TargetTable, StepsAsThePlainStepWhileMeretChanges) {
  expect_steps_as_plain<plotter::SixPoint>(six_point_target);
  expect_steps_as_plain<plotter::FivePoint>(five_point_target);
}

}  // namespace
