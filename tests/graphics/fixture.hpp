#pragma once
// Graphics state reset around each unit test, over the stand-in backend.
#include <gtest/gtest.h>

#include "services/graphics/graph_internal.hpp"
#include "services/graphics/state.hpp"
#include "tests/graphics/fake_window.hpp"

namespace graphicstest {

// The worked example: a 1024 x 768 screen, 4-pixel frame, 19-pixel caption,
// maximised client area 1024 x 719.
inline constexpr graphics::ScreenMetrics SCREEN_1024{1024, 768, 4, 4, 19, 1024, 719};

class Graphics : public ::testing::Test {
 protected:
  void SetUp() override { rebuild(SCREEN_1024); }
  void TearDown() override {
    if (graphics::ISGRAPHMODE) graphics::CLOSEGRAPH();
  }
  // A fresh mode table from these measurements.
  static void rebuild(const graphics::ScreenMetrics& metrics) {
    if (graphics::ISGRAPHMODE) graphics::CLOSEGRAPH();
    fakewindow::reset();
    fakewindow::state.metrics = metrics;
    graphics::release_mode_lists();
    graphics::QUERYADAPTERINFO();
    graphics::_GRAPHRESULT = graphics::grOk;
  }
  static const graphics::DepthList& depth(std::int16_t driver) {
    return graphics::NEWMODELIST[static_cast<std::size_t>(driver - graphics::kLowNewDriver)];
  }
};

}  // namespace graphicstest
