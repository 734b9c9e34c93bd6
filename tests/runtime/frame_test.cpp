// Frame checks for the stack walk: a frame must lie on the calling thread's
// own stack, aligned, before the walk may read it.
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

}  // namespace
