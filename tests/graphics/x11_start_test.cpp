// Start-up on a server that resets when its last client leaves, as one
// started by xvfb-run does: measuring the screen and opening the window must
// not lose their connections to such a reset.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "services/graphics/graph_internal.hpp"
#include "services/graphics/state.hpp"
#include "services/runtime/units.hpp"
#include "tests/support/xserver.hpp"

namespace {

using namespace graphics;

// Starts in a row; a longer loop runs in scripts/soak.
int starts() {
  const char* n = getenv("GRAIN_RESET_STARTS");
  return n != nullptr ? atoi(n) : 15;
}

// Keeps a core busy, so that the server and the window thread are
// preempted at unlucky moments.
testsupport::Spawn busy_child() {
  return {.child = [] {
            volatile unsigned long n = 0;
            for (;;) n = n + 1;
          },
          .die_with_test = true};
}

// Each round does what a program's start does, with the program as the
// server's only client: measure, detect, open. The window must be there, at
// the measured size (not the 640 x 480 of an unreachable screen).
TEST(ResettingServer, EveryStartGetsItsWindowAtTheScreenSize) {
  testsupport::XServerOptions options;
  options.width = 800;
  options.height = 600;
  options.reset_when_idle = true;
  testsupport::XServer server(options);
  setenv("DISPLAY", server.display().c_str(), 1);
  runtime::kSystemUnit.init();
  testsupport::Process busy(busy_child());
  const int rounds = starts();
  for (int i = 0; i < rounds; ++i) {
    SCOPED_TRACE("start " + std::to_string(i + 1));
    release_mode_lists();
    QUERYADAPTERINFO();
    std::int16_t driver = 0, mode = 0;
    INITGRAPH(driver, mode, "");
    ASSERT_EQ(_GRAPHRESULT, grOk);
    EXPECT_EQ(GETMAXX() + 1, 800);
    EXPECT_EQ(GETMAXY() + 1, 600);
    CLOSEGRAPH();
    if (HasFailure()) break;
  }
}

}  // namespace
