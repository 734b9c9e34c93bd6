#pragma once
// The random generator: three words, reseeded on the first draw and on every
// draw after RANDSEED has been changed from outside. The draws are inline:
// the plotting loop makes one per step, and a call around it would keep the
// processor from working on the draw while the previous step's division is
// still going.
// The real draw, FRAC and TRUNC are written for either extended type
// (extended.hpp); Extended is the programs' own.
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "services/runtime/real/extended.hpp"

namespace runtime {

extern std::uint32_t RANDSEED;     // public seed and first generator word
extern std::uint32_t OLDRANDSEED;  // RANDSEED as last seen by the generator
extern bool INITIALSEED;           // not seeded yet
extern std::uint32_t SEED2, SEED3;

// RANDSEED := the millisecond tick counter.
void RANDOMIZE();

// The reseed proper (NEWSEED), out of line: it runs once per seed.
void reseed();

// x - trunc(x) for 0 <= x < 3, exactly as x - static_cast<Extended>(
// static_cast<std::int64_t>(x)) gives it, by two comparisons instead of a
// round trip through an integer: the whole part is 0, 1 or 2, and taking 1
// or 2 from x in [1, 3) is exact (x and the whole part are within a factor
// of two of each other).
// The x87 loads its whole parts straight from floats.
template <class Real = Extended>
inline Real frac_below_three(Real x) {
  using Whole = std::conditional_t<std::is_floating_point_v<Real>, float, Real>;
  static constexpr Whole kWholes[3] = {Whole(0.0), Whole(1.0), Whole(2.0)};
  return x - kWholes[static_cast<int>(x >= Real(1.0)) + static_cast<int>(x >= Real(2.0))];
}

// The generator's step: reseeds when due, then moves the three words on.
inline void advance_words() {
  if (INITIALSEED || RANDSEED != OLDRANDSEED) [[unlikely]]
    reseed();
  RANDSEED = ((RANDSEED + 1) * 706) % 500009;
  OLDRANDSEED = RANDSEED;
  SEED2 = ((SEED2 + 1) * 774) % 600011;
  SEED3 = ((SEED3 + 1) * 871) % 765241;
}

// The draw the three words stand for: a real in [0, 1), in extended precision.
template <class Real = Extended>
inline Real real_of_words(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  const Real sum = Real(a) / Real(500009.0) + Real(b) / Real(600011.0) + Real(c) / Real(765241.0);
  return frac_below_three(sum);  // FRAC: the sum lies in [0, 3)
}

// The same sum in double precision, by multiplications: three extended
// divisions a step cost more than the rest of the draw. Each word is below
// its modulus, so each term is within 2^-52 of its exact value and each of
// the two additions adds at most 2^-52: the result is within 2^-49 of the
// exact sum, and so within 2^-48 of the extended one (which is within 2^-61).
// Evaluated in wider precision (x87 code) the errors are only smaller.
inline double sum_in_double(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  return static_cast<double>(a) * (1.0 / 500009.0) + static_cast<double>(b) * (1.0 / 600011.0) +
         static_cast<double>(c) * (1.0 / 765241.0);
}

// TRUNC(FRAC(sum) * n) from `sum`, a double within 2^-48 of the extended
// sum, when that is certain to be what the extended arithmetic gives: false
// when the product lies within (|n| + 1) * 2^-40 of a whole number (it
// differs from the extended product by less than |n| * 2^-47, and could
// truncate the other way). That also covers a sum whose whole part could
// differ (within 2^-48 of 1 or 2): its fraction is near 0 or 1, so its
// product is near 0 or n. Exact sums (0, a product that is a whole number)
// land there too.
inline bool index_if_certain(double sum, std::int32_t n, std::int32_t& index) {
  constexpr double kMargin = 0x1p-40;
  // The whole part without a branch: a branch on it would be a coin toss.
  const double frac = sum - static_cast<double>(static_cast<int>(sum >= 1.0) +
                                                static_cast<int>(sum >= 2.0));
  const double product = frac * static_cast<double>(n);
  const std::int64_t whole = static_cast<std::int64_t>(product);  // toward zero, |product| < 2^31
  const double part = std::fabs(product - static_cast<double>(whole));
  const double margin = kMargin * (std::fabs(static_cast<double>(n)) + 1.0);
  if (part <= margin || part >= 1.0 - margin) [[unlikely]]
    return false;
  index = static_cast<std::int32_t>(whole);
  return true;
}

// TRUNC(real * n) in extended precision; |real * n| < 2^31, the low 32 bits
// are kept.
template <class Real = Extended>
inline std::int32_t truncated_product(Real real, std::int32_t n) {
  return static_cast<std::int32_t>(truncate_to_int64(real * Real(n)));
}

// TRUNC(real draw * n): 0..n-1 for n >= 1, 0 for n = 0, n+1..0 for n < 0.
// Worked out in double precision where that gives the same result, which is
// all but about 2 (|n| + 1) draws in 2^40; the rest take the extended route.
template <class Real = Extended>
[[gnu::always_inline]] inline std::int32_t RANDOM(std::int32_t n) {
  advance_words();
  std::int32_t index;
  if (index_if_certain(sum_in_double(RANDSEED, SEED2, SEED3), n, index)) [[likely]]
    return index;
  return truncated_product(real_of_words<Real>(RANDSEED, SEED2, SEED3), n);
}

// The real draw: the next value in [0, 1).
template <class Real = Extended>
inline Real random_real() {
  advance_words();
  return real_of_words<Real>(RANDSEED, SEED2, SEED3);
}

// Back to the unseeded start state (RANDSEED 0), as at process start.
void reset_random();

}  // namespace runtime
