// The Windows platform layer: handle I/O that fails with an error number
// instead of ending the process.
#include <windows.h>

#include <gtest/gtest.h>

#include "services/runtime/platform.hpp"

namespace {

namespace platform = runtime::platform;

std::intptr_t as_int(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }

TEST(Platform, HandleWritesAndReads) {
  HANDLE r, w;
  ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0));
  EXPECT_FALSE(platform::is_char_device(as_int(w)));
  EXPECT_EQ(platform::write(as_int(w), "ab\r\n", 4), 0);
  CloseHandle(w);
  char buf[8];
  std::uint16_t error = 0;
  EXPECT_EQ(platform::read(as_int(r), buf, sizeof buf, error), 4);
  EXPECT_EQ(std::string(buf, 4), "ab\r\n");
  // The writer is gone: end of input, not an error.
  EXPECT_EQ(platform::read(as_int(r), buf, sizeof buf, error), 0);
  EXPECT_EQ(error, 0);
  CloseHandle(r);
}

TEST(Platform, FailedWritesGiveAnErrorNumber) {
  HANDLE r, w;
  ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0));
  CloseHandle(r);
  EXPECT_EQ(platform::write(as_int(w), "x\r\n", 3), 101);  // nobody reads
  CloseHandle(w);
  EXPECT_EQ(platform::write(as_int(INVALID_HANDLE_VALUE), "x", 1), 6);
  EXPECT_EQ(platform::write(0, "x", 1), 6);
}

TEST(Platform, TickCountIsTheSystemsMillisecondCounter) {
  const DWORD before = GetTickCount();
  const std::uint32_t t = platform::tick_count_ms();
  const DWORD after = GetTickCount();
  EXPECT_LE(t - before, after - before);  // within [before, after], wrapping
}

}  // namespace
