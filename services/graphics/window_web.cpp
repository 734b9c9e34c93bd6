// The window in a browser: a canvas on the page (web/page.js makes it).
//
// The program runs on the page's own thread, so there is no window thread:
// open() creates the canvas at once, the drawing lock has nothing to guard,
// and put_pixel writes an RGBA image in memory and widens the changed
// rectangle. Whenever the program yields to the browser (about once a
// frame, runtime::web), the changed part is put on the canvas.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "services/graphics/window.hpp"
#include "services/runtime/browser_web.hpp"

extern "C" {
void grain_screen(int* size);
int grain_open_canvas(int width, int height, const char* title);
void grain_present(const std::uint8_t* image, int width, int height, int x, int y, int w, int h);
}

namespace graphics::window {
namespace {

struct Canvas {
  bool open = false;
  int width = 0, height = 0;
  std::vector<std::uint32_t> image;  // RGBA bytes, red first: the canvas's own order
  int left = 0, top = 0, right = -1, bottom = -1;  // changed since shown; empty when right < left
};

Canvas C;

void present() {
  if (!C.open || C.right < C.left) return;
  grain_present(reinterpret_cast<const std::uint8_t*>(C.image.data()), C.width, C.height, C.left,
                C.top, C.right - C.left + 1, C.bottom - C.top + 1);
  C.right = -1;
  C.bottom = -1;
}

}  // namespace

// The screen in device pixels: one canvas pixel is one of the display's.
// The window has no frame or caption on the page, and fills the screen
// when maximised.
ScreenMetrics measure_screen() {
  int size[2] = {0, 0};
  grain_screen(size);
  ScreenMetrics m;
  m.screen_width = size[0];
  m.screen_height = size[1];
  m.full_width = size[0];
  m.full_height = size[1];
  return m;
}

bool open(const WindowRequest& request) {
  if (C.open) return false;
  if (grain_open_canvas(request.width, request.height, request.title) == 0) return false;
  C.width = request.width;
  C.height = request.height;
  C.image.assign(static_cast<std::size_t>(C.width) * static_cast<std::size_t>(C.height),
                 0xFF000000u);  // opaque black
  C.open = true;
  C.left = 0;
  C.top = 0;
  C.right = C.width - 1;
  C.bottom = C.height - 1;
  runtime::web::set_before_yield(present);
  on_window_created();
  return true;
}

// The canvas stays on the page with the figure; only the program lets go.
void close() {
  if (!C.open) return;
  present();
  runtime::web::set_before_yield(nullptr);
  on_window_destroyed();
  C.open = false;
}

void lock() {}
void unlock() {}

void put_pixel(int x, int y, std::uint32_t rgb) {
  if (!C.open || x < 0 || y < 0 || x >= C.width || y >= C.height) return;
  C.image[static_cast<std::size_t>(y) * static_cast<std::size_t>(C.width) +
          static_cast<std::size_t>(x)] = 0xFF000000u | rgb;
  if (C.right < C.left) {
    C.left = C.right = x;
    C.top = C.bottom = y;
    return;
  }
  C.left = std::min(C.left, x);
  C.right = std::max(C.right, x);
  C.top = std::min(C.top, y);
  C.bottom = std::max(C.bottom, y);
}

std::uint32_t get_pixel(int x, int y) {
  if (!C.open || x < 0 || y < 0 || x >= C.width || y >= C.height) return 0;
  return C.image[static_cast<std::size_t>(y) * static_cast<std::size_t>(C.width) +
                 static_cast<std::size_t>(x)] &
         0xFFFFFFu;
}

}  // namespace graphics::window
