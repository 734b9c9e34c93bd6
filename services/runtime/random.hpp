#pragma once
// The random generator: three words, reseeded on the first draw and on every
// draw after RANDSEED has been changed from outside. The draws are inline:
// the plotting loop makes one per step, and a call around it would keep the
// processor from working on the draw while the previous step's division is
// still going.
#include <cstdint>

#include "services/runtime/fpu.hpp"
#include "services/runtime/types.hpp"

namespace runtime {

extern std::uint32_t RANDSEED;     // public seed and first generator word
extern std::uint32_t OLDRANDSEED;  // RANDSEED as last seen by the generator
extern bool INITIALSEED;           // not seeded yet
extern std::uint32_t SEED2, SEED3;

// RANDSEED := the millisecond tick counter.
void RANDOMIZE();

// The reseed proper (NEWSEED), out of line: it runs once per seed.
void RESEED();

// x - trunc(x) for 0 <= x < 3, exactly as x - static_cast<Extended>(
// static_cast<std::int64_t>(x)) gives it, by two comparisons instead of a
// round trip through an integer: the whole part is 0, 1 or 2, and taking 1
// or 2 from x in [1, 3) is exact (x and the whole part are within a factor
// of two of each other).
// The whole part is picked from a table: a branch on it would be a coin toss.
inline Extended frac_below_three(Extended x) {
  static constexpr float kWholes[3] = {0.0f, 1.0f, 2.0f};
  return x - kWholes[static_cast<int>(x >= 1.0L) + static_cast<int>(x >= 2.0L)];
}

// A real in [0, 1), in extended precision.
inline Extended RANDOM_REAL() {
  if (INITIALSEED || RANDSEED != OLDRANDSEED) [[unlikely]]
    RESEED();
  RANDSEED = ((RANDSEED + 1) * 706) % 500009;
  OLDRANDSEED = RANDSEED;
  SEED2 = ((SEED2 + 1) * 774) % 600011;
  SEED3 = ((SEED3 + 1) * 871) % 765241;
  const Extended sum = static_cast<Extended>(RANDSEED) / 500009.0L +
                       static_cast<Extended>(SEED2) / 600011.0L +
                       static_cast<Extended>(SEED3) / 765241.0L;
  return frac_below_three(sum);  // FRAC: the sum lies in [0, 3)
}

// TRUNC(real draw * n): 0..n-1 for n >= 1, 0 for n = 0, n+1..0 for n < 0.
inline std::int32_t RANDOM(std::int32_t n) {
  // |r| < 2^31; the low 32 bits are kept.
  const Extended r = RANDOM_REAL() * static_cast<Extended>(n);
  return static_cast<std::int32_t>(fpu::truncate_toward_zero(r));
}

// Back to the unseeded start state (RANDSEED 0), as at process start.
void RESET_RANDOM();

}  // namespace runtime
