// The X11 window without a window manager: what it shows, and when.
#include <atomic>
#include <string>
#include <thread>

#include "services/graphics/window.hpp"
#include "tests/graphics/x11_test_support.hpp"
// After the test framework, whose names the Xlib macros would shadow.
#include <X11/Xatom.h>

namespace {

using namespace graphics;
using x11test::BLUE;
using x11test::WHITE;

using XWindow = x11test::OnXServer<false>;

TEST_F(XWindow, MeasuresTheScreenWithoutFrames) {
  const ScreenMetrics m = window::measure_screen();
  EXPECT_EQ(m.screen_width, 1024);
  EXPECT_EQ(m.screen_height, 768);
  EXPECT_EQ(m.frame_width, 0);
  EXPECT_EQ(m.frame_height, 0);
  EXPECT_EQ(m.caption_height, 0);
  EXPECT_EQ(m.full_width, 1024);
  EXPECT_EQ(m.full_height, 768);
  std::int16_t driver, mode;
  DETECTGRAPH(driver, mode);
  EXPECT_EQ(driver, 15);
  EXPECT_EQ(mode, 4);  // the 1024 x 768 rows merge with rows 13 and 15
}

TEST_F(XWindow, FreshWindowIsBlackToItsLastRowAndColumn) {
  // Something bright underneath, so that a window without its own black
  // background would not pass.
  client->cover(0, 0, 800, 600, 0xFFFFFF);
  const Window w = open(9, 2);
  ASSERT_NE(w, 0u);
  const XWindowAttributes a = client->attributes(w);
  EXPECT_EQ(a.width, 640);
  EXPECT_EQ(a.height, 480);
  EXPECT_TRUE(shows(w, {}));
  EXPECT_EQ(client->text_property(w, "WM_NAME"), x11test::TITLE);
  EXPECT_EQ(client->text_property(w, "_NET_WM_NAME"), x11test::TITLE);
  // Keys and buttons are selected by nobody: typed keys do nothing there.
  EXPECT_EQ(a.all_event_masks & (KeyPressMask | KeyReleaseMask | ButtonPressMask |
                                 ButtonReleaseMask),
            0);
  // Not asked to start maximised: only the maximised-window modes are.
  EXPECT_TRUE(client->long_property(w, "_NET_WM_STATE", XA_ATOM).empty());
}

TEST_F(XWindow, PixelAppearsWithoutExposure) {
  const Window w = open(9, 2);
  ASSERT_NE(w, 0u);
  ASSERT_TRUE(shows(w, {}));
  // One pixel in each corner tile, then nothing more: no later call pushes
  // them out.
  PUTPIXEL(639, 479, 15);
  PUTPIXEL(0, 0, 1);
  EXPECT_TRUE(shows(w, {{{639, 479}, WHITE}, {{0, 0}, BLUE}}));
  // And again after a quiet spell, when the window thread sleeps.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  PUTPIXEL(320, 240, 15);
  EXPECT_TRUE(shows(w, {{{639, 479}, WHITE}, {{0, 0}, BLUE}, {{320, 240}, WHITE}}));
}

// Pixels come in short runs with pauses around the window thread's send
// period, and now and then long enough for it to wait without a limit, so
// that runs start just as it looks, sends or goes idle: each one still
// reaches the window, with no later pixel to push it out.
TEST_F(XWindow, PixelsPlottedAsTheWindowThreadLooksAllShow) {
  const Window w = open(9, 2);
  ASSERT_NE(w, 0u);
  testsupport::Picture picture;
  for (int run = 0; run < 60; ++run) {
    for (int i = 0; i < 1 + run % 3; ++i) {
      const auto x = static_cast<std::int16_t>((run * 37 + i * 211) % 640);
      const auto y = static_cast<std::int16_t>((run * 53 + i * 97) % 480);
      PUTPIXEL(x, y, 15);
      picture[{x, y}] = WHITE;
    }
    const int pause_us = run % 10 == 9 ? 80'000 : run % 5 * 1500 + run % 7 * 300;
    std::this_thread::sleep_for(std::chrono::microseconds(pause_us));
  }
  EXPECT_TRUE(shows(w, picture));
}

TEST_F(XWindow, BurstOfPixelsArrivesComplete) {
  const Window w = open(15, 4);
  ASSERT_NE(w, 0u);
  testsupport::Picture picture;
  x11test::plot_scatter(picture, 200000, 7, width(), height());
  // Overwriting with the same colour changes nothing.
  x11test::plot_scatter(picture, 1000, 7, width(), height());
  EXPECT_TRUE(shows(w, picture));
}

TEST_F(XWindow, CoveredPixelsSurvive) {
  const Window w = open(9, 2);
  ASSERT_NE(w, 0u);
  testsupport::Picture picture;
  x11test::plot_scatter(picture, 3000, 1, width(), height());
  ASSERT_TRUE(shows(w, picture));

  const Window cover = client->cover(100, 50, 400, 300, 0x00FF00);
  ASSERT_TRUE(testsupport::wait_until([&] {
    auto p = client->pixels(w, 200, 200, 1, 1);
    return !p.empty() && p[0] == 0x00FF00;
  }));
  x11test::plot_scatter(picture, 3000, 2, width(), height());  // partly under the cover
  XDestroyWindow(client->display(), cover);
  client->sync();
  EXPECT_TRUE(shows(w, picture));
}

TEST_F(XWindow, LargerWindowShowsBlackAround) {
  client->cover(0, 0, 1000, 700, 0xFFFFFF);
  const Window w = open(9, 2);
  ASSERT_NE(w, 0u);
  testsupport::Picture picture;
  x11test::plot_scatter(picture, 2000, 3, width(), height());
  PUTPIXEL(639, 479, 15);
  picture[{639, 479}] = WHITE;
  ASSERT_TRUE(shows(w, picture));

  XResizeWindow(client->display(), w, 760, 560);
  client->sync();
  ASSERT_TRUE(testsupport::wait_until([&] { return client->attributes(w).width == 760; }));
  EXPECT_TRUE(shows(w, picture, 760, 560));
  // Back to a smaller size and out again: the picture is repainted.
  XResizeWindow(client->display(), w, 300, 200);
  client->sync();
  ASSERT_TRUE(testsupport::wait_until([&] { return client->attributes(w).width == 300; }));
  XResizeWindow(client->display(), w, 640, 480);
  client->sync();
  EXPECT_TRUE(shows(w, picture));
}

TEST_F(XWindow, ClosedWindowMakesLaterPixelsQuietNoOps) {
  const Window w = open(15, 4);
  ASSERT_NE(w, 0u);
  const int threads = testsupport::thread_count();
  client->send_delete(w);
  ASSERT_TRUE(testsupport::wait_until([] { return !GRAPHRUNNING; }));
  EXPECT_TRUE(testsupport::wait_until([&] { return client->find(x11test::TITLE) == 0; }));
  EXPECT_TRUE(testsupport::wait_until([&] { return testsupport::thread_count() == threads - 1; }));
  for (int i = 0; i < 1000; ++i) PUTPIXEL(static_cast<std::int16_t>(i), 5, 15);
  EXPECT_TRUE(ISGRAPHMODE);  // the window is gone, the mode stays set
  EXPECT_EQ(_GRAPHRESULT, grOk);
  CLOSEGRAPH();
  EXPECT_FALSE(ISGRAPHMODE);
}

// Root window properties are anybody's to set: a desktop number beyond the
// work area's list (here 0xFFFFFFFF) must not be used to index it.
TEST_F(XWindow, MeasuringIgnoresADesktopNumberOutsideTheWorkAreas) {
  Display* d = client->display();
  const Window root = DefaultRootWindow(d);
  const long check[1] = {static_cast<long>(root)};  // "a window manager runs"
  const long desktop[1] = {static_cast<long>(0xFFFFFFFFu)};
  const long area[4] = {0, 0, 800, 600};
  const auto set = [&](const char* name, Atom type, const long* values, int n) {
    XChangeProperty(d, root, client->atom(name), type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values), n);
  };
  set("_NET_SUPPORTING_WM_CHECK", XA_WINDOW, check, 1);
  set("_NET_CURRENT_DESKTOP", XA_CARDINAL, desktop, 1);
  set("_NET_WORKAREA", XA_CARDINAL, area, 4);
  client->sync();
  const ScreenMetrics m = window::measure_screen();
  for (const char* name : {"_NET_SUPPORTING_WM_CHECK", "_NET_CURRENT_DESKTOP", "_NET_WORKAREA"})
    XDeleteProperty(d, root, client->atom(name));
  client->sync();
  EXPECT_EQ(m.screen_width, 1024);
  EXPECT_EQ(m.full_width, 1024);  // no work area for that desktop: the screen
  EXPECT_EQ(m.full_height, 768);
}

// A stand-in window manager that answers every frame-extents request with
// the same extent on all four sides.
class ExtentsAnswerer {
 public:
  ExtentsAnswerer(const std::string& display, long extent) : x_(display), d_(x_.display()) {
    const Window root = DefaultRootWindow(d_);
    XSelectInput(d_, root, SubstructureRedirectMask);
    const long check[1] = {static_cast<long>(root)};
    XChangeProperty(d_, root, XInternAtom(d_, "_NET_SUPPORTING_WM_CHECK", False), XA_WINDOW, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(check), 1);
    XSync(d_, False);
    thread_ = std::thread([this, extent] { answer(extent); });
  }
  ~ExtentsAnswerer() {
    stop_ = true;
    thread_.join();
    XDeleteProperty(d_, DefaultRootWindow(d_), XInternAtom(d_, "_NET_SUPPORTING_WM_CHECK", False));
  }

 private:
  void answer(long extent) {
    const Atom request = XInternAtom(d_, "_NET_REQUEST_FRAME_EXTENTS", False);
    const Atom extents = XInternAtom(d_, "_NET_FRAME_EXTENTS", False);
    const long v[4] = {extent, extent, extent, extent};
    while (!stop_) {
      while (XPending(d_) > 0) {
        XEvent e;
        XNextEvent(d_, &e);
        if (e.type != ClientMessage || e.xclient.message_type != request) continue;
        XChangeProperty(d_, e.xclient.window, extents, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(v), 4);
        XFlush(d_);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  testsupport::XClient x_;
  Display* d_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Frame extents are anybody's to set too: outlandish ones (2^31 - 1 on
// every side) stay within the coordinate range, and the mode table built
// from them has usable sizes.
TEST_F(XWindow, MeasuringKeepsOutlandishFrameExtentsInRange) {
  ScreenMetrics m{};
  {
    ExtentsAnswerer manager(server->display(), 0x7FFFFFFF);
    m = window::measure_screen();
  }
  for (int v : {m.frame_width, m.frame_height, m.caption_height}) {
    EXPECT_GE(v, 0);
    EXPECT_LE(v, 32767);
  }
  EXPECT_GT(m.frame_width, 0) << "the answers were not seen";
  release_mode_lists();
  QUERYADAPTERINFO(m);
  std::int16_t driver, mode;
  DETECTGRAPH(driver, mode);
  ASSERT_EQ(driver, 15);
  const TMODEINFO* e = SEARCHMODE(driver, mode);
  ASSERT_NE(e, nullptr);
  EXPECT_LE(e->MAXX, 32767);
  EXPECT_LE(e->MAXY, 32767);
}

// The close box while another thread draws and uses the palette: every
// shared access goes under the drawing lock, and the drawing goes on quietly.
TEST_F(XWindow, ClosedWhileAnotherThreadDraws) {
  const Window w = open(15, 4);
  ASSERT_NE(w, 0u);
  std::atomic<bool> stop{false};
  std::atomic<long> rounds{0};
  std::thread plotter([&] {
    for (std::uint32_t i = 0; !stop; ++i) {
      const auto x = static_cast<std::int16_t>(i % 600), y = static_cast<std::int16_t>(i / 600 % 400);
      const auto c = static_cast<std::int16_t>(i % 16);
      PUTPIXEL(x, y, static_cast<std::uint16_t>(c));
      get_pixel(x, y);
      std::int16_t r = 0, g = 0, b = 0;
      get_rgb_palette(c, r, g, b);
      set_rgb_palette(c, r, g, b);
      ++rounds;
    }
  });
  const auto goes_on = [&] {
    const long now = rounds;
    return testsupport::wait_until([&] { return rounds > now + 1000; });
  };
  EXPECT_TRUE(goes_on());
  client->send_delete(w);
  EXPECT_TRUE(testsupport::wait_until([] { return !GRAPHRUNNING; }));
  EXPECT_TRUE(goes_on());
  stop = true;
  plotter.join();
  EXPECT_EQ(_GRAPHRESULT, grError);  // the palette is gone with the window
  EXPECT_TRUE(ISGRAPHMODE);
  CLOSEGRAPH();
  EXPECT_FALSE(ISGRAPHMODE);
}

TEST_F(XWindow, CloseGraphEndsTheWindowThread) {
  const int before = testsupport::thread_count();
  const Window w = open(9, 2);
  ASSERT_NE(w, 0u);
  EXPECT_EQ(testsupport::thread_count(), before + 1);
  CLOSEGRAPH();
  // A joined thread may still be listed for a moment.
  EXPECT_TRUE(testsupport::wait_until([&] { return testsupport::thread_count() == before; }))
      << testsupport::thread_count() << " threads, " << before << " before";
  EXPECT_FALSE(GRAPHRUNNING);
  EXPECT_FALSE(ISGRAPHMODE);
  client->sync();
  EXPECT_EQ(client->find(x11test::TITLE), 0u);
  PUTPIXEL(1, 1, 15);  // still bound, draws nothing

  // A new mode opens a new window.
  const Window again = open(9, 2);
  ASSERT_NE(again, 0u);
  PUTPIXEL(2, 2, 15);
  EXPECT_TRUE(shows(again, {{{2, 2}, WHITE}}));
}

}  // namespace
