// The plotting loop of both figures against a recording pixel sink.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "plotter/five_point.hpp"
#include "plotter/plotter.hpp"
#include "plotter/six_point.hpp"
#include "services/console/console.hpp"
#include "services/runtime/random.hpp"
#include "tests/plotter/recorder.hpp"

namespace {

using plottertest::Pixel;
using plottertest::recorder;
using plottertest::run_loop;

// An exact double in the programs' number type.
runtime::Extended E(double v) { return runtime::Extended(v); }

// First seed (from 1 up) whose first `count` draws of RANDOM(n) are all `index`.
std::uint32_t seed_starting_with(std::int32_t n, std::int32_t index, int count) {
  for (std::uint32_t seed = 1; seed < 10'000'000; ++seed) {
    runtime::reset_random();
    runtime::RANDSEED = seed;
    int i = 0;
    while (i < count && runtime::RANDOM(n) == index) ++i;
    if (i == count) return seed;
  }
  ADD_FAILURE() << "no seed starts with " << count << " draws of " << index;
  return 0;
}

struct Box {
  int left, top, right, bottom;
};

Box bounds(const std::vector<Pixel>& pixels) {
  Box b{pixels[0].first, pixels[0].second, pixels[0].first, pixels[0].second};
  for (auto [x, y] : pixels) {
    b.left = std::min(b.left, x);
    b.right = std::max(b.right, x);
    b.top = std::min(b.top, y);
    b.bottom = std::max(b.bottom, y);
  }
  return b;
}

// Share of the distinct pixels whose mirror image under `mirror` was
// plotted too.
template <class Mirror>
double mirrored_share(const std::vector<Pixel>& pixels, Mirror mirror) {
  std::set<Pixel> lit(pixels.begin() + 10, pixels.end());  // past the way in from the origin
  std::size_t matched = 0;
  for (const Pixel& p : lit) matched += lit.count(mirror(p));
  return static_cast<double>(matched) / static_cast<double>(lit.size());
}

TEST(SixPointLoop, FirstSevenPixelsFromSeedZero) {
  const std::vector<Pixel> expected{{512, 384}, {379, 269}, {490, 480}, {508, 169},
                                    {378, 233}, {756, 590}, {553, 187}};
  EXPECT_EQ(run_loop<plotter::SixPoint>(7), expected);
  EXPECT_EQ(recorder().colors, std::vector<std::uint16_t>(7, 15));
}

TEST(FivePointLoop, FirstSevenPixelsFromSeedZero) {
  const std::vector<Pixel> expected{{512, 384}, {724, 172}, {370, 526}, {465, 431},
                                    {708, 188}, {365, 107}, {463, 292}};
  EXPECT_EQ(run_loop<plotter::FivePoint>(7), expected);
  EXPECT_EQ(recorder().colors, std::vector<std::uint16_t>(7, 15));
}

TEST(FivePointLoop, CentreDrawsFromTheOriginReplotTheStartPixel) {
  const std::uint32_t seed = seed_starting_with(5, 0, 2);
  const auto pixels = run_loop<plotter::FivePoint>(4, seed);
  ASSERT_EQ(pixels.size(), 4u);
  EXPECT_EQ(pixels[0], Pixel(512, 384));
  EXPECT_EQ(pixels[1], Pixel(512, 384));
  EXPECT_EQ(pixels[2], Pixel(512, 384));
  EXPECT_NE(pixels[3], Pixel(512, 384));
}

// The loop polls once per step, after the step's pixel: a key buffered
// with the N-th pixel ends it at exactly N pixels, and at least one step
// follows the start point.
TEST(PlotLoop, StopsAtThePixelAfterWhichTheKeyArrives) {
  for (std::size_t n : {1u, 2u, 3u, 50u}) {
    const std::size_t expected = std::max<std::size_t>(n, 2);
    EXPECT_EQ(run_loop<plotter::SixPoint>(n).size(), expected) << n;
    EXPECT_EQ(run_loop<plotter::FivePoint>(n).size(), expected) << n;
  }
}

TEST(PlotLoop, KeyPendingBeforeTheLoopGivesOneStepAndStaysBuffered) {
  plottertest::prepare(plotter::SixPoint::kSize);
  console::SCANCODE = 'q';
  plotter::plot<plotter::SixPoint>();
  EXPECT_EQ(recorder().pixels, (std::vector<Pixel>{{512, 384}, {379, 269}}));
  EXPECT_EQ(console::SCANCODE, 'q');

  plottertest::prepare(plotter::FivePoint::kSize);
  console::SCANCODE = 'q';
  plotter::plot<plotter::FivePoint>();
  EXPECT_EQ(recorder().pixels, (std::vector<Pixel>{{512, 384}, {724, 172}}));
}

TEST(PlotLoop, StartsFromTheOriginWhateverThePointWas) {
  plotter::X = E(100);
  plotter::Y = E(-100);
  EXPECT_EQ(run_loop<plotter::SixPoint>(2)[0], Pixel(512, 384));
}

// A long run fills the figure out to the fixed points of the outer maps and
// never beyond: every target enters, with the right sign.
TEST(SixPointLoop, LongRunReachesTheTriangleCornersAndStaysInside) {
  const auto pixels = run_loop<plotter::SixPoint>(300'000, 12345);
  const Box b = bounds(pixels);
  EXPECT_EQ(b.left, 192);
  EXPECT_EQ(b.right, 832);
  EXPECT_EQ(b.top, 107);
  EXPECT_EQ(b.bottom, 661);
  EXPECT_NE(std::find(pixels.begin(), pixels.end(), Pixel(512, 107)), pixels.end());
  EXPECT_NE(std::find(pixels.begin(), pixels.end(), Pixel(192, 661)), pixels.end());
  EXPECT_NE(std::find(pixels.begin(), pixels.end(), Pixel(832, 661)), pixels.end());
  // The triangles are symmetric about the vertical through the origin.
  EXPECT_GT(mirrored_share(pixels, [](Pixel p) { return Pixel(1024 - p.first, p.second); }), 0.9);
}

TEST(FivePointLoop, LongRunReachesTheSquareCornersAndStaysInside) {
  const auto pixels = run_loop<plotter::FivePoint>(300'000, 12345);
  const Box b = bounds(pixels);
  EXPECT_EQ(b.left, 195);
  EXPECT_EQ(b.right, 829);
  EXPECT_EQ(b.top, 67);
  EXPECT_EQ(b.bottom, 701);
  // The square is symmetric about both axes through the origin.
  EXPECT_GT(mirrored_share(pixels, [](Pixel p) { return Pixel(1024 - p.first, p.second); }), 0.9);
  EXPECT_GT(mirrored_share(pixels, [](Pixel p) { return Pixel(p.first, 768 - p.second); }), 0.9);
}

TEST(Koord, RoundsToNearestWithTiesToEven) {
  EXPECT_EQ(plotter::XKOORD(E(0.5)), 512);
  EXPECT_EQ(plotter::XKOORD(E(1.5)), 514);
  EXPECT_EQ(plotter::XKOORD(E(0.49)), 512);
  EXPECT_EQ(plotter::XKOORD(E(-0.51)), 511);
  EXPECT_EQ(plotter::YKOORD(E(-384.5)), 0);
  EXPECT_EQ(plotter::YKOORD(E(-385.5)), -2);
  EXPECT_EQ(plotter::YKOORD(E(0.0)), 384);
}

TEST(Koord, AcceptsTheWholeSigned16BitRange) {
  EXPECT_EQ(plotter::XKOORD(E(32767.0 - 512.0)), 32767);
  EXPECT_EQ(plotter::XKOORD(E(-32768.0 - 512.0)), -32768);
  EXPECT_EQ(plotter::YKOORD(E(32767.0 - 384.0)), 32767);
  EXPECT_EQ(plotter::YKOORD(E(-32768.0 - 384.0)), -32768);
}

}  // namespace
