// The graphics service's process-wide state, in one place.
#include "services/graphics/state.hpp"

namespace graphics {

std::int16_t _GRAPHRESULT = grOk;
PutPixelProc PUTPIXEL = nullptr;

std::vector<TMODEINFO> MODELIST;
std::array<TDEPTHLIST, HIGHNEWDRIVER - LOWNEWDRIVER + 1> NEWMODELIST;

bool ISGRAPHMODE = false;
std::atomic<bool> GRAPHRUNNING{false};

std::int16_t INTCURRENTDRIVER = 0;
std::int16_t INTCURRENTNEWDRIVER = -1;
std::int16_t INTCURRENTMODE = 0;

std::uint16_t MAXX = 0, MAXY = 0;
std::int32_t MAXCOLOR = 0;
std::int32_t PALETTESIZE = 0;
std::uint16_t XASPECT = 0, YASPECT = 0;
bool DIRECTCOLOR = false;
std::uint8_t HARDWAREPAGES = 0;

std::int16_t STARTXVIEWPORT = 0, STARTYVIEWPORT = 0;
std::int16_t VIEWWIDTH = 0, VIEWHEIGHT = 0;
bool CLIPPIXELS = true;

std::uint16_t CURRENTCOLOR = 0;
std::uint16_t CURRENTBKCOLOR = 0;
std::int16_t CURRENTX = 0, CURRENTY = 0;
std::int16_t CURRENTWRITEMODE = 0;
TLINESETTINGS LINEINFO{};
TFILLSETTINGS FILLSETTINGS{};
TTEXTSETTINGS TEXTSETTINGS{};

std::array<TRGB, 256> PAL{};
std::atomic<std::int32_t> PALSIZE{0};

bool DRAWTOBITMAP = true, DRAWTOSCREEN = true;
bool MESSAGETHREADHANDLEVALID = false;
TEXTRASTYLE EXTRASTYLE = TEXTRASTYLE::none;

DirectPutPixelProc DIRECTPUTPIXEL = nullptr;
GetPixelProc GETPIXEL = nullptr;
SetRGBPaletteProc SETRGBPALETTE = nullptr;
GetRGBPaletteProc GETRGBPALETTE = nullptr;

runtime::ExitProc OLDEXITPROC = nullptr;

}  // namespace graphics
