#include "services/runtime/random.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

using runtime::RANDOM;

std::vector<int> draws(std::uint32_t seed, int n, int count) {
  runtime::reset_random();
  runtime::RANDSEED = seed;
  std::vector<int> v;
  for (int i = 0; i < count; ++i) v.push_back(RANDOM(n));
  return v;
}

TEST(Random, SeedZeroSequences) {
#if GRAIN_HAS_X87
  runtime::reset_random();
  EXPECT_NEAR(static_cast<double>(runtime::random_real<runtime::X87Extended>()), 0.71324193141854,
              1e-13);
#endif
  EXPECT_EQ(draws(0, 6, 12), (std::vector<int>{4, 3, 0, 4, 2, 0, 5, 4, 4, 3, 4, 2}));
  EXPECT_EQ(draws(0, 5, 12), (std::vector<int>{3, 2, 0, 3, 1, 0, 4, 3, 4, 2, 3, 2}));
}

TEST(Random, SeedsWithAndWithoutNestedReseed) {
  EXPECT_EQ(draws(12345, 6, 12), (std::vector<int>{2, 4, 3, 4, 1, 5, 0, 0, 5, 1, 1, 1}));
  // 1000003 reduces to 0, but the nested reseed gives another sequence.
  EXPECT_EQ(draws(1000003, 6, 12), (std::vector<int>{3, 0, 3, 2, 0, 4, 0, 5, 4, 2, 0, 1}));
}

}  // namespace

namespace {

TEST(Random, ZeroAndNegativeRanges) {
  // RANDOM(0) is 0 and still consumes a draw.
  runtime::reset_random();
  EXPECT_EQ(RANDOM(0), 0);
  std::vector<int> rest;
  for (int i = 0; i < 11; ++i) rest.push_back(RANDOM(6));
  EXPECT_EQ(rest, (std::vector<int>{3, 0, 4, 2, 0, 5, 4, 4, 3, 4, 2}));

  // A negative n gives n+1..0: the truncation goes toward zero.
  EXPECT_EQ(draws(0, -6, 12), (std::vector<int>{-4, -3, 0, -4, -2, 0, -5, -4, -4, -3, -4, -2}));
  for (int v : draws(777, -3, 200)) {
    EXPECT_GE(v, -2);
    EXPECT_LE(v, 0);
  }
}

TEST(Random, AssigningTheSeedReseedsOnlyWhenItChanges) {
  runtime::reset_random();
  for (int i = 0; i < 5; ++i) RANDOM(6);
  runtime::RANDSEED = 12345;
  std::vector<int> after;
  for (int i = 0; i < 12; ++i) after.push_back(RANDOM(6));
  EXPECT_EQ(after, draws(12345, 6, 12));

  // Assigning the value it holds changes nothing.
  std::vector<int> whole = draws(0, 6, 12);
  runtime::reset_random();
  std::vector<int> split;
  for (int i = 0; i < 12; ++i) {
    const std::uint32_t held = runtime::RANDSEED;
    runtime::RANDSEED = held;
    split.push_back(RANDOM(6));
  }
  EXPECT_EQ(split, whole);
}

}  // namespace
