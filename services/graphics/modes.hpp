#pragma once
// The mode table: one entry per available mode, indexed twice — in the order
// added (MODELIST) and by colour depth (NEWMODELIST).
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "services/graphics/graph.hpp"
#include "services/graphics/palette.hpp"

namespace graphics {

using DirectPutPixelProc = void (*)(std::int16_t x, std::int16_t y);
using GetPixelProc = std::uint16_t (*)(std::int16_t x, std::int16_t y);
using SetRGBPaletteProc = void (*)(std::int16_t index, std::int16_t red, std::int16_t green,
                                   std::int16_t blue);
using GetRGBPaletteProc = void (*)(std::int16_t index, std::int16_t& red, std::int16_t& green,
                                   std::int16_t& blue);
using InitModeProc = void (*)();

// The operations that setting a mode binds, and the mode's initialiser; a
// mode that lacks any of them cannot be set (grInvalidMode).
struct ModeOps {
  DirectPutPixelProc direct_put_pixel = nullptr;
  PutPixelProc PUTPIXEL = nullptr;
  GetPixelProc get_pixel = nullptr;
  SetRGBPaletteProc set_rgb_palette = nullptr;
  GetRGBPaletteProc get_rgb_palette = nullptr;
  InitModeProc INITMODE = nullptr;
};

inline constexpr std::size_t kModeNameLength = 18;

// One mode. The list linkage is the containers' order.
struct TMODEINFO {
  std::int16_t driver_number = 0;    // classic driver number
  std::int16_t mode_number = 0;      // classic mode number
  std::int16_t new_mode_number = 0;   // 1-based position in its depth list
  std::int32_t MAXCOLOR = 0;        // colour count
  std::uint16_t MAXX = 0;           // width - 1
  std::uint16_t MAXY = 0;           // height - 1
  std::array<char, kModeNameLength + 1> mode_name{};  // NUL-terminated
  ModeOps ops;

  std::string_view name() const { return mode_name.data(); }
};

inline constexpr std::int16_t kLowNewDriver = 11;
inline constexpr std::int16_t kHighNewDriver = 21;

struct DepthList {
  std::vector<TMODEINFO> modes;  // ascending width, then height
  std::int16_t lowest = -1;      // position numbers; -1 while empty
  std::int16_t highest = -1;
};

extern std::vector<TMODEINFO> MODELIST;
extern std::array<DepthList, kHighNewDriver - kLowNewDriver + 1> NEWMODELIST;

// A cleared entry.
TMODEINFO INITMODE();
// Sets the name, cut to its first 18 characters.
void set_mode_name(TMODEINFO& mode, std::string_view name);
// Depth driver number for a colour count (2 -> 11 ... 65536 -> 18), or -1.
std::int16_t depth_driver(std::int32_t colors);
// Adds a copy to its depth list (ordered insert, or in-place replacement of
// an entry of equal width and height; then renumbered) and to MODELIST.
void ADDMODE(const TMODEINFO& mode);
// Lowest and highest position number of a depth driver (-1, -1 if none).
void GETMODERANGE(std::int16_t driver, std::int16_t& lowest, std::int16_t& highest);
// By position number for a depth driver (11..21), else by classic numbers.
const TMODEINFO* SEARCHMODE(std::int16_t driver, std::int16_t mode);
// Empties both indexes.
void release_mode_lists();

// What the mode table is built from; see window.hpp for how it is measured.
struct ScreenMetrics {
  int screen_width = 0, screen_height = 0;
  int frame_width = 0, frame_height = 0;  // sizing frame, one side
  int caption_height = 0;
  int full_width = 0, full_height = 0;  // client area of a maximised window
};

// Fills the table from the screen's measurements unless it holds entries.
void QUERYADAPTERINFO();
// The same from given measurements.
void QUERYADAPTERINFO(const ScreenMetrics& metrics);

}  // namespace graphics
