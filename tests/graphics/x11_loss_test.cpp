// Losing the X server, or never having one: the program carries on.
#include <dlfcn.h>

#include <atomic>
#include <map>
#include <mutex>
#include <regex>
#include <thread>

#include "services/graphics/window.hpp"
#include "tests/graphics/x11_test_support.hpp"

// Graphics contexts made and not yet freed by this process, with the
// drawable each was made for. The backend is linked into this program, so its
// calls come here first.
std::mutex gcs_mutex;
std::map<GC, Drawable> live_gcs;

extern "C" GC XCreateGC(Display* d, Drawable w, unsigned long mask, XGCValues* values) {
  using Real = GC (*)(Display*, Drawable, unsigned long, XGCValues*);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "XCreateGC"));
  GC gc = real(d, w, mask, values);
  std::lock_guard<std::mutex> guard(gcs_mutex);
  if (gc != nullptr) live_gcs[gc] = w;
  return gc;
}

extern "C" int XFreeGC(Display* d, GC gc) {
  using Real = int (*)(Display*, GC);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "XFreeGC"));
  {
    std::lock_guard<std::mutex> guard(gcs_mutex);
    live_gcs.erase(gc);
  }
  return real(d, gc);
}

// Whether a graphics context made for window w is still there.
bool gc_live_for(Window w) {
  std::lock_guard<std::mutex> guard(gcs_mutex);
  for (const auto& [gc, drawable] : live_gcs)
    if (drawable == w) return true;
  return false;
}

namespace {

using namespace graphics;

// A server of its own for each test: these tests end it.
class XLoss : public x11test::OnXServer<false> {
 protected:
  void SetUp() override {
    if (server == nullptr) server = new testsupport::XServer();
    OnXServer::SetUp();
  }
  void TearDown() override {
    OnXServer::TearDown();
    delete server;
    server = nullptr;
  }

  // Plots on a thread of its own (the only one that plots) until stopped.
  struct Plotter {
    std::atomic<bool> stop{false};
    std::atomic<long> plotted{0};
    std::thread thread{[this] {
      for (std::uint32_t i = 0; !stop; ++i) {
        PUTPIXEL(static_cast<std::int16_t>(i % 600), static_cast<std::int16_t>(i / 600 % 400),
                 static_cast<std::uint16_t>(i % 16));
        ++plotted;
      }
    }};
    ~Plotter() {
      stop = true;
      thread.join();
    }
    bool goes_on() {
      const long now = plotted;
      return testsupport::wait_until([&] { return plotted > now + 1000; });
    }
  };

  void expect_window_gone_quietly(Plotter& plotter, int threads_before) {
    EXPECT_TRUE(testsupport::wait_until([] { return !GRAPHRUNNING; }));
    EXPECT_TRUE(plotter.goes_on());
    EXPECT_TRUE(testsupport::wait_until([&] { return testsupport::thread_count() == threads_before; }));
    EXPECT_TRUE(ISGRAPHMODE);
  }
};

TEST_F(XLoss, ServerKilledWhilePlotting) {
  const Window w = open(15, 4);
  ASSERT_NE(w, 0u);
  ASSERT_TRUE(gc_live_for(w));
  const int threads = testsupport::thread_count();  // with the window thread
  Plotter plotter;
  ASSERT_TRUE(plotter.goes_on());
  server->kill();
  // The window thread has ended; the plotter thread is there instead.
  expect_window_gone_quietly(plotter, threads);
  EXPECT_FALSE(gc_live_for(w)) << "the lost window's graphics context was not freed";
}

TEST_F(XLoss, ClientKilledByTheServerWhilePlotting) {
  const Window w = open(15, 4);
  ASSERT_NE(w, 0u);
  ASSERT_TRUE(gc_live_for(w));
  const int threads = testsupport::thread_count();
  Plotter plotter;
  ASSERT_TRUE(plotter.goes_on());
  XKillClient(client->display(), w);
  client->sync();
  expect_window_gone_quietly(plotter, threads);
  EXPECT_FALSE(gc_live_for(w)) << "the lost window's graphics context was not freed";
  EXPECT_EQ(client->find(x11test::TITLE), 0u);
  EXPECT_FALSE(client->lost());
  CLOSEGRAPH();
  EXPECT_FALSE(ISGRAPHMODE);
}

// No server at all.
class NoDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    runtime::kSystemUnit.init();
    release_mode_lists();
  }
};

TEST_F(NoDisplay, StartUpMeasuresAFallbackScreen) {
  const ScreenMetrics m = window::measure_screen();
  EXPECT_EQ(m.screen_width, 640);
  EXPECT_EQ(m.screen_height, 480);
  EXPECT_EQ(m.full_width, 640);
  EXPECT_EQ(m.full_height, 480);
  QUERYADAPTERINFO();
  std::int16_t driver, mode;
  DETECTGRAPH(driver, mode);
  EXPECT_EQ(_GRAPHRESULT, grOk);
  EXPECT_EQ(driver, 15);
}

TEST_F(NoDisplay, OpeningFailsWithTheMessage) {
  QUERYADAPTERINFO();
  const int threads = testsupport::thread_count();
  std::int16_t driver = 0, mode = 0;
  ::testing::internal::CaptureStderr();
  INITGRAPH(driver, mode, "");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "Window creation failed\n");
  EXPECT_EQ(_GRAPHRESULT, grError);
  EXPECT_EQ(PUTPIXEL, PUTPIXELDEFAULT);
  EXPECT_FALSE(ISGRAPHMODE);
  // The window thread that failed is joined, but may still be listed for a moment.
  EXPECT_TRUE(testsupport::wait_until([&] { return testsupport::thread_count() == threads; }))
      << testsupport::thread_count() << " threads, " << threads << " before";
}

using NoDisplayDeathTest = NoDisplay;

TEST_F(NoDisplayDeathTest, FirstPixelEndsTheProgram) {
  QUERYADAPTERINFO();
  std::int16_t driver = 0, mode = 0;
  EXPECT_EXIT(
      {
        INITGRAPH(driver, mode, "");
        PUTPIXEL(10, 10, 15);
      },
      ::testing::ExitedWithCode(1),
      "^Window creation failed\nError: Not in graphics mode \\(use InitGraph and test "
      "GraphResult afterwards\\)\n$");
}

}  // namespace
