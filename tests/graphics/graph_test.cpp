// Setting a mode, plotting, closing and the exit procedure, over the
// stand-in backend.
#include <regex>

#include "services/graphics/window_driver.hpp"
#include "services/runtime/platform.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/textfile.hpp"
#include "services/runtime/units.hpp"
#include "tests/graphics/fixture.hpp"

namespace {

using namespace graphics;
using graphicstest::Graphics;

constexpr std::uint32_t WHITE = 0xFCFCFC;  // colour 15: 252, 252, 252

void open(std::int16_t driver, std::int16_t mode) {
  INITGRAPH(driver, mode, "");
  ASSERT_EQ(_GRAPHRESULT, grOk);
}

TEST_F(Graphics, ClassicPairOpensA16ColourWindow) {
  open(9, 2);
  ASSERT_EQ(fakewindow::state.opened.size(), 1u);
  EXPECT_EQ(fakewindow::state.opened[0].width, 640);
  EXPECT_EQ(fakewindow::state.opened[0].height, 480);
  EXPECT_FALSE(fakewindow::state.opened[0].maximized);
  EXPECT_TRUE(ISGRAPHMODE);
  EXPECT_TRUE(GRAPHRUNNING);
  EXPECT_EQ(pal_size, 16);
  EXPECT_EQ(PAL[15], (Rgb{252, 252, 252}));
  EXPECT_EQ(PAL[1], (Rgb{0, 0, 168}));
  EXPECT_EQ(GETMAXX(), 639);
  EXPECT_EQ(GETMAXY(), 479);
  EXPECT_EQ(GETMAXCOLOR(), 15);
  EXPECT_EQ(INTCURRENTDRIVER, 9);
  EXPECT_EQ(INTCURRENTNEWDRIVER, -1);
  EXPECT_EQ(INTCURRENTMODE, 2);
  EXPECT_EQ(PUTPIXEL, PUTPIXEL16WIN32GUI);
  // Graphics defaults.
  EXPECT_EQ(CURRENTCOLOR, 15);
  EXPECT_TRUE(CLIPPIXELS);
  EXPECT_EQ(VIEWWIDTH, 639);
  EXPECT_EQ(VIEWHEIGHT, 479);
}

TEST_F(Graphics, DetectionRequestIsWrittenBack) {
  std::int16_t driver = 0, mode = 7;
  INITGRAPH(driver, mode, "ignored\\path");
  EXPECT_EQ(_GRAPHRESULT, grOk);
  EXPECT_EQ(driver, 15);
  EXPECT_EQ(mode, 5);
  EXPECT_EQ(pal_size, 256);
  EXPECT_EQ(PAL[200], DEFAULTCOLORS[200]);
}

TEST_F(Graphics, UnknownModesOpenNothing) {
  for (auto [driver, mode] : {std::pair<std::int16_t, std::int16_t>{15, 6}, {13, 7}, {10, 0x104},
                              {9, 3}, {22, 1}}) {
    SCOPED_TRACE(std::to_string(driver) + "/" + std::to_string(mode));
    INITGRAPH(driver, mode, "");
    EXPECT_EQ(_GRAPHRESULT, grInvalidMode);
    EXPECT_EQ(PUTPIXEL, PUTPIXELDEFAULT);
    EXPECT_FALSE(ISGRAPHMODE);
  }
  EXPECT_TRUE(fakewindow::state.opened.empty());
  // SETGRAPHMODE with a position beyond the list of the driver in use.
  open(15, 1);
  SETGRAPHMODE(6);
  EXPECT_EQ(_GRAPHRESULT, grInvalidMode);
  EXPECT_EQ(fakewindow::state.opened.size(), 1u);
}

TEST_F(Graphics, PixelsOutsideTheDrawingAreaVanish) {
  open(15, 5);
  const std::int16_t mx = static_cast<std::int16_t>(GETMAXX());
  const std::int16_t my = static_cast<std::int16_t>(GETMAXY());
  PUTPIXEL(-1, 0, 15);
  PUTPIXEL(static_cast<std::int16_t>(mx + 1), 0, 15);
  PUTPIXEL(0, static_cast<std::int16_t>(my + 1), 15);
  PUTPIXEL(0, -1, 15);
  PUTPIXEL(-32768, 32767, 15);
  PUTPIXEL(0, 0, 256);  // no such palette entry
  EXPECT_TRUE(fakewindow::state.pixels.empty());
  EXPECT_EQ(_GRAPHRESULT, grOk);

  PUTPIXEL(mx, my, 15);
  PUTPIXEL(0, 0, 15);
  PUTPIXEL(3, 4, 1);
  EXPECT_EQ(fakewindow::state.pixels.size(), 3u);
  EXPECT_EQ((fakewindow::state.pixels[{mx, my}]), WHITE);
  EXPECT_EQ((fakewindow::state.pixels[{0, 0}]), WHITE);
  EXPECT_EQ((fakewindow::state.pixels[{3, 4}]), 0xA80000u);  // blue 168
  EXPECT_FALSE(fakewindow::state.locked);
  EXPECT_EQ(get_pixel(3, 4), 1);
  EXPECT_EQ(get_pixel(5, 5), 0);
}

TEST_F(Graphics, ViewportMovesAndClipsPixels) {
  open(15, 5);
  SETVIEWPORT(10, 20, 30, 40, true);
  PUTPIXEL(0, 0, 15);
  PUTPIXEL(20, 20, 15);
  PUTPIXEL(21, 0, 15);
  PUTPIXEL(-1, 0, 15);
  EXPECT_EQ(fakewindow::state.pixels.size(), 2u);
  EXPECT_TRUE(fakewindow::state.pixels.count({10, 20}));
  EXPECT_TRUE(fakewindow::state.pixels.count({30, 40}));
  // Clipping off: only the image bounds count (the backend drops the rest).
  SETVIEWPORT(10, 20, 30, 40, false);
  PUTPIXEL(100, 100, 15);
  EXPECT_TRUE(fakewindow::state.pixels.count({110, 120}));
  // A rectangle outside the screen is refused.
  SETVIEWPORT(0, 0, 1024, 10, true);
  EXPECT_EQ(_GRAPHRESULT, grError);
  GRAPHDEFAULTS();
  EXPECT_EQ(STARTXVIEWPORT, 0);
  EXPECT_EQ(VIEWWIDTH, 1023);
  EXPECT_TRUE(CLIPPIXELS);
}

TEST_F(Graphics, PaletteEntriesAndBackground) {
  open(9, 2);
  std::int16_t r = -1, g = -1, b = -1;
  set_rgb_palette(15, 1, 2, 3);
  PUTPIXEL(1, 1, 15);
  EXPECT_EQ((fakewindow::state.pixels[{1, 1}]), 0x030201u);
  set_rgb_palette(0, 40, 40, 40);
  GRAPHDEFAULTS();  // background colour 0: entry 0 back to black
  get_rgb_palette(0, r, g, b);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(_GRAPHRESULT, grOk);
  set_rgb_palette(16, 1, 1, 1);  // beyond a 16-entry palette
  EXPECT_EQ(_GRAPHRESULT, grError);
  _GRAPHRESULT = grOk;
  get_rgb_palette(-1, r, g, b);
  EXPECT_EQ(_GRAPHRESULT, grError);
}

TEST_F(Graphics, ClosedWindowMakesPixelsQuietNoOps) {
  open(15, 5);
  fakewindow::destroy_window();
  EXPECT_TRUE(ISGRAPHMODE);  // window gone
  EXPECT_FALSE(GRAPHRUNNING);
  EXPECT_EQ(pal_size, 0);
  PUTPIXEL(5, 5, 15);
  EXPECT_TRUE(fakewindow::state.pixels.empty());
  EXPECT_EQ(_GRAPHRESULT, grOk);

  CLOSEGRAPH();  // closed
  EXPECT_FALSE(ISGRAPHMODE);
  EXPECT_EQ(fakewindow::state.closes, 1);
  PUTPIXEL(5, 5, 15);
  EXPECT_TRUE(fakewindow::state.pixels.empty());
  CLOSEGRAPH();
  EXPECT_EQ(_GRAPHRESULT, grNoInitGraph);
  EXPECT_EQ(fakewindow::state.closes, 1);
}

TEST_F(Graphics, ReopeningAfterTheUserClosedReleasesTheOldThread) {
  open(15, 5);
  fakewindow::destroy_window();
  open(9, 2);
  EXPECT_EQ(fakewindow::state.closes, 1);
  EXPECT_EQ(fakewindow::state.opened.size(), 2u);
  EXPECT_TRUE(GRAPHRUNNING);
}

TEST_F(Graphics, FailedOpeningLeavesNoMode) {
  fakewindow::state.open_fails = true;
  std::int16_t driver = 15, mode = 5;
  INITGRAPH(driver, mode, "");
  EXPECT_EQ(_GRAPHRESULT, grError);
  EXPECT_EQ(PUTPIXEL, PUTPIXELDEFAULT);
  EXPECT_FALSE(ISGRAPHMODE);
  EXPECT_FALSE(GRAPHRUNNING);
  CLOSEGRAPH();
  EXPECT_EQ(_GRAPHRESULT, grNoInitGraph);
  EXPECT_EQ(fakewindow::state.closes, 0);
}

using GraphicsDeathTest = Graphics;

TEST_F(GraphicsDeathTest, PlottingWithoutAModeEndsTheProgram) {
  runtime::kSystemUnit.init();
  fakewindow::state.open_fails = true;
  std::int16_t driver = 15, mode = 5;
  INITGRAPH(driver, mode, "");
  EXPECT_EXIT(PUTPIXEL(1, 1, 15), ::testing::ExitedWithCode(1),
              std::regex_replace(std::string(kNotInGraphicsMode), std::regex(R"([()])"),
                                 R"(\$&)") +
                  "\n$");
}

// The exit-procedure chain: installed at the head by the unit's start-up,
// puts back the displaced procedure, closes only after a run-time error.
int earlier_runs = 0;
void earlier_exit_proc() { ++earlier_runs; }

class ExitProc : public Graphics {
 protected:
  void SetUp() override {
    Graphics::SetUp();
    earlier_runs = 0;
    runtime::ERRORCODE = 0;
    runtime::ERRORADDR = nullptr;
    runtime::EXITPROC = earlier_exit_proc;
    fakewindow::state.metrics = graphicstest::SCREEN_1024;
    INITIALIZEGRAPH();
  }
  void TearDown() override {
    runtime::ERRORCODE = 0;
    runtime::ERRORADDR = nullptr;
    runtime::EXITPROC = nullptr;
    Graphics::TearDown();
  }
  // What the exit sequence does with the chain.
  static void run_chain() {
    while (runtime::EXITPROC != nullptr) {
      runtime::ExitProc p = runtime::EXITPROC;
      runtime::EXITPROC = nullptr;
      p();
    }
  }
};

TEST_F(ExitProc, NormalEndLeavesTheWindowOpen) {
  EXPECT_EQ(runtime::EXITPROC, GRAPHEXITPROC);
  EXPECT_EQ(depth(15).modes.size(), 5u);
  open(15, 5);
  run_chain();
  EXPECT_EQ(earlier_runs, 1);
  EXPECT_EQ(fakewindow::state.closes, 0);
  EXPECT_TRUE(GRAPHRUNNING);
  EXPECT_TRUE(MODELIST.empty());
  EXPECT_EQ(depth(15).highest, -1);
}

TEST_F(ExitProc, RunTimeErrorClosesTheWindowFirst) {
  open(15, 5);
  runtime::ERRORCODE = 201;
  // The earlier procedure runs after the window is closed.
  runtime::EXITPROC = GRAPHEXITPROC;
  old_exit_proc = [] {
    ++earlier_runs;
    EXPECT_FALSE(GRAPHRUNNING);
  };
  run_chain();
  EXPECT_EQ(earlier_runs, 1);
  EXPECT_EQ(fakewindow::state.closes, 1);
  EXPECT_FALSE(ISGRAPHMODE);
}

TEST_F(ExitProc, ErrorAddressAloneAlsoCloses) {
  open(15, 5);
  static int here;
  runtime::ERRORADDR = &here;
  run_chain();
  EXPECT_EQ(fakewindow::state.closes, 1);
  EXPECT_EQ(earlier_runs, 1);
}

TEST_F(ExitProc, NoModeNothingToClose) {
  runtime::ERRORCODE = 207;
  run_chain();
  EXPECT_EQ(fakewindow::state.closes, 0);
  EXPECT_EQ(earlier_runs, 1);
}

}  // namespace
