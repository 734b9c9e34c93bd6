// ROUND and INT_BOUNDCHECK on their success paths, under the start-up
// control word, in the programs' number type.
#include <gtest/gtest.h>

#include <climits>

#include "services/runtime/checks.hpp"
#include "services/runtime/real/fpu.hpp"
#include "services/runtime/system.hpp"
#include "tests/runtime/control_word.hpp"

namespace {

using runtime::ROUND;

runtime::Extended E(double v) { return runtime::Extended(v); }

TEST_F(UnderStartUpControlWord, RoundTiesGoToEven) {
  EXPECT_EQ(ROUND(E(512.5)), 512);
  EXPECT_EQ(ROUND(E(513.5)), 514);
  EXPECT_EQ(ROUND(E(-0.5)), 0);
  EXPECT_EQ(ROUND(E(-1.5)), -2);
  EXPECT_EQ(ROUND(E(2.4999999)), 2);
  EXPECT_EQ(ROUND(E(-7.5000001)), -8);
}

TEST_F(UnderStartUpControlWord, RoundReachesBothEndsOfTheRange) {
  EXPECT_EQ(ROUND(E(2147483647.49)), INT_MAX);
  EXPECT_EQ(ROUND(E(-2147483648.5)), INT_MIN);  // the tie goes to the even end
#if GRAIN_HAS_X87
  // Reserved bit 6 always reads as set.
  EXPECT_EQ(runtime::fpu::control_word() & ~0x40, runtime::FPUCW);
#endif
}

TEST(BoundCheck, PassesTheInclusiveBounds) {
  runtime::INT_BOUNDCHECK(-32768, -32768, 32767);
  runtime::INT_BOUNDCHECK(32767, -32768, 32767);
  runtime::INT_BOUNDCHECK(INT_MIN, INT_MIN, INT_MAX);
  SUCCEED();  // a failure would have ended the test program
}

}  // namespace
