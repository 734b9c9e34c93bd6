#include "services/graphics/colormap.hpp"

#include <algorithm>
#include <cstdlib>

namespace graphics {
namespace {

constexpr std::size_t kFirstColors = 16;

std::uint8_t cut(std::uint16_t v) {
  return static_cast<std::uint8_t>(std::min<std::uint16_t>(v, 255));
}

// Appends `values` (sorted, distinct, none in `order` yet) to `order`
// farthest first.
void append_farthest_first(std::vector<std::uint8_t>& order, std::vector<std::uint8_t> values) {
  // Distance of each waiting value to the nearest chosen one; 256 while
  // nothing is chosen, so that the lowest value comes first.
  std::vector<int> distance(values.size(), 256);
  for (std::size_t i = 0; i < values.size(); ++i)
    for (std::uint8_t chosen : order)
      distance[i] = std::min(distance[i], std::abs(int{values[i]} - int{chosen}));
  while (!values.empty()) {
    // max_element takes the first of equals: the lower value on a tie.
    const auto at = static_cast<std::size_t>(
        std::max_element(distance.begin(), distance.end()) - distance.begin());
    const std::uint8_t next = values[at];
    order.push_back(next);
    values.erase(values.begin() + static_cast<std::ptrdiff_t>(at));
    distance.erase(distance.begin() + static_cast<std::ptrdiff_t>(at));
    for (std::size_t i = 0; i < values.size(); ++i)
      distance[i] = std::min(distance[i], std::abs(int{values[i]} - int{next}));
  }
}

}  // namespace

std::vector<std::uint8_t> cell_order(std::span<const Rgb> colors, std::uint16_t Rgb::*component) {
  std::array<bool, 256> seen{};
  std::vector<std::uint8_t> order;
  const std::size_t split = std::min(colors.size(), kFirstColors);
  for (auto group : {colors.first(split), colors.subspan(split)}) {
    std::vector<std::uint8_t> values;
    for (const Rgb& c : group) {
      const std::uint8_t v = cut(c.*component);
      if (!seen[v]) values.push_back(v);
      seen[v] = true;
    }
    std::sort(values.begin(), values.end());
    append_farthest_first(order, std::move(values));
  }
  return order;
}

std::array<std::uint32_t, 256> nearest_cells(std::span<const Cell> cells) {
  std::array<std::uint32_t, 256> table{};
  for (unsigned v = 0; v < 256; ++v) {
    const long want = static_cast<long>(v) * 257;  // 8-bit value at the colormap's 16 bits
    const Cell* best = &cells.front();
    for (const Cell& c : cells) {
      const long d = std::labs(c.value - want), best_d = std::labs(best->value - want);
      if (d < best_d || (d == best_d && c.value < best->value)) best = &c;
    }
    table[v] = best->bits;
  }
  return table;
}

int shown_value(std::span<const Cell> cells, std::uint32_t bits) {
  for (const Cell& c : cells)
    if (c.bits == bits) return c.value >> 8;
  return -1;
}

}  // namespace graphics
