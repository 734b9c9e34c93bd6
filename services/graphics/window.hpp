#pragma once
// The window backend: what the graphics service needs of a windowing system.
// One implementation per windowing system (window_x11.cpp, window_win32.cpp).
//
// The backend runs the window on a thread of its own. That thread owns every
// call into the windowing system, except the screen measurement at start-up.
// The main thread shares with it the off-screen image and its tile marks
// (tile_marks.hpp; each backend says when put_pixel needs the drawing lock),
// and, under the drawing lock, the portable state changed by
// on_window_created / on_window_destroyed.
#include <cstdint>

#include "services/graphics/modes.hpp"

namespace graphics::window {

// The screen, measured once at start-up. Never fails: without a reachable
// screen a documented fallback stands in (the mode table must exist).
ScreenMetrics measure_screen();

struct WindowRequest {
  int width;   // client area, in pixels
  int height;
  bool maximized;  // ask to start maximised
  const char* title;
};

// Starts the window thread, which creates the window with a black client
// area and an off-screen image of the requested size, calls on_window_created
// under the drawing lock, and shows the window. Returns true once that is
// done; false when the thread ended first (the failure already shown to the
// user) or could not be started. After false nothing is left to release.
bool open(const WindowRequest& request);

// Posts the close request and waits for the window thread to end (at once if
// the window is already gone), then releases it. The wait is bounded (about
// a second): a thread that has not ended by then is stuck in the windowing
// system or waits for the drawing lock, and is left to the end of the
// process; until it ends, open() fails. Called on the window thread itself
// it only posts: a thread cannot wait for its own end.
void close();

// The drawing lock.
void lock();
void unlock();

// On the thread that opened the window, without the drawing lock, after
// GRAPHRUNNING was seen set: sets one pixel of the off-screen image and of
// the window to rgb (red + 256 green + 65536 blue). The window shows it
// within a few milliseconds, without waiting for a repaint. Pixels outside
// the image are dropped, and so are pixels once the window has gone. A
// backend takes the drawing lock here only if it must: this runs once per
// plotted point. Allocates nothing.
void put_pixel(int x, int y, std::uint32_t rgb);
// Under the drawing lock, while GRAPHRUNNING: rgb of an image pixel, 0
// outside the image.
std::uint32_t get_pixel(int x, int y);

}  // namespace graphics::window

namespace graphics {

// Called by the window thread, holding the drawing lock, once the window and
// its black off-screen image exist: makes PAL and sets GRAPHRUNNING.
void on_window_created();
// Called by the window thread, holding the drawing lock, when the window is
// destroyed or its connection is lost: clears GRAPHRUNNING, releases PAL.
void on_window_destroyed();

}  // namespace graphics
