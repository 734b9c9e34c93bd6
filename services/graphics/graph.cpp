// Detection, setting a mode, closing, the unit's start-up and exit procedure.
#include "services/graphics/core.hpp"
#include "services/graphics/driver.hpp"
#include "services/graphics/state.hpp"
#include "services/graphics/window.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"

namespace graphics {
namespace {

constexpr std::int16_t DETECT = 0;        // driver number asking for detection
constexpr std::int16_t DETECTMODE = 30000;  // mode number asking for detection

// A failed start-up ends with status 1 and no report, also when standard
// error cannot take the line (full, closed): that failure is dropped.
[[noreturn]] void NOT_IN_GRAPHICS() {
  runtime::WRITE_STR(runtime::STDERR, NOT_IN_GRAPHICS_MODE);
  runtime::WRITELN(runtime::STDERR);
  runtime::INOUTRES = 0;
  runtime::HALT(1);
}

void DIRECTPUTPIXELDEFAULT(std::int16_t, std::int16_t) { NOT_IN_GRAPHICS(); }
std::uint16_t GETPIXELDEFAULT(std::int16_t, std::int16_t) { NOT_IN_GRAPHICS(); }
void SETRGBPALETTEDEFAULT(std::int16_t, std::int16_t, std::int16_t, std::int16_t) {
  NOT_IN_GRAPHICS();
}
void GETRGBPALETTEDEFAULT(std::int16_t, std::int16_t&, std::int16_t&, std::int16_t&) {
  NOT_IN_GRAPHICS();
}

bool is_depth_driver(std::int16_t driver) {
  return driver >= LOWNEWDRIVER && driver <= HIGHNEWDRIVER;
}

void INITVARS() {
  INTCURRENTDRIVER = 0;
  INTCURRENTNEWDRIVER = 0;
  INTCURRENTMODE = 0;
  MAXX = MAXY = 0;
  MAXCOLOR = 0;
  PALETTESIZE = 0;
  XASPECT = YASPECT = 0;
  DIRECTCOLOR = false;
  HARDWAREPAGES = 0;
  DEFAULTHOOKS();
}

}  // namespace

void PUTPIXELDEFAULT(std::int16_t, std::int16_t, std::uint16_t) { NOT_IN_GRAPHICS(); }

void DEFAULTHOOKS() {
  PUTPIXEL = PUTPIXELDEFAULT;
  DIRECTPUTPIXEL = DIRECTPUTPIXELDEFAULT;
  GETPIXEL = GETPIXELDEFAULT;
  SETRGBPALETTE = SETRGBPALETTEDEFAULT;
  GETRGBPALETTE = GETRGBPALETTEDEFAULT;
}

void INTERNDETECTGRAPH(std::int16_t only, std::int16_t& driver, std::int16_t& mode) {
  const std::int16_t first = is_depth_driver(only) ? only : LOWNEWDRIVER;
  const std::int16_t last = is_depth_driver(only) ? only : HIGHNEWDRIVER;
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
  if (driver == DETECT || mode == DETECTMODE) {
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
  const TMODEOPS& ops = entry.OPS;
  DEFAULTHOOKS();
  if (ops.DIRECTPUTPIXEL == nullptr || ops.PUTPIXEL == nullptr || ops.GETPIXEL == nullptr ||
      ops.SETRGBPALETTE == nullptr || ops.GETRGBPALETTE == nullptr) {
    DEFAULTHOOKS();
    _GRAPHRESULT = grInvalidMode;
    return;
  }
  DIRECTPUTPIXEL = ops.DIRECTPUTPIXEL;
  PUTPIXEL = ops.PUTPIXEL;
  GETPIXEL = ops.GETPIXEL;
  SETRGBPALETTE = ops.SETRGBPALETTE;
  GETRGBPALETTE = ops.GETRGBPALETTE;

  INTCURRENTMODE = entry.MODENUMBER;
  XASPECT = entry.XASPECT;
  YASPECT = entry.YASPECT;
  MAXX = entry.MAXX;
  MAXY = entry.MAXY;
  HARDWAREPAGES = entry.HARDWAREPAGES;
  MAXCOLOR = entry.MAXCOLOR;
  PALETTESIZE = entry.PALETTESIZE;
  DIRECTCOLOR = entry.DIRECTCOLOR;

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
  CURRENTX = CURRENTY = 0;
}

void SETBKCOLOR(std::uint16_t color) {
  CURRENTBKCOLOR = color;
  const TRGB& c = DEFAULTCOLORS[color % DEFAULTCOLORS.size()];
  SETRGBPALETTE(0, static_cast<std::int16_t>(c.red), static_cast<std::int16_t>(c.green),
                static_cast<std::int16_t>(c.blue));
}

void GRAPHDEFAULTS() {
  CURRENTCOLOR = 15;
  SETVIEWPORT(0, 0, static_cast<std::int16_t>(MAXX), static_cast<std::int16_t>(MAXY), true);
  CURRENTX = CURRENTY = 0;
  CURRENTWRITEMODE = 0;                        // plain copy
  LINEINFO = {0, 0xFFFF, 1};                   // solid, thickness 1
  FILLSETTINGS = {1, static_cast<std::int16_t>(GETMAXCOLOR())};  // solid
  TEXTSETTINGS = {0, 0, 1, 0, 2};              // default font, horizontal, left, top
  XASPECT = YASPECT = 10000;
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
  runtime::EXITPROC = OLDEXITPROC;
  // On a normal end the window goes with the process; after a run-time error
  // it is closed before the report is written.
  if (ISGRAPHMODE && (runtime::ERRORCODE != 0 || runtime::ERRORADDR != nullptr)) CLOSEGRAPH();
  RELEASEMODELISTS();
}

void INITIALIZEGRAPH() {
  ISGRAPHMODE = false;
  RELEASEMODELISTS();
  QUERYADAPTERINFO();
  OLDEXITPROC = runtime::EXITPROC;
  runtime::EXITPROC = GRAPHEXITPROC;
}

const runtime::Unit GRAPH_UNIT{"graph", INITIALIZEGRAPH, nullptr};

}  // namespace graphics
