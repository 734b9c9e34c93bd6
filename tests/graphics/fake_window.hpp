#pragma once
// A stand-in window backend for unit tests: no window system, no thread.
// It records what the graphics service asks of it.
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "services/graphics/window.hpp"

namespace fakewindow {

struct State {
  graphics::ScreenMetrics metrics{};  // what measure_screen returns
  bool open_fails = false;
  std::vector<graphics::window::WindowRequest> opened;
  int closes = 0;
  bool window_exists = false;
  int width = 0, height = 0;
  std::map<std::pair<int, int>, std::uint32_t> pixels;  // put_pixel calls
  bool locked = false;
};
extern State state;

void reset();
// What the user closing the window does: destruction on the window's side.
void destroy_window();

}  // namespace fakewindow
