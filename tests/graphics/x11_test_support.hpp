#pragma once
// Fixtures for tests of the X11 backend against a private X server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "services/graphics/graph_internal.hpp"
#include "services/graphics/state.hpp"
#include "services/graphics/window.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/units.hpp"
#include "tests/support/wait.hpp"
#include "tests/support/x_client.hpp"
#include "tests/support/xserver.hpp"

namespace x11test {

inline constexpr const char* TITLE = "Graph window application";
inline constexpr std::uint32_t WHITE = 0xFCFCFC;  // colour 15
inline constexpr std::uint32_t BLUE = 0x0000A8;   // colour 1

// Plots `count` scattered pixels in colours 15 and 1 inside w x h, records
// them in `picture`.
inline void plot_scatter(testsupport::Picture& picture, int count, std::uint32_t seed, int w, int h) {
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    const int x = static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(w));
    seed = seed * 1103515245u + 12345u;
    const int y = static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(h));
    const bool white = i % 3 != 0;
    graphics::PUTPIXEL(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), white ? 15 : 1);
    picture[{x, y}] = white ? WHITE : BLUE;
  }
}

// One X server per test suite (each test runs in its own process under
// ctest); the graphics state is rebuilt from it for every test.
template <bool WithWindowManager>
class OnXServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testsupport::XServerOptions options;
    options.window_manager = WithWindowManager;
    server = new testsupport::XServer(options);
    if (WithWindowManager) {
      // The manager answers frame-extent requests only once it has settled,
      // a while after it announces itself.
      setenv("DISPLAY", server->display().c_str(), 1);
      ASSERT_TRUE(testsupport::wait_until(
          [] { return graphics::window::measure_screen().caption_height > 0; },
          std::chrono::seconds(30)));
    }
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }

  void SetUp() override {
    setenv("DISPLAY", server->display().c_str(), 1);
    runtime::kSystemUnit.init();
    graphics::release_mode_lists();
    graphics::QUERYADAPTERINFO();  // also installs the backend's X error handlers
    client = std::make_unique<testsupport::XClient>(server->display());
  }
  void TearDown() override {
    if (graphics::ISGRAPHMODE) graphics::CLOSEGRAPH();
    client.reset();
  }

  // Opens a mode and waits for its window to be shown; 0 on failure.
  Window open(std::int16_t driver, std::int16_t mode) {
    graphics::INITGRAPH(driver, mode, "");
    EXPECT_EQ(graphics::_GRAPHRESULT, graphics::grOk);
    if (graphics::_GRAPHRESULT != graphics::grOk) return 0;
    const Window w = client->find(TITLE);
    EXPECT_NE(w, 0u);
    EXPECT_TRUE(testsupport::wait_until([&] { return client->viewable(w); }));
    return w;
  }
  int width() const { return graphics::GETMAXX() + 1; }
  int height() const { return graphics::GETMAXY() + 1; }

  // Waits until the window shows `picture` (black elsewhere) over w x h.
  ::testing::AssertionResult shows(Window w, const testsupport::Picture& picture, int pw, int ph) {
    std::string diff;
    if (testsupport::wait_until([&] {
          diff = testsupport::compare(client->pixels(w, 0, 0, pw, ph), pw, ph, picture);
          return diff.empty();
        }))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << diff;
  }
  ::testing::AssertionResult shows(Window w, const testsupport::Picture& picture) {
    return shows(w, picture, width(), height());
  }

  static inline testsupport::XServer* server = nullptr;
  std::unique_ptr<testsupport::XClient> client;
};

}  // namespace x11test
