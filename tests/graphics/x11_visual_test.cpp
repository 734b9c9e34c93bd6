// A screen whose default visual is not TrueColor: the window still shows
// its colours.
#include <cstdlib>

#include "services/graphics/palette.hpp"
#include "tests/graphics/x11_test_support.hpp"

namespace {

using namespace graphics;

// Xvfb -cc 5: the default visual is DirectColor, whose pixel values show
// only what its colormap says.
class DirectColorDefault : public x11test::OnXServer<false> {
 public:
  static void SetUpTestSuite() {
    testsupport::XServerOptions options;
    options.visual_class = 5;
    server = new testsupport::XServer(options);
  }
};

TEST_F(DirectColorDefault, PlottedPixelsShowInTheirColours) {
  Display* d = client->display();
  ASSERT_EQ(DefaultVisual(d, DefaultScreen(d))->c_class, DirectColor);
  const Window w = open(9, 2);
  ASSERT_NE(w, 0u);
  testsupport::Picture picture;
  x11test::plot_scatter(picture, 300, 11, width(), height());
  std::string diff;
  EXPECT_TRUE(testsupport::wait_until([&] {
    diff = testsupport::compare(client->shown(w, width(), height()), width(), height(), picture);
    return diff.empty();
  })) << diff;
  // And read back through the service.
  for (const auto& [at, rgb] : picture)
    ASSERT_EQ(get_pixel(static_cast<std::int16_t>(at.first), static_cast<std::int16_t>(at.second)),
              rgb == x11test::WHITE ? 15 : 1);
}

// DirectColor at depths where a channel has 32 or 64 cells (15, 16) or
// only 4 to 8 (8); the server takes black and white out of them.
template <int Depth>
class DirectColorAtDepth : public x11test::OnXServer<false> {
 public:
  static void SetUpTestSuite() {
    testsupport::XServerOptions options;
    options.depth = Depth;
    options.visual_class = 5;
    server = new testsupport::XServer(options);
  }

 protected:
  // Plots every colour of the 256-colour palette once, colour i at
  // (i % 16, i / 16), and returns what the window shows there through its
  // colormap.
  std::vector<std::uint32_t> every_colour_shown() {
    Display* d = client->display();
    EXPECT_EQ(DefaultVisual(d, DefaultScreen(d))->c_class, DirectColor);
    EXPECT_EQ(DefaultDepth(d, DefaultScreen(d)), Depth);
    const Window w = open(15, 4);
    if (w == 0) return {};
    for (int i = 0; i < 256; ++i)
      PUTPIXEL(static_cast<std::int16_t>(i % 16), static_cast<std::int16_t>(i / 16),
               static_cast<std::uint16_t>(i));
    // Waited for until the window shows what the image holds, as the
    // backend reads it back (the cells' values).
    std::vector<std::uint32_t> image(256);
    window::lock();
    for (int i = 0; i < 256; ++i) {
      const std::uint32_t rgb = window::get_pixel(i % 16, i / 16);
      image[static_cast<std::size_t>(i)] = (rgb & 255) << 16 | (rgb & 0xFF00) | rgb >> 16;
    }
    window::unlock();
    std::vector<std::uint32_t> shown;
    EXPECT_TRUE(
        testsupport::wait_until([&] { return (shown = client->shown(w, 16, 16)) == image; }));
    return shown;
  }
};

// 0xRRGGBB (as shown) against the palette's red + 256 green + 65536 blue:
// the largest difference of one channel.
int channel_error(std::uint32_t shown, const graphics::Rgb& want) {
  const int got[3] = {static_cast<int>(shown >> 16), static_cast<int>((shown >> 8) & 255),
                      static_cast<int>(shown & 255)};
  return std::max({std::abs(got[0] - want.red), std::abs(got[1] - want.green),
                   std::abs(got[2] - want.blue)});
}

using DirectColor15 = DirectColorAtDepth<15>;
using DirectColor16 = DirectColorAtDepth<16>;
using DirectColor8 = DirectColorAtDepth<8>;

// 31 values a channel: the 16 colours exact, the others within one 6-bit
// step of the palette.
void expect_close_palette(const std::vector<std::uint32_t>& shown) {
  ASSERT_EQ(shown.size(), 256u);
  for (int i = 0; i < 256; ++i) {
    const int error = channel_error(shown[static_cast<std::size_t>(i)], DEFAULTCOLORS[i]);
    if (i < 16)
      EXPECT_EQ(error, 0) << "colour " << i << " shows as 0x" << std::hex << shown[i];
    else
      EXPECT_LE(error, 4) << "colour " << i << " shows as 0x" << std::hex << shown[i];
  }
}

TEST_F(DirectColor15, EveryColourExactOrWithinAStep) { expect_close_palette(every_colour_shown()); }

TEST_F(DirectColor16, EveryColourExactOrWithinAStep) {
  expect_close_palette(every_colour_shown());
  // And read back through the service as what is shown.
  EXPECT_EQ(get_pixel(15, 0), 15);
  EXPECT_EQ(get_pixel(1, 0), 1);
}

// Blue has 4 cells, two of them black and white: colour 15 is still exact,
// and every colour shows as the nearest of the values the cells could get.
TEST_F(DirectColor8, ColourFifteenExactAndTheOthersNear) {
  const std::vector<std::uint32_t> shown = every_colour_shown();
  ASSERT_EQ(shown.size(), 256u);
  EXPECT_EQ(shown[15], x11test::WHITE);
  EXPECT_EQ(shown[0], 0u);
  // Red and green: 7 values spread over 0..252 (at most 20 off); blue: 0,
  // 84 and 252.
  for (int i = 0; i < 256; ++i) {
    const graphics::Rgb& want = DEFAULTCOLORS[i];
    const std::uint32_t got = shown[static_cast<std::size_t>(i)];
    EXPECT_LE(std::abs(static_cast<int>(got >> 16) - want.red), 20) << i;
    EXPECT_LE(std::abs(static_cast<int>((got >> 8) & 255) - want.green), 20) << i;
    const int blue = static_cast<int>(got & 255);
    EXPECT_TRUE(blue == 0 || blue == 84 || blue == 252) << i << ": " << blue;
    EXPECT_LE(std::abs(blue - want.blue), 84) << i;
  }
}

}  // namespace
