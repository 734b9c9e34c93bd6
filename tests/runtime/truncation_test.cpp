// The generator's two truncations without a control-word switch, against
// the plain expressions they replace, and the whole generator against a
// plain model of it.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "services/runtime/random.hpp"
#include "services/runtime/real/fpu.hpp"
#include "services/runtime/system.hpp"
#include "tests/runtime/control_word.hpp"

#if GRAIN_HAS_X87

namespace {

// The x87's own type, whichever the programs use: these are its shortcuts
// (and the double route) against its plain expressions.
using Extended = runtime::X87Extended;

// The rounding-control field of the control word (bits 10 and 11).
constexpr std::uint16_t kRoundingModes[] = {0x0000, 0x0400, 0x0800, 0x0C00};

// Each test loads the word it runs under; the caller's is put back.
class UnderControlWord : public UnderStartUpControlWord {
 protected:
  // The start-up word with rounding field `mode`.
  static void load(std::uint16_t mode) {
    runtime::fpu::reset_and_load(static_cast<std::uint16_t>((runtime::FPUCW & ~0x0C00) | mode));
  }
};

// The compiler's cast: chops whatever the rounding mode.
std::int64_t plain_truncation(Extended x) { return static_cast<std::int64_t>(x); }

Extended plain_frac(Extended x) {
  return x - static_cast<Extended>(static_cast<std::int64_t>(x));
}

bool same_bits(Extended a, Extended b) { return std::memcmp(&a, &b, 10) == 0; }

std::vector<Extended> edge_values() {
  std::vector<Extended> v{0.0L, -0.0L, LDBL_TRUE_MIN, -LDBL_TRUE_MIN, LDBL_MIN, 0.25L, 0.5L,
                          0.75L};
  // Every whole number near zero, a tie and the neighbours of each.
  for (int k = -8; k <= 8; ++k)
    for (Extended base : {static_cast<Extended>(k), k + 0.5L}) {
      v.push_back(base);
      v.push_back(std::nextafter(base, -INFINITY));
      v.push_back(std::nextafter(base, INFINITY));
    }
  // Up to the top of the range the routine is made for.
  for (Extended big : {0x1p31L, 0x1p32L, 0x1p52L, 0x1p53L, 0x1p62L}) {
    const Extended below = std::nextafter(big, 0.0L);
    for (Extended x : {below, below - 0.5L, big / 2 + 0.5L}) {
      v.push_back(x);
      v.push_back(-x);
    }
  }
  return v;
}

// Random magnitudes from 2^-70 to 2^62 (exclusive), both signs, random mantissas.
std::vector<Extended> random_values(std::size_t count) {
  std::mt19937_64 gen(20261207);
  std::uniform_int_distribution<int> exponent(-70, 61);
  std::vector<Extended> v;
  for (std::size_t i = 0; i < count; ++i) {
    const Extended mantissa = static_cast<Extended>(gen() | 0x8000000000000000u) * 0x1p-64L;
    const Extended x = std::ldexp(mantissa, exponent(gen));
    v.push_back(i % 2 ? -x : x);
  }
  return v;
}

TEST_F(UnderControlWord, TruncationMatchesTheCastInEveryRoundingMode) {
  const std::vector<Extended> edges = edge_values();
  const std::vector<Extended> sample = random_values(200'000);
  for (std::uint16_t mode : kRoundingModes) {
    load(mode);
    for (const auto* values : {&edges, &sample})
      for (Extended x : *values)
        ASSERT_EQ(runtime::fpu::truncate_toward_zero(x), plain_truncation(x))
            << "x = " << static_cast<double>(x) << ", rounding field " << mode;
  }
}

// The generator's own products: a draw times n, for n over the whole
// signed 32-bit range, zero and the ends included; products that come out
// whole are among them.
TEST_F(UnderControlWord, TruncationMatchesTheCastOnDrawTimesN) {
  load(0);
  std::mt19937_64 gen(7);
  std::vector<std::int32_t> ns{0, 1, -1, 2, 5, 6, -6, INT32_MAX, INT32_MIN, INT32_MIN + 1};
  for (int i = 0; i < 2000; ++i) ns.push_back(static_cast<std::int32_t>(gen()));
  std::vector<Extended> draws{0.0L, 0.5L, 0.25L, 1.0L / 3.0L, std::nextafter(1.0L, 0.0L)};
  for (int i = 0; i < 200; ++i) draws.push_back(static_cast<Extended>(gen() >> 11) * 0x1p-53L);
  for (std::int32_t n : ns)
    for (Extended r : draws) {
      const Extended p = r * static_cast<Extended>(n);
      ASSERT_EQ(runtime::fpu::truncate_toward_zero(p), plain_truncation(p)) << r << " * " << n;
    }
}

TEST_F(UnderControlWord, FracMatchesThePlainExpressionBelowThree) {
  load(0);
  std::vector<Extended> xs{0.0L, LDBL_TRUE_MIN, 0.5L, 2.5L};
  for (Extended whole : {1.0L, 2.0L, 3.0L}) {
    xs.push_back(std::nextafter(whole, 0.0L));  // just below 1, 2 and 3
    if (whole < 3) {
      xs.push_back(whole);
      xs.push_back(std::nextafter(whole, 3.0L));
    }
  }
  // The generator's sums: three quotients of words in their ranges.
  std::mt19937_64 gen(11);
  for (int i = 0; i < 500'000; ++i)
    xs.push_back(static_cast<Extended>(gen() % 500009) / 500009.0L +
                 static_cast<Extended>(gen() % 600011) / 600011.0L +
                 static_cast<Extended>(gen() % 765241) / 765241.0L);
  for (int i = 0; i < 100'000; ++i) xs.push_back(static_cast<Extended>(gen() >> 1) * 0x1p-62L);
  for (Extended x : xs)
    ASSERT_TRUE(same_bits(runtime::frac_below_three(x), plain_frac(x))) << static_cast<double>(x);
}

// The generator written the plain way: the reseed, the words, FRAC and
// TRUNC by the cast.
struct PlainGenerator {
  std::uint32_t seed, old_seed = 0, seed2 = 0, seed3 = 0;
  bool initial = true;

  void check() {
    if (initial || seed != old_seed) {
      initial = false;
      old_seed = seed;
      seed %= 1000003;
      const std::uint32_t a = intern(), b = intern();
      seed2 = (a * b) % 600011;
      const std::uint32_t c = intern(), d = intern();
      seed3 = (c * d) % 765241;
    }
  }
  std::uint32_t intern() {
    check();
    seed = ((seed + 1) * 998) % 1000003;
    old_seed = seed;
    return seed % 65000;
  }
  std::int32_t random(std::int32_t n) {
    check();
    seed = ((seed + 1) * 706) % 500009;
    old_seed = seed;
    seed2 = ((seed2 + 1) * 774) % 600011;
    seed3 = ((seed3 + 1) * 871) % 765241;
    const Extended sum = static_cast<Extended>(seed) / 500009.0L +
                         static_cast<Extended>(seed2) / 600011.0L +
                         static_cast<Extended>(seed3) / 765241.0L;
    const Extended r = sum - static_cast<Extended>(static_cast<std::int64_t>(sum));
    return static_cast<std::int32_t>(
        static_cast<std::int64_t>(r * static_cast<Extended>(n)));
  }
};

TEST_F(UnderControlWord, GeneratorMatchesItsPlainForm) {
  load(0);
  for (std::uint32_t seed : {0u, 1u, 12345u, 1000003u, 4294967295u, 86400000u})
    for (std::int32_t n : {6, 5, 1, 0, -5, -6, 1000, INT32_MAX, INT32_MIN}) {
      runtime::reset_random();
      runtime::RANDSEED = seed;
      PlainGenerator plain{seed};
      for (int i = 0; i < 50'000; ++i)
        ASSERT_EQ(runtime::RANDOM(n), plain.random(n)) << "seed " << seed << ", n " << n
                                                       << ", draw " << i;
    }
}

}  // namespace

#else

TEST(X87, Absent) { GTEST_SKIP() << "no x87 on this processor: nothing to compare with"; }

#endif
