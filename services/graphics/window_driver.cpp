// The window driver (see window_driver.hpp): pixels and palette through the
// window backend.
#include <algorithm>

#include "services/graphics/window_driver.hpp"
#include "services/graphics/state.hpp"
#include "services/graphics/window.hpp"

namespace graphics {
namespace {

enum class ExtraStyle : std::uint8_t { none, maximize };
ExtraStyle EXTRASTYLE = ExtraStyle::none;

// Classic mode numbers of the modes whose window starts maximised.
constexpr std::int16_t kFirstMaximizedMode = 245, kLastMaximizedMode = 249;

// Draws at window coordinates; the caller has clipped them. Without the
// drawing lock: PAL is written by this thread, or by the window thread
// before it raises GRAPHRUNNING; only pal_size may drop meanwhile.
inline void draw(std::int16_t x, std::int16_t y, std::uint16_t color) {
  if (!GRAPHRUNNING.load(std::memory_order_acquire)) return;
  // A colour beyond the palette has no entry to look up: nothing is drawn.
  if (color >= pal_size.load(std::memory_order_relaxed)) return;
  window::put_pixel(x, y, rgb_value(PAL[color]));
}

// Without the lock only the running flag may be read: the palette's size
// changes with the window, under the lock.
bool palette_may_exist(std::int16_t index) {
  return GRAPHRUNNING.load(std::memory_order_relaxed) && index >= 0;
}

// Under the drawing lock.
bool palette_index_ok(std::int16_t index) {
  return GRAPHRUNNING.load(std::memory_order_relaxed) && index >= 0 && index < pal_size;
}

}  // namespace

void SETUPWIN32GUIDEFAULT(TMODEINFO& mode) {
  mode.ops.direct_put_pixel = direct_put_pixel_16_win32_gui;
  mode.ops.PUTPIXEL = PUTPIXEL16WIN32GUI;
  mode.ops.get_pixel = get_pixel_16_win32_gui;
  mode.ops.set_rgb_palette = set_rgb_palette_16_win32_gui;
  mode.ops.get_rgb_palette = get_rgb_palette_16_win32_gui;
  mode.ops.INITMODE = INITWIN32GUI16COLORS;
}

void PUTPIXEL16WIN32GUI(std::int16_t x, std::int16_t y, std::uint16_t color) {
  x = static_cast<std::int16_t>(x + STARTXVIEWPORT);
  y = static_cast<std::int16_t>(y + STARTYVIEWPORT);
  if (CLIPPIXELS && (x < STARTXVIEWPORT || x > STARTXVIEWPORT + VIEWWIDTH ||
                     y < STARTYVIEWPORT || y > STARTYVIEWPORT + VIEWHEIGHT))
    return;
  draw(x, y, color);
}

void direct_put_pixel_16_win32_gui(std::int16_t x, std::int16_t y) {
  if (x < 0 || y < 0 || x > MAXX || y > MAXY) return;
  draw(x, y, CURRENTCOLOR);
}

std::uint16_t get_pixel_16_win32_gui(std::int16_t x, std::int16_t y) {
  x = static_cast<std::int16_t>(x + STARTXVIEWPORT);
  y = static_cast<std::int16_t>(y + STARTYVIEWPORT);
  if (x < 0 || y < 0 || x > MAXX || y > MAXY) return 0;
  if (!GRAPHRUNNING.load(std::memory_order_relaxed)) return 0;
  std::uint16_t color = 0;
  window::lock();
  if (GRAPHRUNNING.load(std::memory_order_relaxed)) {
    const std::uint32_t rgb = window::get_pixel(x, y);
    for (std::int32_t i = 0; i < pal_size; ++i)
      if (rgb_value(PAL[i]) == rgb) {
        color = static_cast<std::uint16_t>(i);
        break;
      }
  }
  window::unlock();
  return color;
}

void set_rgb_palette_16_win32_gui(std::int16_t index, std::int16_t red, std::int16_t green,
                                  std::int16_t blue) {
  bool done = false;
  // The lock exists only while a window does; test before taking it.
  if (palette_may_exist(index)) {
    window::lock();
    if ((done = palette_index_ok(index)))
      PAL[index] = {static_cast<std::uint16_t>(red), static_cast<std::uint16_t>(green),
                    static_cast<std::uint16_t>(blue)};
    window::unlock();
  }
  if (!done) _GRAPHRESULT = grError;
}

void get_rgb_palette_16_win32_gui(std::int16_t index, std::int16_t& red, std::int16_t& green,
                                  std::int16_t& blue) {
  bool done = false;
  if (palette_may_exist(index)) {
    window::lock();
    if ((done = palette_index_ok(index))) {
      red = static_cast<std::int16_t>(PAL[index].red);
      green = static_cast<std::int16_t>(PAL[index].green);
      blue = static_cast<std::int16_t>(PAL[index].blue);
    }
    window::unlock();
  }
  if (!done) _GRAPHRESULT = grError;
}

void INITWIN32GUI16COLORS() {
  if (GRAPHRUNNING.load()) return;
  EXTRASTYLE = INTCURRENTMODE >= kFirstMaximizedMode && INTCURRENTMODE <= kLastMaximizedMode
                   ? ExtraStyle::maximize
                   : ExtraStyle::none;
  // A window the user closed leaves its ended thread to be released.
  if (MESSAGETHREADHANDLEVALID) {
    MESSAGETHREADHANDLEVALID = false;
    window::close();
  }
  const window::WindowRequest request{MAXX + 1, MAXY + 1, EXTRASTYLE == ExtraStyle::maximize,
                                      WINDOWTITLE};
  if (!window::open(request)) {
    _GRAPHRESULT = grError;
    return;
  }
  MESSAGETHREADHANDLEVALID = true;
}

void on_window_created() {
  const std::int32_t size =
      std::clamp<std::int32_t>(MAXCOLOR, 0, static_cast<std::int32_t>(PAL.size()));
  std::copy_n(DEFAULTCOLORS.begin(), size, PAL.begin());
  pal_size = size;
  GRAPHRUNNING.store(true);
}

void on_window_destroyed() {
  GRAPHRUNNING.store(false);
  pal_size = 0;
}

}  // namespace graphics
