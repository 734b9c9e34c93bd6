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

extern std::int16_t STARTXVIEWPORT, STARTYVIEWPORT;
extern std::int16_t VIEWWIDTH, VIEWHEIGHT;  // width - 1, height - 1
extern bool CLIPPIXELS;

extern std::uint16_t CURRENTCOLOR;

// The graphics palette: pal_size entries, 0 while no window exists. Changed
// only under the drawing lock; pal_size is also read without it, by PUTPIXEL.
extern std::array<Rgb, 256> PAL;
extern std::atomic<std::int32_t> pal_size;

// The window thread is still to be released by CLOSEGRAPH.
extern bool MESSAGETHREADHANDLEVALID;

// Procedure variables rebound by DEFAULTHOOKS and SETGRAPHMODE.
extern DirectPutPixelProc direct_put_pixel;
extern GetPixelProc get_pixel;
extern SetRGBPaletteProc set_rgb_palette;
extern GetRGBPaletteProc get_rgb_palette;

// The exit procedure that GRAPHEXITPROC displaced.
extern runtime::ExitProc old_exit_proc;

}  // namespace graphics
