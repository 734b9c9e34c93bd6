// The POSIX platform layer: frame checks for the stack walk, and writes
// that fail instead of ending the process.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "services/runtime/platform.hpp"

namespace {

namespace platform = runtime::platform;

TEST(Platform, FramesMustLieOnTheCallingThreadsStack) {
  void* local[2] = {nullptr, nullptr};
  EXPECT_TRUE(platform::frame_on_stack(local));
  EXPECT_FALSE(platform::frame_on_stack(nullptr));
  EXPECT_FALSE(platform::frame_on_stack(reinterpret_cast<char*>(local) + 1));  // misaligned
  auto heap = std::make_unique<void*[]>(2);
  EXPECT_FALSE(platform::frame_on_stack(heap.get()));

  bool main_frame_seen_from_thread = true, own_frame_seen = false;
  std::thread([&] {
    void* own[2] = {nullptr, nullptr};
    own_frame_seen = platform::frame_on_stack(own);
    main_frame_seen_from_thread = platform::frame_on_stack(local);
  }).join();
  EXPECT_TRUE(own_frame_seen);
  EXPECT_FALSE(main_frame_seen_from_thread);
}

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
