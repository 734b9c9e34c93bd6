// The plotter's own code on the software extended real against the same
// code on the x87: the figures' constants, the pixels the loop plots, and
// X and Y after every one of millions of steps, bit for bit. Skipped where
// there is no x87 to compare with.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "plotter/five_point.hpp"
#include "plotter/plotter.hpp"
#include "plotter/six_point.hpp"
#include "services/runtime/random.hpp"
#include "tests/plotter/recorder.hpp"
#include "tests/runtime/control_word.hpp"
#include "tests/runtime/extended_bits.hpp"

namespace {

class SoftPlotter : public UnderStartUpControlWord {};

#if GRAIN_HAS_X87

using runtime::SoftExtended;
using runtime::X87Extended;
using testbits::bits_of;

// Seeds as RANDOMIZE gives them (1000003 and up reseed twice), and small ones.
constexpr std::uint32_t kSeeds[] = {0, 12345, 1000003, 86400000u, 4294967295u};

TEST_F(SoftPlotter, FigureConstantsAreTheX87Literals) {
  EXPECT_EQ(plotter::SixPointFigure<X87Extended>::kSqrt3, 1.7320508075688772936L);
  EXPECT_EQ(plotter::FivePointFigure<X87Extended>::kDivisor, 3.02L);
  EXPECT_EQ(plotter::SixPointFigure<X87Extended>::kDivisor, 6.0L);
  EXPECT_EQ(bits_of(plotter::SixPointFigure<SoftExtended>::kSqrt3),
            bits_of(1.7320508075688772936L));
  EXPECT_EQ(bits_of(plotter::FivePointFigure<SoftExtended>::kDivisor.value), bits_of(3.02L));
  EXPECT_EQ(bits_of(plotter::SixPointFigure<SoftExtended>::kDivisor.value), bits_of(6.0L));
}

// The loop itself (start point, SORSOL, YKOORD, XKOORD, PUTPIXEL) for each
// type, into the recorder.
template <template <class> class Figure>
void expect_same_pixels(std::size_t count) {
  for (std::uint32_t seed : kSeeds) {
    const std::vector<plottertest::Pixel> soft =
        plottertest::run_loop<Figure<SoftExtended>>(count, seed);
    const std::vector<plottertest::Pixel> x87 =
        plottertest::run_loop<Figure<X87Extended>>(count, seed);
    ASSERT_EQ(soft.size(), count);
    ASSERT_TRUE(soft == x87) << "seed " << seed;
  }
}

TEST_F(SoftPlotter, SixPointPixelsAreTheX87s) {
  expect_same_pixels<plotter::SixPointFigure>(200'000);
}

TEST_F(SoftPlotter, FivePointPixelsAreTheX87s) {
  expect_same_pixels<plotter::FivePointFigure>(200'000);
}

// The generator's words, so that both types step on one sequence of draws.
struct Words {
  std::uint32_t seed, old_seed, seed2, seed3;
  bool initial;
  static Words now() {
    return {runtime::RANDSEED, runtime::OLDRANDSEED, runtime::SEED2, runtime::SEED3,
            runtime::INITIALSEED};
  }
  void restore() const {
    runtime::RANDSEED = seed;
    runtime::OLDRANDSEED = old_seed;
    runtime::SEED2 = seed2;
    runtime::SEED3 = seed3;
    runtime::INITIALSEED = initial;
  }
};

// SORSOL of each type in turn from the same words, X and Y compared after
// every step; the point never leaves the figure, so every step is a real
// rounding of a fresh sum and quotient.
template <template <class> class Figure>
void expect_same_steps(std::uint32_t seed, long steps) {
  using Soft = Figure<SoftExtended>;
  using X87 = Figure<X87Extended>;
  using SoftPoint = plotter::Point<SoftExtended>;
  using X87Point = plotter::Point<X87Extended>;
  plotter::MERET = Soft::kSize;
  runtime::reset_random();
  runtime::RANDSEED = seed;
  SoftPoint::X = SoftExtended(0.0);
  SoftPoint::Y = SoftExtended(0.0);
  X87Point::X = 0;
  X87Point::Y = 0;
  for (long i = 0; i < steps; ++i) {
    const Words before = Words::now();
    plotter::SORSOL<Soft>();
    before.restore();
    plotter::SORSOL<X87>();
    if (bits_of(SoftPoint::X) != bits_of(X87Point::X) ||
        bits_of(SoftPoint::Y) != bits_of(X87Point::Y)) [[unlikely]] {
      FAIL() << "seed " << seed << ", step " << i << ": X " << bits_of(SoftPoint::X) << " / "
             << bits_of(X87Point::X) << ", Y " << bits_of(SoftPoint::Y) << " / "
             << bits_of(X87Point::Y);
    }
  }
}

TEST_F(SoftPlotter, SixPointStepsAreTheX87sInEveryBit) {
  for (std::uint32_t seed : {12345u, 1000003u, 86400000u})
    expect_same_steps<plotter::SixPointFigure>(seed, 2'000'000);
}

TEST_F(SoftPlotter, FivePointStepsAreTheX87sInEveryBit) {
  for (std::uint32_t seed : {0u, 1000004u, 4294967295u})
    expect_same_steps<plotter::FivePointFigure>(seed, 2'000'000);
}

#else

TEST_F(SoftPlotter, IsComparedWithTheX87) {
  GTEST_SKIP() << "no x87 on this processor: nothing to compare the software type with";
}

#endif

}  // namespace
