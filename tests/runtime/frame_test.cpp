// Frame checks for the stack walk: a frame must lie on the calling thread's
// own stack, aligned, before the walk may read it.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "services/runtime/frame_layout.hpp"
#include "services/runtime/keep_frame.hpp"
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

// Three routines deep, each notes its frame and its return address as the
// compiler knows them; the innermost reads the same through the frame
// links, while all three frames are live.
struct Seen {
  const void* frame = nullptr;
  const void* return_address = nullptr;
};
Seen noted[3], walked[3];
bool on_stack[3];
volatile int depth_sink;

GRAIN_KEEP_FRAME void innermost() {
  noted[2] = {__builtin_frame_address(0), __builtin_return_address(0)};
  const void* frame = noted[2].frame;
  for (int i = 2; i > 0; --i) {
    on_stack[i] = platform::frame_on_stack(frame);
    if (!on_stack[i]) return;
    const void* caller = runtime::frame::caller(frame);
    walked[i] = {frame, runtime::frame::return_address(frame, caller)};
    walked[i - 1].frame = caller;
    frame = caller;
  }
  depth_sink = 2;
}
GRAIN_KEEP_FRAME void middle() {
  noted[1] = {__builtin_frame_address(0), __builtin_return_address(0)};
  innermost();
  depth_sink = 1;  // keeps the call from becoming a jump
}
GRAIN_KEEP_FRAME void outer() {
  noted[0] = {__builtin_frame_address(0), __builtin_return_address(0)};
  middle();
  depth_sink = 0;
}

TEST(Platform, FrameLinksLeadToTheCallersFramesAndReturnAddresses) {
  outer();
  for (int i = 2; i > 0; --i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(on_stack[i]);
    EXPECT_EQ(walked[i].return_address, noted[i].return_address);
    EXPECT_EQ(walked[i - 1].frame, noted[i - 1].frame);
  }
}

}  // namespace
