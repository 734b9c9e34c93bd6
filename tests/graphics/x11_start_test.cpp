// Start-up on a server that resets when its last client leaves, as one
// started by xvfb-run does: measuring the screen and opening the window must
// not lose their connections to such a reset. And on one that refuses the
// client: asking again gets nothing but the same answer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "services/graphics/connection_x11.hpp"
#include "services/graphics/graph_internal.hpp"
#include "services/graphics/state.hpp"
#include "services/graphics/window.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/units.hpp"
#include "tests/support/scratch.hpp"
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

// What the process writes to standard error while `f` runs.
template <class F>
std::string standard_error_of(F f) {
  const std::string path = testsupport::scratch_path();
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int saved = dup(STDERR_FILENO);
  dup2(file, STDERR_FILENO);
  close(file);
  f();
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(RefusingServer, TheReasonIsSaidOnceAndMeasuringIsNotRetried) {
  testsupport::XServer server({.require_cookie = true});
  setenv("DISPLAY", server.display().c_str(), 1);
  setenv("XAUTHORITY", "/nonexistent", 1);
  x11::Connection c;
  ScreenMetrics m{};
  const std::string said = standard_error_of([&] {
    m = window::measure_screen();
    EXPECT_FALSE(x11::connect(c));
    EXPECT_TRUE(c.refused);
    x11::disconnect(c);
    window::measure_screen();
  });
  EXPECT_EQ(m.screen_width, 640);  // the fallback
  EXPECT_EQ(m.screen_height, 480);
  const std::string reason = said.substr(0, said.find('\n'));
  ASSERT_FALSE(reason.empty());
  EXPECT_EQ(count(said, reason), 1) << said;

  // With the cookie: admitted, and the flag is cleared.
  setenv("XAUTHORITY", server.cookie_file().c_str(), 1);
  EXPECT_TRUE(x11::connect(c));
  EXPECT_FALSE(c.refused);
  x11::disconnect(c);
  unsetenv("XAUTHORITY");
}

// No server, or one that drops the connection: not a refusal, and silent.
TEST(RefusingServer, NoServerIsNoRefusal) {
  int n = 4343;
  while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) ++n;
  setenv("DISPLAY", (":" + std::to_string(n)).c_str(), 1);
  x11::Connection c;
  c.refused = true;
  const std::string said = standard_error_of([&] { EXPECT_FALSE(x11::connect(c)); });
  EXPECT_FALSE(c.refused);
  EXPECT_EQ(said, "");
}

}  // namespace
