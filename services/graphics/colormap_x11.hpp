#pragma once
// Pixel values for a DirectColor visual, whose default colormap may have
// fewer cells per channel than the palette has values.
#include <X11/Xlib.h>

#include <cstdint>
#include <span>
#include <vector>

#include "services/graphics/colormap.hpp"

namespace graphics::x11 {

// One channel's share of the pixel tables: 8-bit component -> pixel bits,
// and the cells the bits select.
struct ChannelTable {
  std::uint32_t (&table)[256];
  std::vector<Cell>& cells;
};

// Allocates read-only cells in `colormap` (shared with other clients,
// freed with the connection) for the component values `colors` use, as
// many as the colormap has room for, in cell_order; then points every
// component value at its nearest cell. A channel that gets no cell keeps
// its table.
void direct_color_tables(Display* d, Visual* visual, Colormap colormap,
                         std::span<const Rgb> colors, ChannelTable red, ChannelTable green,
                         ChannelTable blue);

}  // namespace graphics::x11
