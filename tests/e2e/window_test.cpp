// The graphics window: its size, and the figure it shows.
#include <gtest/gtest.h>

#include "tests/e2e/run.hpp"

namespace e2e {
namespace {

class Window : public ::testing::TestWithParam<const Figure*> {};

// Checks what a running program shows once the figure is dense.
void expect_figure(XClient& x, unsigned long window, const Figure& figure) {
  const FigureCheck c = wait_for_dense_figure(x, window, figure, 0.9, 30s);
  EXPECT_GE(c.share(), 0.9) << c.attractor_lit << " of " << c.attractor_size;
  EXPECT_GT(c.lit, 0u);
  EXPECT_EQ(c.not_white, 0u);
  EXPECT_EQ(c.outside, 0u);
  EXPECT_EQ(c.off_figure, 0u);
  EXPECT_TRUE(c.origin_lit);
}

TEST_P(Window, OpensAtTheDetectedModeSizeAndShowsTheFigure) {
  testsupport::XServer server;
  const Size mode = detected_mode_size(server.display());
  ProgramRun run(*GetParam(), server.display());
  XClient x(server.display());
  const unsigned long window = wait_for_window(x);
  ASSERT_NE(window, 0u) << run.terminal.output();
  EXPECT_EQ(x.size(window), mode);
  expect_figure(x, window, *GetParam());

  end_with_enter(run.terminal);
  // Nothing closes the window on a normal end; it goes with the process.
  EXPECT_TRUE(wait_until([&] { return x.find(kTitle, true) == 0; }, 10s));
}

TEST_P(Window, OpensMaximisedUnderAWindowManager) {
  testsupport::XServer server({.window_manager = true});
  ProgramRun run(*GetParam(), server.display());
  XClient x(server.display());
  const unsigned long window = wait_for_window(x);
  ASSERT_NE(window, 0u) << run.terminal.output();
  // Measured once the manager is surely settled: one that has only just
  // started may not yet tell a new client its frame sizes.
  const Size mode = detected_mode_size(server.display());
  EXPECT_TRUE(wait_until([&] { return x.size(window) == mode; }, 10s))
      << "window " << x.size(window).value_or(Size{}).width << "x"
      << x.size(window).value_or(Size{}).height << ", mode "
      << mode.width << "x" << mode.height;
  expect_figure(x, window, *GetParam());
  end_with_enter(run.terminal);
}

// The figure is neither moved nor scaled: what does not fit is clipped.
TEST_P(Window, ScreenSmallerThanTheFigureClipsIt) {
  testsupport::XServer server({.width = 640, .height = 480});
  ProgramRun run(*GetParam(), server.display());
  XClient x(server.display());
  const unsigned long window = wait_for_window(x);
  ASSERT_NE(window, 0u) << run.terminal.output();
  const Size size = x.size(window).value_or(Size{});
  EXPECT_LE(size.width, 640);
  EXPECT_LE(size.height, 480);
  const FigureCheck c = wait_for_dense_figure(x, window, *GetParam(), 0.9, 30s);
  EXPECT_GE(c.share(), 0.9) << c.attractor_lit << " of " << c.attractor_size;
  EXPECT_EQ(c.not_white, 0u);
  EXPECT_EQ(c.outside, 0u);
  EXPECT_EQ(c.off_figure, 0u);
  EXPECT_TRUE(keeps_running(run.terminal, 0ms));
  end_with_enter(run.terminal);
  EXPECT_EQ(run.terminal.output().find("rror"), std::string::npos) << run.terminal.output();
}

GRAIN_FOR_BOTH_PROGRAMS(Window);

}  // namespace
}  // namespace e2e
