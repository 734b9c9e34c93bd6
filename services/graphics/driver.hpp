#pragma once
// The window driver: the operations every mode of the table binds.
#include <cstdint>

#include "services/graphics/modes.hpp"

namespace graphics {

// Binds the window driver's operations and initialiser to a mode entry.
void SETUPWIN32GUIDEFAULT(TMODEINFO& mode);

void PUTPIXEL16WIN32GUI(std::int16_t x, std::int16_t y, std::uint16_t color);
void DIRECTPUTPIXEL16WIN32GUI(std::int16_t x, std::int16_t y);
std::uint16_t GETPIXEL16WIN32GUI(std::int16_t x, std::int16_t y);
void SETRGBPALETTE16WIN32GUI(std::int16_t index, std::int16_t red, std::int16_t green,
                             std::int16_t blue);
void GETRGBPALETTE16WIN32GUI(std::int16_t index, std::int16_t& red, std::int16_t& green,
                             std::int16_t& blue);
// Opens the window for the mode just copied into the graphics state.
void INITWIN32GUI16COLORS();

}  // namespace graphics
