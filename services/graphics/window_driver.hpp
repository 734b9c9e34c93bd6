#pragma once
// The window driver: the operations every mode of the table binds. Their
// names say Win32 because the mode table is the Windows one; through the
// window backend (window.hpp) they serve X11 as well.
#include <cstdint>

#include "services/graphics/modes.hpp"

namespace graphics {

// Binds the window driver's operations and initialiser to a mode entry.
void SETUPWIN32GUIDEFAULT(TMODEINFO& mode);

void PUTPIXEL16WIN32GUI(std::int16_t x, std::int16_t y, std::uint16_t color);
void direct_put_pixel_16_win32_gui(std::int16_t x, std::int16_t y);
std::uint16_t get_pixel_16_win32_gui(std::int16_t x, std::int16_t y);
void set_rgb_palette_16_win32_gui(std::int16_t index, std::int16_t red, std::int16_t green,
                                  std::int16_t blue);
void get_rgb_palette_16_win32_gui(std::int16_t index, std::int16_t& red, std::int16_t& green,
                                  std::int16_t& blue);
// Opens the window for the mode just copied into the graphics state.
void INITWIN32GUI16COLORS();

}  // namespace graphics
