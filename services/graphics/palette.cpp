// The default palette, generated at compile time from its 6-bit levels.
#include "services/graphics/palette.hpp"

namespace graphics {
namespace {

constexpr Rgb level6(int r, int g, int b) {
  return {static_cast<std::uint16_t>(r * 4), static_cast<std::uint16_t>(g * 4),
          static_cast<std::uint16_t>(b * 4)};
}

constexpr int kGreys[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};

struct Ring {
  int low, a, b, c, high;
};
// First index 32, 56, ... 224: three brightnesses times three saturations.
constexpr Ring kRings[9] = {
    {0, 16, 31, 47, 63},  {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63},
    {0, 7, 14, 21, 28},   {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
    {0, 4, 8, 12, 16},    {8, 10, 12, 14, 16},  {11, 12, 13, 15, 16},
};

constexpr std::array<Rgb, 256> make_default_colors() {
  std::array<Rgb, 256> p{};
  constexpr int A = 42, B = 21, H = 63;  // 168, 84 and 252 in 8-bit units
  const Rgb classic[16] = {
      level6(0, 0, 0), level6(0, 0, A), level6(0, A, 0), level6(0, A, A),
      level6(A, 0, 0), level6(A, 0, A), level6(A, B, 0), level6(A, A, A),
      level6(B, B, B), level6(B, B, H), level6(B, H, B), level6(B, H, H),
      level6(H, B, B), level6(H, B, H), level6(H, H, B), level6(H, H, H),
  };
  for (int i = 0; i < 16; ++i) p[i] = classic[i];
  for (int i = 0; i < 16; ++i) p[16 + i] = level6(kGreys[i], kGreys[i], kGreys[i]);
  for (int r = 0; r < 9; ++r) {
    const int L = kRings[r].low, a = kRings[r].a, b = kRings[r].b, c = kRings[r].c,
              Hi = kRings[r].high;
    // Blue to red to green and back to blue, one component moving at a time.
    const int hue[24][3] = {
        {L, L, Hi}, {a, L, Hi}, {b, L, Hi}, {c, L, Hi}, {Hi, L, Hi}, {Hi, L, c},
        {Hi, L, b}, {Hi, L, a}, {Hi, L, L}, {Hi, a, L}, {Hi, b, L},  {Hi, c, L},
        {Hi, Hi, L}, {c, Hi, L}, {b, Hi, L}, {a, Hi, L}, {L, Hi, L}, {L, Hi, a},
        {L, Hi, b}, {L, Hi, c}, {L, Hi, Hi}, {L, c, Hi}, {L, b, Hi}, {L, a, Hi},
    };
    for (int k = 0; k < 24; ++k) p[32 + 24 * r + k] = level6(hue[k][0], hue[k][1], hue[k][2]);
  }
  // 248..255 stay black.
  return p;
}

}  // namespace

constinit const std::array<Rgb, 256> DEFAULTCOLORS = make_default_colors();

}  // namespace graphics
