#pragma once
// Runs each test under the control word the runtime loads at start-up, and
// puts the caller's back afterwards (where there is an x87: the software
// type keeps to that word by itself).
#include <gtest/gtest.h>

#include <cstdint>

#include "services/runtime/real/fpu.hpp"
#include "services/runtime/system.hpp"

class UnderStartUpControlWord : public ::testing::Test {
 protected:
#if GRAIN_HAS_X87
  void SetUp() override {
    saved_ = runtime::fpu::control_word();
    runtime::fpu::reset_and_load(runtime::FPUCW);
  }
  void TearDown() override { runtime::fpu::reset_and_load(saved_); }
#endif

 private:
  [[maybe_unused]] std::uint16_t saved_ = 0;
};
