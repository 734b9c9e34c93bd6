// The three-word generator's seeding. All products stay below 2^32, so the
// integer arithmetic is exact in unsigned 32 bits.
#include "services/runtime/random.hpp"

#include "services/runtime/platform.hpp"

namespace runtime {
namespace {

void NEWSEED();

void reseed_check() {
  if (INITIALSEED || RANDSEED != OLDRANDSEED) {
    INITIALSEED = false;
    OLDRANDSEED = RANDSEED;
    NEWSEED();
  }
}

std::uint32_t INTERNRANDOM(std::uint32_t m) {
  reseed_check();
  RANDSEED = ((RANDSEED + 1) * 998) % 1000003;
  OLDRANDSEED = RANDSEED;
  return m == 0 ? 0 : RANDSEED % m;
}

// A seed of 1000003 or more is changed by the reduction, so the first
// INTERNRANDOM below runs a nested NEWSEED on the reduced seed; the draws
// that follow here then replace SEED2 and SEED3 again.
void NEWSEED() {
  RANDSEED %= 1000003;
  std::uint32_t a = INTERNRANDOM(65000);
  std::uint32_t b = INTERNRANDOM(65000);
  SEED2 = (a * b) % 600011;
  std::uint32_t c = INTERNRANDOM(65000);
  std::uint32_t d = INTERNRANDOM(65000);
  SEED3 = (c * d) % 765241;
}

}  // namespace

void RANDOMIZE() { RANDSEED = platform::tick_count_ms(); }

void reseed() { reseed_check(); }

void reset_random() {
  RANDSEED = 0;
  OLDRANDSEED = 0;
  INITIALSEED = true;
  SEED2 = 0;
  SEED3 = 0;
}

}  // namespace runtime
