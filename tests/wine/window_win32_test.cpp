// The Windows window backend through the graphics service: a real window
// on the display, its pixels read back through GDI.
#include <windows.h>

#include <gtest/gtest.h>

#include "services/graphics/graph_internal.hpp"
#include "services/graphics/modes.hpp"
#include "services/graphics/state.hpp"
#include "tests/support/wait.hpp"

namespace {

using namespace graphics;
using namespace std::chrono_literals;
using testsupport::wait_until;

constexpr COLORREF WHITE = RGB(252, 252, 252);

HWND graph_window() { return FindWindowA(nullptr, "Graph window application"); }

class WinWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    release_mode_lists();
    QUERYADAPTERINFO();  // from the real screen
    _GRAPHRESULT = grOk;
  }
  void TearDown() override {
    if (ISGRAPHMODE) CLOSEGRAPH();
    ASSERT_EQ(graph_window(), nullptr);
  }

  static HWND open(std::int16_t driver, std::int16_t mode) {
    INITGRAPH(driver, mode, "");
    EXPECT_EQ(_GRAPHRESULT, grOk);
    return graph_window();
  }
};

TEST_F(WinWindow, DetectedModeOpensMaximisedAtTheMaximisedClientSize) {
  HWND w = open(0, 0);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_TRUE(IsZoomed(w));
  EXPECT_EQ(GETMAXX() + 1, GetSystemMetrics(SM_CXFULLSCREEN));
  EXPECT_EQ(GETMAXY() + 1, GetSystemMetrics(SM_CYFULLSCREEN));
  EXPECT_EQ(static_cast<UINT>(GetClassLongA(w, GCL_STYLE)), UINT{CS_HREDRAW | CS_VREDRAW});
  EXPECT_EQ(GetWindowLongA(w, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
  char title[64] = {};
  GetWindowTextA(w, title, sizeof title);
  EXPECT_STREQ(title, "Graph window application");
}

TEST_F(WinWindow, FixedModeWindowHasTheModesClientSize) {
  HWND w = open(9, 2);
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(IsZoomed(w));
  RECT client;
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
}

TEST_F(WinWindow, FreshWindowIsBlackAndPixelsShowWithoutARepaint) {
  HWND w = open(9, 2);
  ASSERT_NE(w, nullptr);
  HDC dc = GetDC(w);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 639, 479), RGB(0, 0, 0));
  PUTPIXEL(10, 20, 15);
  PUTPIXEL(639, 479, 15);
  PUTPIXEL(640, 0, 15);  // outside: dropped
  PUTPIXEL(-1, 0, 15);
  EXPECT_EQ(get_pixel(10, 20), 15);  // from the off-screen image, at once
  EXPECT_EQ(get_pixel(11, 20), 0);
  EXPECT_TRUE(wait_until([&] { return GetPixel(dc, 10, 20) == WHITE; }, 10s, 10ms));
  EXPECT_TRUE(wait_until([&] { return GetPixel(dc, 639, 479) == WHITE; }, 10s, 10ms));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 11, 20), RGB(0, 0, 0));
  ReleaseDC(w, dc);
}

// Pixels reach the window from the image by the window thread: the last one
// of a run that plots flat out, and one plotted after the thread fell idle.
TEST_F(WinWindow, LastPixelPlottedReachesTheWindow) {
  HWND w = open(9, 2);
  ASSERT_NE(w, nullptr);
  HDC dc = GetDC(w);
  // Rows 0..399 over and over, so that flushes happen while plotting.
  const auto start = GetTickCount();
  unsigned n = 0;
  while (GetTickCount() - start < 300 || n < 400000) {
    PUTPIXEL(static_cast<std::int16_t>(n % 640), static_cast<std::int16_t>(n / 640 % 400), 15);
    ++n;
  }
  PUTPIXEL(320, 450, 15);  // the last one, where no other lies
  EXPECT_TRUE(wait_until([&] { return GetPixel(dc, 320, 450) == WHITE; }, 10s, 10ms));
  EXPECT_EQ(GetPixel(dc, 320, 451), RGB(0, 0, 0));
  for (int y = 0; y < 400; y += 37)
    for (int x = 0; x < 640; x += 53) ASSERT_EQ(GetPixel(dc, x, y), WHITE) << x << "," << y;
  Sleep(200);  // nothing more to send: the window thread waits for messages only
  PUTPIXEL(5, 470, 15);
  EXPECT_TRUE(wait_until([&] { return GetPixel(dc, 5, 470) == WHITE; }, 10s, 10ms));
  ReleaseDC(w, dc);
}

TEST_F(WinWindow, PixelsPlottedWhileMinimisedShowWhenRestored) {
  HWND w = open(9, 2);
  ASSERT_NE(w, nullptr);
  ShowWindow(w, SW_MINIMIZE);
  ASSERT_TRUE(wait_until([&] { return IsIconic(w) != FALSE; }, 10s, 10ms));
  PUTPIXEL(200, 100, 15);
  PUTPIXEL(201, 300, 15);
  Sleep(100);  // sent to a minimised window: no visible effect
  ShowWindow(w, SW_RESTORE);
  HDC dc = GetDC(w);
  EXPECT_TRUE(wait_until([&] {
    return !IsIconic(w) && GetPixel(dc, 200, 100) == WHITE && GetPixel(dc, 201, 300) == WHITE;
  }, 10s, 10ms));
  EXPECT_EQ(GetPixel(dc, 202, 100), RGB(0, 0, 0));
  ReleaseDC(w, dc);
}

TEST_F(WinWindow, RepaintCopiesTheOffScreenImage) {
  HWND w = open(9, 2);
  ASSERT_NE(w, nullptr);
  PUTPIXEL(100, 50, 15);
  HDC dc = GetDC(w);
  ASSERT_TRUE(wait_until([&] { return GetPixel(dc, 100, 50) == WHITE; }, 10s, 10ms));
  PatBlt(dc, 0, 0, 640, 480, BLACKNESS);  // as if something had covered it
  ASSERT_EQ(GetPixel(dc, 100, 50), RGB(0, 0, 0));
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_TRUE(wait_until([&] { return GetPixel(dc, 100, 50) == WHITE; }, 10s, 10ms));
  EXPECT_EQ(GetPixel(dc, 101, 50), RGB(0, 0, 0));
  ReleaseDC(w, dc);
}

TEST_F(WinWindow, KeysAndClicksInTheWindowDoNothing) {
  HWND w = open(9, 2);
  ASSERT_NE(w, nullptr);
  // Alt+F4 and Escape would close or act on the window with default handling.
  EXPECT_EQ(SendMessageA(w, WM_SYSKEYDOWN, VK_F4, 0x20000001), 0);
  EXPECT_EQ(SendMessageA(w, WM_SYSKEYUP, VK_F4, 0xE0000001), 0);
  EXPECT_EQ(SendMessageA(w, WM_SYSCHAR, ' ', 0x20000001), 0);
  EXPECT_EQ(SendMessageA(w, WM_KEYDOWN, VK_ESCAPE, 1), 0);
  EXPECT_EQ(SendMessageA(w, WM_CHAR, 27, 1), 0);
  EXPECT_EQ(SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)), 0);
  EXPECT_EQ(SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(5, 5)), 0);
  // Anything the keys had set off would be posted to the window's queue;
  // give it time to show.
  Sleep(300);
  EXPECT_TRUE(IsWindow(w));
  EXPECT_TRUE(GRAPHRUNNING.load());
}

TEST_F(WinWindow, ClosedByTheUserThePlotGoesOnQuietly) {
  HWND w = open(9, 2);
  ASSERT_NE(w, nullptr);
  PostMessageA(w, WM_CLOSE, 0, 0);  // the close box
  ASSERT_TRUE(wait_until([] { return !GRAPHRUNNING.load(); }, 10s, 10ms));
  EXPECT_TRUE(wait_until([&] { return !IsWindow(w); }, 10s, 10ms));
  PUTPIXEL(10, 10, 15);  // nothing drawn, nothing reported
  EXPECT_EQ(get_pixel(10, 10), 0);
  EXPECT_TRUE(ISGRAPHMODE);
  CLOSEGRAPH();
  EXPECT_FALSE(ISGRAPHMODE);
}

TEST_F(WinWindow, CloseGraphEndsTheWindowAndAnotherCanOpen) {
  HWND w = open(9, 2);
  ASSERT_NE(w, nullptr);
  CLOSEGRAPH();
  EXPECT_FALSE(IsWindow(w));  // gone once CLOSEGRAPH returns
  EXPECT_FALSE(GRAPHRUNNING.load());
  PUTPIXEL(1, 1, 15);
  // The class stays registered; a second window opens the same way.
  HWND again = open(10, 0x101);
  ASSERT_NE(again, nullptr);
  RECT client;
  GetClientRect(again, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(pal_size, 256);
}

}  // namespace
