// RANDOM's double-precision route against the extended arithmetic it stands
// for: wherever it answers, the answer must be the extended one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "services/runtime/random.hpp"
#include "services/runtime/real/fpu.hpp"
#include "tests/runtime/control_word.hpp"

#if GRAIN_HAS_X87

namespace {

// The x87's own type, whichever the programs use: these are its shortcuts
// (and the double route) against its plain expressions.
using Extended = runtime::X87Extended;

constexpr std::int32_t kCounts[] = {6, 5, 1, 2, 3, 7, 1000, 65536, INT32_MAX, 0, -1, -6, INT32_MIN};

// The plain expression: TRUNC(FRAC(sum) * n) in extended precision.
std::int32_t plain_index(Extended sum, std::int32_t n) {
  const Extended frac = sum - static_cast<Extended>(static_cast<std::int64_t>(sum));
  return static_cast<std::int32_t>(static_cast<std::int64_t>(frac * static_cast<Extended>(n)));
}

class QuickDraw : public UnderStartUpControlWord {};

// Words drawn at random, and the words at the ends of their ranges. The
// double route must answer nearly always (else it saves nothing), and agree
// with the extended one wherever it does.
TEST_F(QuickDraw, AgreesWithTheExtendedSumForAnyWords) {
  std::mt19937 rng(20261207);
  std::uniform_int_distribution<std::uint32_t> wa(0, 500008), wb(0, 600010), wc(0, 765240);
  long answered = 0, asked = 0;
  const auto check = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    const Extended sum = static_cast<Extended>(a) / 500009.0L +
                         static_cast<Extended>(b) / 600011.0L +
                         static_cast<Extended>(c) / 765241.0L;
    for (std::int32_t n : kCounts) {
      std::int32_t index = -12345;
      ++asked;
      if (!runtime::index_if_certain(runtime::sum_in_double(a, b, c), n, index)) continue;
      ++answered;
      ASSERT_EQ(index, plain_index(sum, n)) << a << " " << b << " " << c << " n " << n;
    }
  };
  for (std::uint32_t a : {0u, 1u, 250004u, 500008u})
    for (std::uint32_t b : {0u, 1u, 300005u, 600010u})
      for (std::uint32_t c : {0u, 1u, 382620u, 765240u}) check(a, b, c);
  for (int i = 0; i < 300'000; ++i) check(wa(rng), wb(rng), wc(rng));
  EXPECT_GT(answered, asked * 9 / 10);
}

// Sums on and around the places where the answer changes: 1, 2 and just
// below 3 (the whole part), k / n (the product's whole part), and 0; each
// seen through doubles up to 2^-48 away, as sum_in_double may give them.
TEST_F(QuickDraw, NeverAnswersWrongNearAWholeNumber) {
  std::vector<Extended> sums{0.0L, 3.0L - 0x1p-20L};
  for (Extended w : {1.0L, 2.0L})
    for (int k = -3; k <= 3; ++k) sums.push_back(w + k * 0x1p-63L);
  for (std::int32_t n : {5, 6, 7, 1000})
    for (int whole = 0; whole < 3; ++whole)
      for (std::int32_t k = 0; k <= n; ++k) {
        const Extended at = whole + static_cast<Extended>(k) / n;
        if (at >= 3.0L) continue;
        for (int j = -3; j <= 3; ++j) sums.push_back(at + j * 0x1p-62L);
      }
  long answered = 0;
  for (Extended sum : sums)
    for (double error : {-0x1p-48, -0x1p-60, 0.0, 0x1p-60, 0x1p-48}) {
      const double seen = static_cast<double>(sum) + error;
      for (std::int32_t n : kCounts) {
        std::int32_t index;
        if (!runtime::index_if_certain(seen, n, index)) continue;
        ++answered;
        ASSERT_EQ(index, plain_index(sum, n))
            << static_cast<double>(sum) << " seen as " << seen << ", n " << n;
      }
    }
  EXPECT_GT(answered, 0);  // away from the boundaries (large n) it does answer
}

}  // namespace

#else

TEST(X87, AbsentForTheQuickDraw) { GTEST_SKIP() << "no x87 on this processor: nothing to compare with"; }

#endif
