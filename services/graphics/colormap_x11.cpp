#include "services/graphics/colormap_x11.hpp"

#include <algorithm>

namespace graphics::x11 {

void direct_color_tables(Display* d, Visual* visual, Colormap colormap,
                         std::span<const Rgb> colors, ChannelTable red, ChannelTable green,
                         ChannelTable blue) {
  struct Channel {
    std::uint16_t Rgb::*component;
    unsigned short XColor::*value;
    unsigned long mask;
    ChannelTable out;
    std::vector<std::uint8_t> order;
  };
  Channel channels[3] = {{&Rgb::red, &XColor::red, visual->red_mask, red, {}},
                         {&Rgb::green, &XColor::green, visual->green_mask, green, {}},
                         {&Rgb::blue, &XColor::blue, visual->blue_mask, blue, {}}};
  XColor base{};
  base.flags = DoRed | DoGreen | DoBlue;
  for (Channel& ch : channels) {
    ch.order = cell_order(colors, ch.component);
    if (ch.order.empty()) return;
    base.*ch.value = static_cast<unsigned short>(ch.order.front() * 257);
    ch.out.cells.clear();
  }
  // The first value of every channel at once; later requests ask for these
  // again in the channels they are not for, and so share their cells.
  if (XAllocColor(d, colormap, &base) == 0) return;  // no room at all
  for (Channel& ch : channels)
    ch.out.cells.push_back({base.*ch.value, static_cast<std::uint32_t>(base.pixel & ch.mask)});
  // Channel by channel: one full channel (blue has the fewest cells at
  // depth 8) leaves the others their room.
  for (Channel& ch : channels) {
    for (std::size_t k = 1; k < ch.order.size(); ++k) {
      XColor c = base;
      c.*ch.value = static_cast<unsigned short>(ch.order[k] * 257);
      // A failure means only that this channel is full now; a later value
      // may still share a cell another client holds.
      if (XAllocColor(d, colormap, &c) != 0)
        ch.out.cells.push_back({c.*ch.value, static_cast<std::uint32_t>(c.pixel & ch.mask)});
    }
    const std::array<std::uint32_t, 256> table = nearest_cells(ch.out.cells);
    std::copy(table.begin(), table.end(), ch.out.table);
  }
}

}  // namespace graphics::x11
