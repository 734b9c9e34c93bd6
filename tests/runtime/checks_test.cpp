// ROUND and INT_BOUNDCHECK on their success paths, under the start-up
// control word.
#include <gtest/gtest.h>

#include <climits>

#include "services/runtime/checks.hpp"
#include "services/runtime/fpu.hpp"
#include "services/runtime/system.hpp"
#include "tests/runtime/control_word.hpp"

namespace {

using runtime::ROUND;

TEST_F(UnderStartUpControlWord, RoundTiesGoToEven) {
  EXPECT_EQ(ROUND(512.5L), 512);
  EXPECT_EQ(ROUND(513.5L), 514);
  EXPECT_EQ(ROUND(-0.5L), 0);
  EXPECT_EQ(ROUND(-1.5L), -2);
  EXPECT_EQ(ROUND(2.4999999L), 2);
  EXPECT_EQ(ROUND(-7.5000001L), -8);
}

TEST_F(UnderStartUpControlWord, RoundReachesBothEndsOfTheRange) {
  EXPECT_EQ(ROUND(2147483647.49L), INT_MAX);
  EXPECT_EQ(ROUND(-2147483648.5L), INT_MIN);  // the tie goes to the even end
  // Reserved bit 6 always reads as set.
  EXPECT_EQ(runtime::fpu::control_word() & ~0x40, runtime::FPUCW);
}

TEST(BoundCheck, PassesTheInclusiveBounds) {
  runtime::INT_BOUNDCHECK(-32768, -32768, 32767);
  runtime::INT_BOUNDCHECK(32767, -32768, 32767);
  runtime::INT_BOUNDCHECK(INT_MIN, INT_MIN, INT_MAX);
  SUCCEED();  // a failure would have ended the test program
}

}  // namespace
