#pragma once
// The default colours and the colour record of the graphics palette.
#include <array>
#include <cstdint>

namespace graphics {

// One palette entry; each component 0..252 in the defaults (6-bit levels x 4).
struct Rgb {
  std::uint16_t red;
  std::uint16_t green;
  std::uint16_t blue;
  friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

// The 256 default colours: the 16 classic colours, 16 greys, nine rings of
// 24 hues and 8 blacks.
extern const std::array<Rgb, 256> DEFAULTCOLORS;

// red + 256 x green + 65536 x blue, each component cut to 8 bits.
constexpr std::uint32_t rgb_value(const Rgb& c) {
  auto cut = [](std::uint16_t v) -> std::uint32_t { return v > 255 ? 255u : v; };
  return cut(c.red) | cut(c.green) << 8 | cut(c.blue) << 16;
}

}  // namespace graphics
