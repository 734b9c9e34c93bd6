// The graphics service's process-wide state, in one place.
#include "services/graphics/state.hpp"

namespace graphics {

std::int16_t _GRAPHRESULT = grOk;
PutPixelProc PUTPIXEL = nullptr;

std::vector<TMODEINFO> MODELIST;
std::array<DepthList, kHighNewDriver - kLowNewDriver + 1> NEWMODELIST;

bool ISGRAPHMODE = false;
std::atomic<bool> GRAPHRUNNING{false};

std::int16_t INTCURRENTDRIVER = 0;
std::int16_t INTCURRENTNEWDRIVER = -1;
std::int16_t INTCURRENTMODE = 0;

std::uint16_t MAXX = 0, MAXY = 0;
std::int32_t MAXCOLOR = 0;

std::int16_t STARTXVIEWPORT = 0, STARTYVIEWPORT = 0;
std::int16_t VIEWWIDTH = 0, VIEWHEIGHT = 0;
bool CLIPPIXELS = true;

std::uint16_t CURRENTCOLOR = 0;

std::array<Rgb, 256> PAL{};
std::atomic<std::int32_t> pal_size{0};

bool MESSAGETHREADHANDLEVALID = false;

DirectPutPixelProc direct_put_pixel = nullptr;
GetPixelProc get_pixel = nullptr;
SetRGBPaletteProc set_rgb_palette = nullptr;
GetRGBPaletteProc get_rgb_palette = nullptr;

runtime::ExitProc old_exit_proc = nullptr;

}  // namespace graphics
