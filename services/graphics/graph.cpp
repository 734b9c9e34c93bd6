// Detection, setting a mode, closing, the unit's start-up and exit procedure.
#include "services/graphics/graph_internal.hpp"
#include "services/graphics/window_driver.hpp"
#include "services/graphics/state.hpp"
#include "services/graphics/window.hpp"
#include "services/runtime/system.hpp"

namespace graphics {
namespace {

constexpr std::int16_t kDetect = 0;        // driver number asking for detection
constexpr std::int16_t kDetectMode = 30000;  // mode number asking for detection

[[noreturn]] void not_in_graphics() { runtime::fail_start(kNotInGraphicsMode); }

void direct_put_pixel_default(std::int16_t, std::int16_t) { not_in_graphics(); }
std::uint16_t get_pixel_default(std::int16_t, std::int16_t) { not_in_graphics(); }
void set_rgb_palette_default(std::int16_t, std::int16_t, std::int16_t, std::int16_t) {
  not_in_graphics();
}
void get_rgb_palette_default(std::int16_t, std::int16_t&, std::int16_t&, std::int16_t&) {
  not_in_graphics();
}

bool is_depth_driver(std::int16_t driver) {
  return driver >= kLowNewDriver && driver <= kHighNewDriver;
}

void INITVARS() {
  INTCURRENTDRIVER = 0;
  INTCURRENTNEWDRIVER = 0;
  INTCURRENTMODE = 0;
  MAXX = MAXY = 0;
  MAXCOLOR = 0;
  DEFAULTHOOKS();
}

}  // namespace

void PUTPIXELDEFAULT(std::int16_t, std::int16_t, std::uint16_t) { not_in_graphics(); }

void DEFAULTHOOKS() {
  PUTPIXEL = PUTPIXELDEFAULT;
  direct_put_pixel = direct_put_pixel_default;
  get_pixel = get_pixel_default;
  set_rgb_palette = set_rgb_palette_default;
  get_rgb_palette = get_rgb_palette_default;
}

void INTERNDETECTGRAPH(std::int16_t only, std::int16_t& driver, std::int16_t& mode) {
  const std::int16_t first = is_depth_driver(only) ? only : kLowNewDriver;
  const std::int16_t last = is_depth_driver(only) ? only : kHighNewDriver;
  std::int16_t found = -1, found_mode = -1;
  // The highest-numbered depth driver with modes wins, with its highest
  // position: the widest, then tallest, mode of that depth.
  for (std::int16_t d = first; d <= last; ++d) {
    std::int16_t lowest, highest;
    GETMODERANGE(d, lowest, highest);
    if (highest >= 0) {
      found = d;
      found_mode = highest;
    }
  }
  if (found < 0) {
    _GRAPHRESULT = grNotDetected;
    driver = grNotDetected;
    mode = 0;
    return;
  }
  _GRAPHRESULT = grOk;
  driver = found;
  mode = found_mode;
}

void DETECTGRAPH(std::int16_t& driver, std::int16_t& mode) { INTERNDETECTGRAPH(0, driver, mode); }

void INITGRAPH(std::int16_t& driver, std::int16_t& mode, std::string_view path) {
  INITVARS();
  (void)path;  // accepted for compatibility; the window driver is built in
  if (driver == kDetect || mode == kDetectMode) {
    INTERNDETECTGRAPH(driver, driver, mode);
    if (_GRAPHRESULT != grOk) return;
  } else {
    if (SEARCHMODE(driver, mode) == nullptr) {
      _GRAPHRESULT = grInvalidMode;
      return;
    }
    _GRAPHRESULT = grOk;
  }
  INTCURRENTDRIVER = driver;
  INTCURRENTNEWDRIVER = is_depth_driver(driver) ? driver : -1;
  SETGRAPHMODE(mode);
}

void SETGRAPHMODE(std::int16_t mode) {
  const TMODEINFO* found = SEARCHMODE(INTCURRENTDRIVER, mode);
  if (found == nullptr) {
    _GRAPHRESULT = grInvalidMode;
    return;
  }
  const TMODEINFO entry = *found;
  const ModeOps& ops = entry.ops;
  DEFAULTHOOKS();
  if (ops.direct_put_pixel == nullptr || ops.PUTPIXEL == nullptr || ops.get_pixel == nullptr ||
      ops.set_rgb_palette == nullptr || ops.get_rgb_palette == nullptr) {
    DEFAULTHOOKS();
    _GRAPHRESULT = grInvalidMode;
    return;
  }
  direct_put_pixel = ops.direct_put_pixel;
  PUTPIXEL = ops.PUTPIXEL;
  get_pixel = ops.get_pixel;
  set_rgb_palette = ops.set_rgb_palette;
  get_rgb_palette = ops.get_rgb_palette;

  INTCURRENTMODE = entry.mode_number;
  MAXX = entry.MAXX;
  MAXY = entry.MAXY;
  MAXCOLOR = entry.MAXCOLOR;

  if (ops.INITMODE == nullptr) {
    DEFAULTHOOKS();
    _GRAPHRESULT = grInvalidMode;
    return;
  }
  // A result left over from an earlier call must not fail this one.
  _GRAPHRESULT = grOk;
  ops.INITMODE();
  if (_GRAPHRESULT != grOk) {
    DEFAULTHOOKS();
    return;
  }
  ISGRAPHMODE = true;
  SETVIEWPORT(0, 0, static_cast<std::int16_t>(MAXX), static_cast<std::int16_t>(MAXY), true);
  GRAPHDEFAULTS();
}

void SETVIEWPORT(std::int16_t x1, std::int16_t y1, std::int16_t x2, std::int16_t y2, bool clip) {
  if (x1 < 0 || y1 < 0 || x2 > MAXX || y2 > MAXY || x1 > x2 || y1 > y2) {
    _GRAPHRESULT = grError;
    return;
  }
  STARTXVIEWPORT = x1;
  STARTYVIEWPORT = y1;
  VIEWWIDTH = static_cast<std::int16_t>(x2 - x1);
  VIEWHEIGHT = static_cast<std::int16_t>(y2 - y1);
  CLIPPIXELS = clip;
}

void SETBKCOLOR(std::uint16_t color) {
  const Rgb& c = DEFAULTCOLORS[color % DEFAULTCOLORS.size()];
  set_rgb_palette(0, static_cast<std::int16_t>(c.red), static_cast<std::int16_t>(c.green),
                  static_cast<std::int16_t>(c.blue));
}

void GRAPHDEFAULTS() {
  CURRENTCOLOR = 15;
  SETVIEWPORT(0, 0, static_cast<std::int16_t>(MAXX), static_cast<std::int16_t>(MAXY), true);
  SETBKCOLOR(0);
}

void CLOSEGRAPH() {
  if (!ISGRAPHMODE) {
    _GRAPHRESULT = grNoInitGraph;
    return;
  }
  if (MESSAGETHREADHANDLEVALID) {
    MESSAGETHREADHANDLEVALID = false;
    window::close();
  }
  ISGRAPHMODE = false;
}

std::uint16_t GETMAXX() { return MAXX; }
std::uint16_t GETMAXY() { return MAXY; }
std::uint16_t GETMAXCOLOR() { return static_cast<std::uint16_t>(MAXCOLOR - 1); }

void GRAPHEXITPROC() {
  runtime::EXITPROC = old_exit_proc;
  // On a normal end the window goes with the process; after a run-time error
  // it is closed before the report is written.
  if (ISGRAPHMODE && (runtime::ERRORCODE != 0 || runtime::ERRORADDR != nullptr)) CLOSEGRAPH();
  release_mode_lists();
}

void INITIALIZEGRAPH() {
  ISGRAPHMODE = false;
  release_mode_lists();
  QUERYADAPTERINFO();
  old_exit_proc = runtime::EXITPROC;
  runtime::EXITPROC = GRAPHEXITPROC;
}

const runtime::Unit kGraphUnit{"graph", INITIALIZEGRAPH, nullptr};

}  // namespace graphics
