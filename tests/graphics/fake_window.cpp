// The stand-in window backend.
#include "tests/graphics/fake_window.hpp"

#include <stdexcept>

namespace fakewindow {

State state;

void reset() { state = State{}; }

void destroy_window() {
  if (!state.window_exists) return;
  graphics::window::lock();
  graphics::on_window_destroyed();
  graphics::window::unlock();
  state.window_exists = false;
}

}  // namespace fakewindow

namespace graphics::window {

using fakewindow::state;

ScreenMetrics measure_screen() { return state.metrics; }

bool open(const WindowRequest& request) {
  state.opened.push_back(request);
  if (state.open_fails) return false;
  state.width = request.width;
  state.height = request.height;
  lock();
  on_window_created();
  unlock();
  state.window_exists = true;
  return true;
}

void close() {
  ++state.closes;
  fakewindow::destroy_window();
}

// Catches a lock taken twice or released unheld: the real lock would hang.
void lock() {
  if (state.locked) throw std::logic_error("drawing lock taken twice");
  state.locked = true;
}
void unlock() {
  if (!state.locked) throw std::logic_error("drawing lock released unheld");
  state.locked = false;
}

void put_pixel(int x, int y, std::uint32_t rgb) {
  if (state.locked) throw std::logic_error("put_pixel with the drawing lock held");
  state.pixels[{x, y}] = rgb;  // kept even outside: clipping is the caller's
}

std::uint32_t get_pixel(int x, int y) {
  auto it = state.pixels.find({x, y});
  return it == state.pixels.end() ? 0 : it->second;
}

}  // namespace graphics::window
