// The off-screen image of a screen-sized window: every pixel comes back as
// plotted, and the backend keeps no second screen-sized copy of it.
#include <fstream>
#include <string>

#include "tests/graphics/x11_test_support.hpp"

namespace {

using namespace graphics;

constexpr int SIDE = 2048;

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

class LargeScreen : public x11test::OnXServer<false> {
 public:
  static void SetUpTestSuite() {
    testsupport::XServerOptions options;
    options.width = options.height = SIDE;
    server = new testsupport::XServer(options);
  }
};

long resident_kib() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = -1;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      break;
    }
    status.ignore(1 << 16, '\n');
  }
  return value;
}

bool lit(int x, int y) { return ((x >> 2) + (y >> 3)) % 3 != 0; }

TEST_F(LargeScreen, EveryPixelComesBackAndTheImageIsTheOnlyCopy) {
  const long before = resident_kib();
  std::int16_t driver = 0, mode = 0;
  DETECTGRAPH(driver, mode);
  const Window w = open(driver, mode);
  ASSERT_NE(w, 0u);
  ASSERT_EQ(width(), SIDE);
  ASSERT_EQ(height(), SIDE);
  for (int y = 0; y < SIDE; ++y)
    for (int x = 0; x < SIDE; ++x)
      PUTPIXEL(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), lit(x, y) ? 15 : 1);

  // Read back in strips, each until it shows what was plotted.
  constexpr int STRIP = 64;
  for (int top = 0; top < SIDE; top += STRIP) {
    std::string diff;
    const bool shown = testsupport::wait_until([&] {
      const std::vector<std::uint32_t> p = client->pixels(w, 0, top, SIDE, STRIP);
      if (p.size() != static_cast<std::size_t>(SIDE) * STRIP) return false;
      for (int y = 0; y < STRIP; ++y)
        for (int x = 0; x < SIDE; ++x) {
          const std::uint32_t want = lit(x, top + y) ? x11test::WHITE : x11test::BLUE;
          if (p[static_cast<std::size_t>(y) * SIDE + x] != want) {
            diff = "pixel (" + std::to_string(x) + ", " + std::to_string(top + y) + ")";
            return false;
          }
        }
      return true;
    });
    ASSERT_TRUE(shown) << diff;
  }
  // 4 bytes a pixel for the image; a second copy would double that. A
  // sanitizer's shadow memory grows with it.
  if (kSanitized) GTEST_SKIP() << "resident memory is not the program's own under a sanitizer";
  const long grown = resident_kib() - before;
  const long image_kib = static_cast<long>(SIDE) * SIDE * 4 / 1024;
  EXPECT_LT(grown, image_kib * 3 / 2) << "resident memory grew by " << grown << " KiB";
}

}  // namespace
