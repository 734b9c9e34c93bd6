// The X11 window under a window manager: frames, maximising, minimising.
#include <algorithm>

#include "services/graphics/window.hpp"
#include "tests/graphics/x11_test_support.hpp"
// After the test framework, whose names the Xlib macros would shadow.
#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace {

using namespace graphics;

using XManaged = x11test::OnXServer<true>;

// The window's frame extents as the manager set them: left, right, top, bottom.
std::vector<long> extents(testsupport::XClient& c, Window w) {
  return c.long_property(w, "_NET_FRAME_EXTENTS", XA_CARDINAL);
}

bool has_state(testsupport::XClient& c, Window w, const char* state) {
  const std::vector<long> s = c.long_property(w, "_NET_WM_STATE", XA_ATOM);
  return std::count(s.begin(), s.end(), static_cast<long>(c.atom(state))) == 1;
}

TEST_F(XManaged, StartsMaximisedWithTheDetectedModeAsClientArea) {
  const ScreenMetrics m = window::measure_screen();
  EXPECT_GT(m.caption_height, 0);
  std::int16_t driver, mode;
  DETECTGRAPH(driver, mode);
  ASSERT_EQ(driver, 15);
  // Wider than the largest framed window: the maximised one.
  ASSERT_EQ(mode, 5) << "frame " << m.frame_width << " x " << m.frame_height << ", caption "
                     << m.caption_height << ", maximised " << m.full_width << " x "
                     << m.full_height;
  const Window w = open(driver, mode);
  ASSERT_NE(w, 0u);
  EXPECT_EQ(width(), m.full_width);
  EXPECT_EQ(height(), m.full_height);
  // The manager has it maximised: the frame fills the screen, and the client
  // area is exactly the mode's size.
  std::vector<long> e;
  EXPECT_TRUE(testsupport::wait_until([&] {
    e = extents(*client, w);
    const XWindowAttributes a = client->attributes(w);
    return e.size() == 4 && has_state(*client, w, "_NET_WM_STATE_MAXIMIZED_VERT") &&
           has_state(*client, w, "_NET_WM_STATE_MAXIMIZED_HORZ") && a.width == width() &&
           a.height == height() && e[0] + e[1] + a.width == 1024 && e[2] + e[3] + a.height == 768;
  }));
  PUTPIXEL(static_cast<std::int16_t>(width() - 1), static_cast<std::int16_t>(height() - 1), 15);
  EXPECT_TRUE(shows(w, {{{width() - 1, height() - 1}, x11test::WHITE}}));
}

TEST_F(XManaged, LargestWindowHasTheScreensOuterSize) {
  const Window w = open(15, 4);  // "Largest Window x 256"
  ASSERT_NE(w, 0u);
  EXPECT_LT(width(), 1024);
  std::vector<long> e;
  ASSERT_TRUE(testsupport::wait_until([&] { return (e = extents(*client, w)).size() == 4; }));
  const XWindowAttributes a = client->attributes(w);
  EXPECT_EQ(a.width, width());
  EXPECT_EQ(a.height, height());
  EXPECT_EQ(e[0] + e[1] + a.width, 1024);
  EXPECT_EQ(e[2] + e[3] + a.height, 768);
  EXPECT_FALSE(has_state(*client, w, "_NET_WM_STATE_MAXIMIZED_VERT"));
}

TEST_F(XManaged, MinimisedAndRestoredKeepsEveryPixel) {
  const Window w = open(9, 2);
  ASSERT_NE(w, 0u);
  testsupport::Picture picture;
  x11test::plot_scatter(picture, 3000, 11, width(), height());
  ASSERT_TRUE(shows(w, picture));

  XIconifyWindow(client->display(), w, DefaultScreen(client->display()));
  client->sync();
  ASSERT_TRUE(testsupport::wait_until([&] { return !client->viewable(w); }));
  x11test::plot_scatter(picture, 3000, 12, width(), height());  // while minimised
  XMapWindow(client->display(), w);
  client->sync();
  ASSERT_TRUE(testsupport::wait_until([&] { return client->viewable(w); }));
  EXPECT_TRUE(shows(w, picture));
}

}  // namespace
