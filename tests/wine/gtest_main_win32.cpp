// Test entry for the Windows programs: the floating-point unit is set up as
// the programs' start-up leaves it, so extended arithmetic is checked under
// the same control word.
#include <gtest/gtest.h>

#include "services/runtime/real/fpu.hpp"
#include "services/runtime/system.hpp"

int main(int argc, char** argv) {
  runtime::fpu::reset_and_load(runtime::FPUCW);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
