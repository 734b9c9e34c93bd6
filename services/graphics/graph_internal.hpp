#pragma once
// Routines of graph.cpp that the rest of the service and its tests use.
#include <cstdint>

#include "services/graphics/graph.hpp"

namespace graphics {

// Unit start-up: mode table, exit procedure.
void INITIALIZEGRAPH();
// Runs once at program end through the EXITPROC chain.
void GRAPHEXITPROC();

// Binds every drawing operation to its default (for PUTPIXEL: PUTPIXELDEFAULT).
void DEFAULTHOOKS();
// The pixel operation while no mode is set: error line, then HALT(1).
void PUTPIXELDEFAULT(std::int16_t x, std::int16_t y, std::uint16_t color);

// Detection over the depth drivers; with `only` in 11..21 just that one.
void INTERNDETECTGRAPH(std::int16_t only, std::int16_t& driver, std::int16_t& mode);

// Drawing area (x1, y1) to (x2, y2) inside the mode; -11 if it is not.
void SETVIEWPORT(std::int16_t x1, std::int16_t y1, std::int16_t x2, std::int16_t y2, bool clip);
// Background colour; palette entry 0 takes that default colour.
void SETBKCOLOR(std::uint16_t color);

inline constexpr std::string_view kNotInGraphicsMode =
    "Error: Not in graphics mode (use InitGraph and test GraphResult afterwards)";

}  // namespace graphics
