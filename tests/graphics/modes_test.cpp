// The mode table, its two indexes and detection.
#include <string>
#include <vector>

#include "tests/graphics/fixture.hpp"

namespace {

using namespace graphics;
using graphicstest::Graphics;

struct Expected {
  int width, height;
  std::string name;
  std::int16_t driver, mode;
};

void expect_list(const DepthList& list, const std::vector<Expected>& expected) {
  ASSERT_EQ(list.modes.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const TMODEINFO& m = list.modes[i];
    SCOPED_TRACE("position " + std::to_string(i + 1));
    EXPECT_EQ(m.new_mode_number, static_cast<std::int16_t>(i + 1));
    EXPECT_EQ(m.MAXX + 1, expected[i].width);
    EXPECT_EQ(m.MAXY + 1, expected[i].height);
    EXPECT_EQ(m.name(), expected[i].name);
    EXPECT_EQ(m.driver_number, expected[i].driver);
    EXPECT_EQ(m.mode_number, expected[i].mode);
  }
  EXPECT_EQ(list.lowest, 1);
  EXPECT_EQ(list.highest, static_cast<std::int16_t>(expected.size()));
}

TEST_F(Graphics, WorkedExampleBuildsBothDepthLists) {
  // UW x UH = 1016 x 741; the 1024 x 768 and larger rows need UW >= 1024.
  expect_list(depth(15), {{640, 400, "640 x 400 x 256 Wi", 10, 0x100},
                          {640, 480, "640 x 480 x 256 Wi", 10, 0x101},
                          {800, 600, "800 x 600 x 256 Wi", 10, 0x103},
                          {1016, 741, "Largest Window x 2", 10, 0xF1},
                          {1024, 719, "Maximized Window x", 10, 0xF6}});
  expect_list(depth(13), {{640, 200, "640 x 200 x 16 Win", 9, 0},
                          {640, 350, "640 x 350 x 16 Win", 9, 1},
                          {640, 480, "640 x 480 x 16 Win", 9, 2},
                          {800, 600, "800 x 600 x 16 Win", 10, 0x102},
                          {1016, 741, "Largest Window x 1", 10, 0xF0},
                          {1024, 719, "Maximized Window x", 10, 0xF5}});
  for (std::int16_t d = kLowNewDriver; d <= kHighNewDriver; ++d) {
    if (d == 13 || d == 15) continue;
    std::int16_t lowest, highest;
    GETMODERANGE(d, lowest, highest);
    EXPECT_EQ(lowest, -1) << d;
    EXPECT_EQ(highest, -1) << d;
  }
  // MODELIST keeps every added row in order: rows 1-7 and 12-15.
  std::vector<std::int16_t> modes;
  for (const TMODEINFO& m : MODELIST) modes.push_back(m.mode_number);
  EXPECT_EQ(modes, (std::vector<std::int16_t>{2, 0, 1, 0x100, 0x101, 0x102, 0x103, 0xF0, 0xF1,
                                              0xF5, 0xF6}));
  for (const TMODEINFO& m : MODELIST) {
    EXPECT_NE(m.ops.PUTPIXEL, nullptr);
    EXPECT_NE(m.ops.INITMODE, nullptr);
  }
  EXPECT_EQ(SEARCHMODE(10, 0x104), nullptr);
  EXPECT_EQ(SEARCHMODE(10, 0x105), nullptr);
}

TEST_F(Graphics, WorkedExampleDetectsTheMaximisedWindow) {
  std::int16_t driver = 99, mode = 99;
  _GRAPHRESULT = grError;
  DETECTGRAPH(driver, mode);
  EXPECT_EQ(_GRAPHRESULT, grOk);
  EXPECT_EQ(driver, 15);
  EXPECT_EQ(mode, 5);

  INITGRAPH(driver, mode, "");
  ASSERT_EQ(_GRAPHRESULT, grOk);
  ASSERT_EQ(fakewindow::state.opened.size(), 1u);
  EXPECT_EQ(fakewindow::state.opened[0].width, 1024);
  EXPECT_EQ(fakewindow::state.opened[0].height, 719);
  EXPECT_TRUE(fakewindow::state.opened[0].maximized);
  EXPECT_STREQ(fakewindow::state.opened[0].title, "Graph window application");
  EXPECT_EQ(GETMAXX(), 1023);
  EXPECT_EQ(GETMAXY(), 718);
  EXPECT_EQ(GETMAXCOLOR(), 255);
  EXPECT_EQ(INTCURRENTMODE, 0xF6);
  EXPECT_EQ(INTCURRENTNEWDRIVER, 15);
}

TEST_F(Graphics, EqualSizesReplaceInPlace) {
  // UW x UH = 800 x 600 meets rows 6 and 7; FW x FH = 700 x 500 lies between.
  rebuild({808, 627, 4, 4, 19, 700, 500});
  expect_list(depth(15), {{640, 400, "640 x 400 x 256 Wi", 10, 0x100},
                          {640, 480, "640 x 480 x 256 Wi", 10, 0x101},
                          {700, 500, "Maximized Window x", 10, 0xF6},
                          {800, 600, "Largest Window x 2", 10, 0xF1}});
  // MODELIST still has both 800 x 600 rows.
  EXPECT_NE(SEARCHMODE(10, 0x103), nullptr);
  EXPECT_NE(SEARCHMODE(10, 0xF1), nullptr);

  // Directly: the replacing entry keeps the earlier one's place.
  release_mode_lists();
  auto entry = [](int w, int h, std::int16_t number, const char* name) {
    TMODEINFO m = INITMODE();
    m.driver_number = 10;
    m.mode_number = number;
    m.MAXCOLOR = 256;
    m.MAXX = static_cast<std::uint16_t>(w - 1);
    m.MAXY = static_cast<std::uint16_t>(h - 1);
    set_mode_name(m, name);
    return m;
  };
  ADDMODE(entry(800, 600, 1, "first"));
  ADDMODE(entry(640, 480, 2, "second"));
  ADDMODE(entry(800, 500, 3, "third"));
  ADDMODE(entry(800, 600, 4, "fourth"));
  expect_list(depth(15),
              {{640, 480, "second", 10, 2}, {800, 500, "third", 10, 3}, {800, 600, "fourth", 10, 4}});
  EXPECT_EQ(MODELIST.size(), 4u);
  // Widths compare as unsigned: a 40000-pixel mode is the widest.
  ADDMODE(entry(40000, 10, 5, "wide"));
  EXPECT_EQ(depth(15).modes.back().name(), "wide");
}

TEST_F(Graphics, SmallScreensDropRows) {
  // UW x UH = 792 x 573: only the 640-wide rows fit besides 12 to 15.
  rebuild({800, 600, 4, 4, 19, 800, 551});
  expect_list(depth(13), {{640, 200, "640 x 200 x 16 Win", 9, 0},
                          {640, 350, "640 x 350 x 16 Win", 9, 1},
                          {640, 480, "640 x 480 x 16 Win", 9, 2},
                          {792, 573, "Largest Window x 1", 10, 0xF0},
                          {800, 551, "Maximized Window x", 10, 0xF5}});
  EXPECT_EQ(SEARCHMODE(10, 0x102), nullptr);
  EXPECT_EQ(SEARCHMODE(10, 0x103), nullptr);

  // 320 x 200 without frames: rows 12 to 15 only, one size per depth.
  rebuild({320, 200, 0, 0, 0, 320, 200});
  expect_list(depth(15), {{320, 200, "Maximized Window x", 10, 0xF6}});
  EXPECT_EQ(MODELIST.size(), 4u);
  std::int16_t driver, mode;
  DETECTGRAPH(driver, mode);
  EXPECT_EQ(driver, 15);
  EXPECT_EQ(mode, 1);

  // Frames larger than the screen still leave a one-pixel mode.
  rebuild({10, 10, 8, 8, 8, 0, 0});
  EXPECT_EQ(depth(15).modes.front().MAXX, 0);
  EXPECT_EQ(depth(15).modes.front().MAXY, 0);
}

TEST_F(Graphics, DetectionTakesTheHighestDepthWithModes) {
  release_mode_lists();
  std::int16_t driver = 1, mode = 1;
  DETECTGRAPH(driver, mode);
  EXPECT_EQ(_GRAPHRESULT, grNotDetected);

  for (int w : {640, 1000, 800}) {
    TMODEINFO m = INITMODE();
    m.driver_number = 9;
    m.mode_number = static_cast<std::int16_t>(w);
    m.MAXCOLOR = 16;
    m.MAXX = static_cast<std::uint16_t>(w - 1);
    m.MAXY = 479;
    ADDMODE(m);
  }
  TMODEINFO mono = INITMODE();
  mono.MAXCOLOR = 2;
  mono.MAXX = 2000;
  ADDMODE(mono);
  DETECTGRAPH(driver, mode);
  EXPECT_EQ(_GRAPHRESULT, grOk);
  EXPECT_EQ(driver, 13);
  EXPECT_EQ(mode, 3);
  EXPECT_EQ(SEARCHMODE(driver, mode)->MAXX, 999);

  // Asked for detection within driver 15 only: nothing there.
  driver = 15;
  mode = 30000;
  INITGRAPH(driver, mode, "");
  EXPECT_EQ(_GRAPHRESULT, grNotDetected);
  EXPECT_TRUE(fakewindow::state.opened.empty());
  // Within driver 11: its one mode, which has no operations to bind.
  driver = 11;
  mode = 30000;
  INITGRAPH(driver, mode, "");
  EXPECT_EQ(driver, 11);
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(_GRAPHRESULT, grInvalidMode);
  EXPECT_EQ(PUTPIXEL, PUTPIXELDEFAULT);
  EXPECT_FALSE(ISGRAPHMODE);
  EXPECT_TRUE(fakewindow::state.opened.empty());
}

}  // namespace
