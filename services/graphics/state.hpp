#pragma once
// The graphics state: one per process, main thread only, except where noted.
#include <array>
#include <atomic>
#include <cstdint>

#include "services/graphics/graph.hpp"
#include "services/graphics/modes.hpp"
#include "services/graphics/palette.hpp"
#include "services/runtime/system.hpp"

namespace graphics {

inline constexpr const char* WINDOWTITLE = "Graph window application";

// A mode has been set and CLOSEGRAPH has not run since.
extern bool ISGRAPHMODE;
// The window and its off-screen image exist. Written by the window thread
// under the drawing lock; read without it by PUTPIXEL's first test.
extern std::atomic<bool> GRAPHRUNNING;

extern std::int16_t INTCURRENTDRIVER;     // driver number in use
extern std::int16_t INTCURRENTNEWDRIVER;  // depth driver in use, or -1
extern std::int16_t INTCURRENTMODE;       // classic mode number in use

extern std::uint16_t MAXX, MAXY;
extern std::int32_t MAXCOLOR;  // colour count
extern std::int32_t PALETTESIZE;
extern std::uint16_t XASPECT, YASPECT;
extern bool DIRECTCOLOR;
extern std::uint8_t HARDWAREPAGES;

extern std::int16_t STARTXVIEWPORT, STARTYVIEWPORT;
extern std::int16_t VIEWWIDTH, VIEWHEIGHT;  // width - 1, height - 1
extern bool CLIPPIXELS;

extern std::uint16_t CURRENTCOLOR;
extern std::uint16_t CURRENTBKCOLOR;
extern std::int16_t CURRENTX, CURRENTY;
extern std::int16_t CURRENTWRITEMODE;

struct TLINESETTINGS {
  std::int16_t linestyle;
  std::uint16_t pattern;
  std::int16_t thickness;
};
struct TFILLSETTINGS {
  std::int16_t pattern, color;
};
struct TTEXTSETTINGS {
  std::int16_t font, direction, charsize, horiz, vert;
};
extern TLINESETTINGS LINEINFO;
extern TFILLSETTINGS FILLSETTINGS;
extern TTEXTSETTINGS TEXTSETTINGS;

// The graphics palette: PALSIZE entries, 0 while no window exists. Changed
// only under the drawing lock; PALSIZE is also read without it, by PUTPIXEL.
extern std::array<TRGB, 256> PAL;
extern std::atomic<std::int32_t> PALSIZE;

// The two targets of the pixel operation; both on whenever it runs.
extern bool DRAWTOBITMAP, DRAWTOSCREEN;

// The window thread is still to be released by CLOSEGRAPH.
extern bool MESSAGETHREADHANDLEVALID;

enum class TEXTRASTYLE : std::uint8_t { none, maximize };
extern TEXTRASTYLE EXTRASTYLE;

// Procedure variables rebound by DEFAULTHOOKS and SETGRAPHMODE.
extern DirectPutPixelProc DIRECTPUTPIXEL;
extern GetPixelProc GETPIXEL;
extern SetRGBPaletteProc SETRGBPALETTE;
extern GetRGBPaletteProc GETRGBPALETTE;

// The exit procedure that GRAPHEXITPROC displaced.
extern runtime::ExitProc OLDEXITPROC;

}  // namespace graphics
