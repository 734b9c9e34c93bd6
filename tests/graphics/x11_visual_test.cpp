// A screen whose default visual is not TrueColor: the window still shows
// its colours.
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

}  // namespace
