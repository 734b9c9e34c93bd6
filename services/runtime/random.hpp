#pragma once
// The random generator: three words, reseeded on the first draw and on every
// draw after RANDSEED has been changed from outside.
#include <cstdint>
#include "services/runtime/types.hpp"

namespace runtime {

extern std::uint32_t RANDSEED;     // public seed and first generator word
extern std::uint32_t OLDRANDSEED;  // RANDSEED as last seen by the generator
extern bool INITIALSEED;           // not seeded yet
extern std::uint32_t SEED2, SEED3;

// RANDSEED := the millisecond tick counter.
void RANDOMIZE();
// A real in [0, 1), in extended precision.
Extended RANDOM_REAL();
// TRUNC(real draw * n): 0..n-1 for n >= 1, 0 for n = 0, n+1..0 for n < 0.
std::int32_t RANDOM(std::int32_t n);

// Back to the unseeded start state (RANDSEED 0), as at process start.
void RESET_RANDOM();

}  // namespace runtime
