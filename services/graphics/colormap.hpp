#pragma once
// Colours on a screen with few colormap cells per channel: which component
// values get a cell first, and which cell shows each component value.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "services/graphics/palette.hpp"

namespace graphics {

// One read-only colormap cell of a channel: the value it holds (16-bit, as
// the colormap reports it) and the pixel bits that select it.
struct Cell {
  std::uint16_t value;
  std::uint32_t bits;
};

// The distinct 8-bit values that `component` takes over `colors`, in the
// order they are to get a cell: the first 16 colours (the 16-colour modes
// and the plotting colour) before the others, and within each group the
// value farthest from those already chosen first, starting at the lowest.
// Cut short at any point, the chosen values spread over the range the
// palette uses.
std::vector<std::uint8_t> cell_order(std::span<const Rgb> colors, std::uint16_t Rgb::*component);

// For each 8-bit component value, the bits of the cell whose value is
// nearest; the lower cell on a tie. `cells` must not be empty.
std::array<std::uint32_t, 256> nearest_cells(std::span<const Cell> cells);

// The 8-bit value that a channel's pixel bits show: that of their cell, or
// -1 when no cell has these bits.
int shown_value(std::span<const Cell> cells, std::uint32_t bits);

}  // namespace graphics
