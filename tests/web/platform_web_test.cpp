// The browser build's platform layer under node: the standard handles, the
// clock, and the run-time errors of WebAssembly traps.
#include <gtest/gtest.h>

#include "services/runtime/browser_web.hpp"
#include "services/runtime/platform.hpp"

namespace {

namespace platform = runtime::platform;

TEST(WebPlatform, OnlyOutputAndErrorTakeWrites) {
  using platform::StdStream;
  EXPECT_EQ(platform::write(platform::std_handle(StdStream::output), "", 0), 0);
  EXPECT_EQ(platform::write(platform::std_handle(StdStream::error), "", 0), 0);
  EXPECT_EQ(platform::write(platform::std_handle(StdStream::input), "x", 1), 6);
  EXPECT_EQ(platform::write(7, "x", 1), 6);
  char buf[4];
  std::uint16_t error = 0;
  EXPECT_EQ(platform::read(platform::std_handle(StdStream::input), buf, sizeof buf, error), 0);
  EXPECT_EQ(error, 0);
  EXPECT_LT(platform::read(1, buf, sizeof buf, error), 0);
  EXPECT_EQ(error, 6);
}

TEST(WebPlatform, TheClockGoesForwardInMilliseconds) {
  const std::uint32_t first = platform::tick_count_ms();
  std::uint32_t now = first;
  for (long i = 0; i < 100000000 && now - first < 2; ++i) now = platform::tick_count_ms();
  EXPECT_GE(now - first, 2u);
  EXPECT_LT(now - first, 60000u);
}

TEST(WebPlatform, TrapsGiveTheirRunTimeErrors) {
  // V8's and SpiderMonkey's messages.
  EXPECT_EQ(runtime::web::trap_error("divide by zero"), 200);
  EXPECT_EQ(runtime::web::trap_error("integer divide by zero"), 200);
  EXPECT_EQ(runtime::web::trap_error("remainder by zero"), 200);
  EXPECT_EQ(runtime::web::trap_error("integer overflow"), 215);
  EXPECT_EQ(runtime::web::trap_error("Maximum call stack size exceeded"), 202);
  EXPECT_EQ(runtime::web::trap_error("too much recursion"), 202);
  EXPECT_EQ(runtime::web::trap_error("unreachable"), 217);
  EXPECT_EQ(runtime::web::trap_error("unreachable executed"), 217);
  EXPECT_EQ(runtime::web::trap_error("memory access out of bounds"), 216);
  EXPECT_EQ(runtime::web::trap_error("index out of bounds"), 216);
}

}  // namespace
