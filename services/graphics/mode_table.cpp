// The fifteen rows of the mode table, sized from the screen.
#include <algorithm>

#include "services/graphics/window_driver.hpp"
#include "services/graphics/modes.hpp"
#include "services/graphics/window.hpp"

namespace graphics {
namespace {

enum class Size { fixed, largest, maximized };

struct Row {
  std::int16_t driver, mode;
  const char* name;
  std::int32_t colors;
  Size size;
  int width, height;  // for fixed rows
};

constexpr Row kRows[] = {
    {9, 2, "640 x 480 x 16 Win32GUI", 16, Size::fixed, 640, 480},
    {9, 0, "640 x 200 x 16 Win32GUI", 16, Size::fixed, 640, 200},
    {9, 1, "640 x 350 x 16 Win32GUI", 16, Size::fixed, 640, 350},
    {10, 0x100, "640 x 400 x 256 Win32GUI", 256, Size::fixed, 640, 400},
    {10, 0x101, "640 x 480 x 256 Win32GUI", 256, Size::fixed, 640, 480},
    {10, 0x102, "800 x 600 x 16 Win32GUI", 16, Size::fixed, 800, 600},
    {10, 0x103, "800 x 600 x 256 Win32GUI", 256, Size::fixed, 800, 600},
    {10, 0x104, "1024 x 768 x 16 Win32GUI", 16, Size::fixed, 1024, 768},
    {10, 0x105, "1024 x 768 x 256 Win32GUI", 256, Size::fixed, 1024, 768},
    {10, 0x106, "1280 x 1024 x 16 Win32GUI", 16, Size::fixed, 1280, 1024},
    {10, 0x107, "1280 x 1024 x 256 Win32GUI", 256, Size::fixed, 1280, 1024},
    {10, 0xF0, "Largest Window x 16", 16, Size::largest, 0, 0},
    {10, 0xF1, "Largest Window x 256", 256, Size::largest, 0, 0},
    {10, 0xF5, "Maximized Window x 16", 16, Size::maximized, 0, 0},
    {10, 0xF6, "Maximized Window x 256", 256, Size::maximized, 0, 0},
};

// A window needs at least one pixel; a mode wider than the coordinate range
// could not be addressed.
int usable(int v) { return std::clamp(v, 1, 32768); }

}  // namespace

void QUERYADAPTERINFO() {
  if (!MODELIST.empty()) return;
  QUERYADAPTERINFO(window::measure_screen());
}

void QUERYADAPTERINFO(const ScreenMetrics& m) {
  if (!MODELIST.empty()) return;
  // A window whose client area is UW x UH has the screen's outer size.
  const int uw = usable(m.screen_width - 2 * m.frame_width);
  const int uh = usable(m.screen_height - 2 * m.frame_height - m.caption_height);
  const int fw = usable(m.full_width);
  const int fh = usable(m.full_height);
  for (const Row& row : kRows) {
    int w = row.width, h = row.height;
    if (row.size == Size::largest) {
      w = uw;
      h = uh;
    } else if (row.size == Size::maximized) {
      w = fw;
      h = fh;
    } else if (uw < w || uh < h) {
      continue;
    }
    TMODEINFO e = INITMODE();
    e.driver_number = row.driver;
    e.mode_number = row.mode;
    e.MAXCOLOR = row.colors;
    e.MAXX = static_cast<std::uint16_t>(w - 1);
    e.MAXY = static_cast<std::uint16_t>(h - 1);
    set_mode_name(e, row.name);
    SETUPWIN32GUIDEFAULT(e);
    ADDMODE(e);
  }
}

}  // namespace graphics
