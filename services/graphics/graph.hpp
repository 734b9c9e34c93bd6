#pragma once
// Graphics service: mode table, detection, a window served by its own
// thread, pixel plotting and closing.
#include <cstdint>
#include <string_view>

#include "services/runtime/units.hpp"

namespace graphics {

// Start-up: builds the mode table from the screen's measurements and puts
// GRAPHEXITPROC at the head of the exit-procedure chain.
extern const runtime::Unit kGraphUnit;

// Outcome of the last operation.
inline constexpr std::int16_t grOk = 0;
inline constexpr std::int16_t grNoInitGraph = -1;
inline constexpr std::int16_t grNotDetected = -2;
inline constexpr std::int16_t grInvalidMode = -10;
inline constexpr std::int16_t grError = -11;
extern std::int16_t _GRAPHRESULT;

void DETECTGRAPH(std::int16_t& driver, std::int16_t& mode);
void INITGRAPH(std::int16_t& driver, std::int16_t& mode, std::string_view path);
// Sets a mode of the driver in use (position number for a depth driver,
// classic mode number otherwise) and opens its window.
void SETGRAPHMODE(std::int16_t mode);
// Drawing settings back to their defaults for the mode in use.
void GRAPHDEFAULTS();
void CLOSEGRAPH();

// Procedure variable; unbound until the first INITGRAPH.
using PutPixelProc = void (*)(std::int16_t x, std::int16_t y, std::uint16_t color);
extern PutPixelProc PUTPIXEL;

std::uint16_t GETMAXX();
std::uint16_t GETMAXY();
std::uint16_t GETMAXCOLOR();

}  // namespace graphics
