// The figure on screens whose default visual is DirectColor: a pixel shows
// what the default colormap holds at each of its channel values, and at the
// lower depths a channel has only a few cells (8, 32 or 64).
#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>

#include "tests/e2e/run.hpp"

namespace e2e {
namespace {

class DirectColorScreen : public ::testing::TestWithParam<int> {};

// What the screen's visual shows for a grey asked for at 8-bit `level`,
// asked of the server in a colormap of the test's own, whose cells are all
// free; 0xFFFFFFFF if it cannot say.
std::uint32_t shown_grey(XClient& x, unsigned level) {
  Display* d = x.display();
  const int screen = DefaultScreen(d);
  const Colormap own =
      XCreateColormap(d, RootWindow(d, screen), DefaultVisual(d, screen), AllocNone);
  XColor c{};
  c.red = c.green = c.blue = static_cast<unsigned short>(level * 257);
  c.flags = DoRed | DoGreen | DoBlue;
  const bool allocated = XAllocColor(d, own, &c) != 0;
  XFreeColormap(d, own);
  if (!allocated) return 0xFFFFFFFF;
  return static_cast<std::uint32_t>((c.red >> 8) << 16 | (c.green >> 8) << 8 | c.blue >> 8);
}

std::string hex(std::uint32_t rgb) {
  std::ostringstream s;
  s << "0x" << std::hex << std::setw(6) << std::setfill('0') << rgb;
  return s.str();
}

// Read back through the window's colormap, every plotted pixel shows colour
// 15 (252, 252, 252), or the nearest the visual can show.
TEST_P(DirectColorScreen, FigureShowsInColourFifteen) {
  testsupport::XServer server({.depth = GetParam(), .visual_class = 5});
  XClient x(server.display());
  Display* d = x.display();
  ASSERT_EQ(DefaultVisual(d, DefaultScreen(d))->c_class, DirectColor);
  ASSERT_EQ(DefaultDepth(d, DefaultScreen(d)), GetParam());
  const std::uint32_t white = shown_grey(x, 252);
  ASSERT_NE(white, 0xFFFFFFFFu);

  ProgramRun run(six_point(), server.display());
  const unsigned long window = wait_for_window(x);
  ASSERT_NE(window, 0u) << run.terminal.output();
  // Checked once the figure is dense.
  double share = 0;
  std::size_t lit = 0, other = 0;
  std::uint32_t an_other = 0;
  wait_until(
      [&] {
        const auto image = x.capture(window);
        if (!image) return false;
        lit = other = 0;
        for (std::uint32_t p : image->rgb) {
          if (p == 0) continue;
          ++lit;
          if (p != white) ++other, an_other = p;
        }
        share = check_figure(*image, six_point()).share();
        return share >= 0.9;
      },
      kStartTimeout, 100ms);
  EXPECT_GE(share, 0.9);
  EXPECT_EQ(other, 0u) << other << " of " << lit << " lit pixels are not " << hex(white)
                       << ", e.g. " << hex(an_other);
  end_with_enter(run.terminal);
}

INSTANTIATE_TEST_SUITE_P(Depths, DirectColorScreen, ::testing::Values(8, 15, 16, 24),
                         [](const ::testing::TestParamInfo<int>& depth) {
                           return "Depth" + std::to_string(depth.param);
                         });

}  // namespace
}  // namespace e2e
