// Which component values get a colormap cell first, and which cell shows
// each value.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "services/graphics/colormap.hpp"

namespace {

using graphics::Cell;
using graphics::cell_order;
using graphics::DEFAULTCOLORS;
using graphics::nearest_cells;
using graphics::Rgb;

std::set<int> values_of(std::span<const Rgb> colors, std::uint16_t Rgb::*component) {
  std::set<int> values;
  for (const Rgb& c : colors) values.insert(std::min<int>(c.*component, 255));
  return values;
}

// Largest distance from a value the palette uses to the nearest of the
// first `k` values in `order`.
int worst_error(const std::vector<std::uint8_t>& order, const std::set<int>& used, std::size_t k) {
  int worst = 0;
  for (int v : used) {
    int best = 256;
    for (std::size_t i = 0; i < k; ++i) best = std::min(best, std::abs(v - int{order[i]}));
    worst = std::max(worst, best);
  }
  return worst;
}

TEST(CellOrder, EveryValueOfTheDefaultPaletteOnceInEachChannel) {
  for (auto component : {&Rgb::red, &Rgb::green, &Rgb::blue}) {
    const std::vector<std::uint8_t> order = cell_order(DEFAULTCOLORS, component);
    const std::set<int> used = values_of(DEFAULTCOLORS, component);
    EXPECT_EQ(order.size(), used.size());
    EXPECT_EQ(std::set<int>(order.begin(), order.end()), used);
  }
}

TEST(CellOrder, BlackAndTheFirstSixteenColoursComeFirst) {
  const std::vector<std::uint8_t> order = cell_order(DEFAULTCOLORS, &Rgb::red);
  ASSERT_GE(order.size(), 4u);
  // 0 and 252 (colour 15) first: two cells show the figure on black.
  EXPECT_EQ(order[0], 0);
  EXPECT_EQ(order[1], 252);
  const std::set<int> classic = values_of(std::span(DEFAULTCOLORS).first(16), &Rgb::red);
  EXPECT_EQ(std::set<int>(order.begin(), order.begin() + 4), classic);
}

// However few cells there are, the values that have one spread over the
// range: never worse than twice an even spacing of that many values.
TEST(CellOrder, AnyPrefixCoversTheRangeEvenly) {
  const std::vector<std::uint8_t> order = cell_order(DEFAULTCOLORS, &Rgb::blue);
  const std::set<int> used = values_of(DEFAULTCOLORS, &Rgb::blue);
  for (std::size_t k = 2; k <= order.size(); ++k)
    EXPECT_LE(worst_error(order, used, k), 252.0 / static_cast<double>(k - 1)) << k << " cells";
  EXPECT_EQ(worst_error(order, used, order.size()), 0);
}

TEST(CellOrder, ColoursAfterTheFirstSixteenAndOutOfRangeValues) {
  std::vector<Rgb> colors(16, Rgb{10, 0, 0});
  colors.push_back({300, 0, 0});  // cut to 255, as pixel values are
  colors.push_back({100, 0, 0});
  colors.push_back({10, 0, 0});   // already there
  const std::vector<std::uint8_t> order = cell_order(colors, &Rgb::red);
  // 255 is farther than 100 from 10.
  EXPECT_EQ(order, (std::vector<std::uint8_t>{10, 255, 100}));
  EXPECT_TRUE(cell_order({}, &Rgb::red).empty());
}

TEST(NearestCells, EachValueTakesTheNearestCell) {
  // Not in order, and one value twice (a server that rounds may give two
  // requests one cell).
  const Cell cells[] = {{252 * 257, 5}, {0, 0}, {84 * 257, 2}, {84 * 257, 2}};
  const std::array<std::uint32_t, 256> table = nearest_cells(cells);
  EXPECT_EQ(table[0], 0u);
  EXPECT_EQ(table[41], 0u);
  EXPECT_EQ(table[42], 0u);  // halfway: the lower cell
  EXPECT_EQ(table[43], 2u);
  EXPECT_EQ(table[84], 2u);
  EXPECT_EQ(table[168], 2u);
  EXPECT_EQ(table[169], 5u);
  EXPECT_EQ(table[252], 5u);
  EXPECT_EQ(table[255], 5u);
}

TEST(NearestCells, OneCellTakesEverything) {
  const Cell cells[] = {{0x8000, 7}};
  const std::array<std::uint32_t, 256> table = nearest_cells(cells);
  EXPECT_TRUE(std::all_of(table.begin(), table.end(), [](std::uint32_t b) { return b == 7; }));
}

TEST(ShownValue, TheCellsValueOrNone) {
  const Cell cells[] = {{0, 0}, {0xFCFC, 0x1F}, {0x5454, 0x04}};
  EXPECT_EQ(graphics::shown_value(cells, 0x1F), 252);
  EXPECT_EQ(graphics::shown_value(cells, 0x04), 84);
  EXPECT_EQ(graphics::shown_value(cells, 0), 0);
  EXPECT_EQ(graphics::shown_value(cells, 0x02), -1);
}

}  // namespace
