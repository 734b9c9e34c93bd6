#pragma once
// How many steps quintgrain's figure needs to light its pixels, from the
// real five-point figure's arithmetic (SORSOL, YKOORD, XKOORD) run from the
// origin, as the program runs it. The pixels lit within a fixed budget of
// steps stand for the whole figure.
#include <cstdint>

namespace bench {

struct FillSteps {
  std::uint64_t budget = 0;  // steps run
  std::uint32_t seed = 0;    // RANDSEED they started from
  std::uint64_t pixels = 0;  // distinct pixels lit within the budget
  // Steps after which 99 %, 99.9 % and all of those pixels were lit.
  std::uint64_t p99 = 0, p999 = 0, all = 0;
};

// Runs the figure for `budget` steps from seed `seed`. Leaves MERET, the
// point and the generator as it found them.
FillSteps quintgrain_fill(std::uint64_t budget, std::uint32_t seed);

}  // namespace bench
