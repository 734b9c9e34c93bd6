// The generator on the software extended real against the x87: every
// draw's real, FRAC and TRUNC the same bits, from seeds on every reseed
// path. Skipped where there is no x87 to compare with.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "services/runtime/random.hpp"
#include "tests/runtime/extended_bits.hpp"
#include "tests/runtime/control_word.hpp"

namespace {

// 0: the start state; 999999..1000002 stay as they are; 1000003 and up
// are reduced and reseed twice (1000003 itself to 0); the top of the range.
constexpr std::uint32_t kSeeds[] = {0,       1,       12345,   999999,     1000002,
                                    1000003, 1000004, 2000006, 86400000u, 4294967295u};

class SoftGenerator : public UnderStartUpControlWord {};

#if GRAIN_HAS_X87

using runtime::SoftExtended;
using runtime::X87Extended;
using testbits::bits_of;

template <class Real>
std::vector<std::int32_t> draws(std::uint32_t seed, std::int32_t n, int count) {
  runtime::reset_random();
  runtime::RANDSEED = seed;
  std::vector<std::int32_t> v;
  for (int i = 0; i < count; ++i) v.push_back(runtime::RANDOM<Real>(n));
  return v;
}

// The real draw and what TRUNC makes of it for each n, on the extended
// route for every draw (RANDOM takes it only where the double route is
// unsure).
TEST_F(SoftGenerator, RealDrawsAndTheirTruncationsAreTheX87s) {
  const std::int32_t counts[] = {6, 5, 1, 0, -6, 1000, INT32_MAX, INT32_MIN};
  for (std::uint32_t seed : kSeeds) {
    runtime::reset_random();
    runtime::RANDSEED = seed;
    for (int i = 0; i < 100'000; ++i) {
      runtime::advance_words();
      const std::uint32_t a = runtime::RANDSEED, b = runtime::SEED2, c = runtime::SEED3;
      const SoftExtended soft = runtime::real_of_words<SoftExtended>(a, b, c);
      const X87Extended x87 = runtime::real_of_words<X87Extended>(a, b, c);
      ASSERT_EQ(bits_of(soft), bits_of(x87)) << "seed " << seed << ", draw " << i;
      for (std::int32_t n : counts)
        ASSERT_EQ(runtime::truncated_product(soft, n), runtime::truncated_product(x87, n))
            << "seed " << seed << ", draw " << i << ", n " << n;
    }
  }
}

TEST_F(SoftGenerator, RandomFiveAndSixAreTheX87s) {
  for (std::uint32_t seed : kSeeds)
    for (std::int32_t n : {5, 6}) {
      const std::vector<std::int32_t> soft = draws<SoftExtended>(seed, n, 100'000);
      ASSERT_EQ(soft, draws<X87Extended>(seed, n, 100'000)) << "seed " << seed << ", n " << n;
    }
}

// The draws of the public routine, one type after the other on one
// sequence: the reseed when RANDSEED is assigned mid-way shows in both.
TEST_F(SoftGenerator, RealDrawAcrossAReseedIsTheX87s) {
  runtime::reset_random();
  std::vector<testbits::Bits> soft, x87;
  for (int i = 0; i < 1000; ++i) {
    if (i == 500) runtime::RANDSEED = 1000003;
    soft.push_back(bits_of(runtime::random_real<SoftExtended>()));
  }
  runtime::reset_random();
  for (int i = 0; i < 1000; ++i) {
    if (i == 500) runtime::RANDSEED = 1000003;
    x87.push_back(bits_of(runtime::random_real<X87Extended>()));
  }
  EXPECT_EQ(soft, x87);
}

#else

TEST_F(SoftGenerator, IsComparedWithTheX87) {
  GTEST_SKIP() << "no x87 on this processor: nothing to compare the software type with";
}

#endif

// Whatever the type: the seed-zero figures that the programs' own draws
// must give.
TEST(Generator, SeedZeroRealDrawInTheProgramsType) {
  runtime::reset_random();
  // 0.71324193141854...
  EXPECT_EQ(runtime::truncated_product(runtime::random_real(), 1000000), 713241);
}

}  // namespace
