// The POSIX platform layer: writes that fail instead of ending the process.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "services/runtime/platform.hpp"

namespace {

namespace platform = runtime::platform;

TEST(Platform, WriteIntoAPipeWithoutReaderFailsWithoutEndingTheProcess) {
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  close(p[0]);
  EXPECT_EQ(platform::write(p[1], "x\n", 2), 101);
  close(p[1]);

  sigset_t pending;
  sigpending(&pending);
  EXPECT_FALSE(sigismember(&pending, SIGPIPE));
  EXPECT_EQ(platform::write(-1, "x", 1), 6);  // invalid handle
}

}  // namespace
