// Spot checks of the default palette across its four parts.
#include <gtest/gtest.h>

#include "services/graphics/palette.hpp"

namespace {

using graphics::DEFAULTCOLORS;
using graphics::TRGB;

TEST(DefaultColors, ClassicSixteen) {
  const TRGB expected[16] = {{0, 0, 0},      {0, 0, 168},     {0, 168, 0},     {0, 168, 168},
                             {168, 0, 0},    {168, 0, 168},   {168, 84, 0},    {168, 168, 168},
                             {84, 84, 84},   {84, 84, 252},   {84, 252, 84},   {84, 252, 252},
                             {252, 84, 84},  {252, 84, 252},  {252, 252, 84},  {252, 252, 252}};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(DEFAULTCOLORS[i], expected[i]) << i;
}

TEST(DefaultColors, Greys) {
  EXPECT_EQ(DEFAULTCOLORS[16], (TRGB{0, 0, 0}));
  EXPECT_EQ(DEFAULTCOLORS[17], (TRGB{20, 20, 20}));
  EXPECT_EQ(DEFAULTCOLORS[23], (TRGB{96, 96, 96}));
  EXPECT_EQ(DEFAULTCOLORS[28], (TRGB{180, 180, 180}));
  EXPECT_EQ(DEFAULTCOLORS[31], (TRGB{252, 252, 252}));
}

TEST(DefaultColors, Rings) {
  // First ring: full brightness and saturation, around the hue circle.
  EXPECT_EQ(DEFAULTCOLORS[32], (TRGB{0, 0, 252}));
  EXPECT_EQ(DEFAULTCOLORS[33], (TRGB{64, 0, 252}));
  EXPECT_EQ(DEFAULTCOLORS[36], (TRGB{252, 0, 252}));
  EXPECT_EQ(DEFAULTCOLORS[38], (TRGB{252, 0, 124}));
  EXPECT_EQ(DEFAULTCOLORS[40], (TRGB{252, 0, 0}));
  EXPECT_EQ(DEFAULTCOLORS[43], (TRGB{252, 188, 0}));
  EXPECT_EQ(DEFAULTCOLORS[44], (TRGB{252, 252, 0}));
  EXPECT_EQ(DEFAULTCOLORS[48], (TRGB{0, 252, 0}));
  EXPECT_EQ(DEFAULTCOLORS[52], (TRGB{0, 252, 252}));
  EXPECT_EQ(DEFAULTCOLORS[55], (TRGB{0, 64, 252}));
  // Each ring starts at (L, L, H) with its own levels.
  EXPECT_EQ(DEFAULTCOLORS[56], (TRGB{124, 124, 252}));
  EXPECT_EQ(DEFAULTCOLORS[80], (TRGB{180, 180, 252}));
  EXPECT_EQ(DEFAULTCOLORS[104], (TRGB{0, 0, 112}));
  EXPECT_EQ(DEFAULTCOLORS[128], (TRGB{56, 56, 112}));
  EXPECT_EQ(DEFAULTCOLORS[152], (TRGB{80, 80, 112}));
  EXPECT_EQ(DEFAULTCOLORS[176], (TRGB{0, 0, 64}));
  EXPECT_EQ(DEFAULTCOLORS[200], (TRGB{32, 32, 64}));
  EXPECT_EQ(DEFAULTCOLORS[224], (TRGB{44, 44, 64}));
  EXPECT_EQ(DEFAULTCOLORS[236], (TRGB{64, 64, 44}));  // (H, H, L)
  EXPECT_EQ(DEFAULTCOLORS[245], (TRGB{44, 60, 64}));  // (L, c, H)
  EXPECT_EQ(DEFAULTCOLORS[247], (TRGB{44, 48, 64}));  // (L, a, H)
}

TEST(DefaultColors, TailIsBlackAndEveryComponentAMultipleOfFour) {
  for (int i = 248; i < 256; ++i) EXPECT_EQ(DEFAULTCOLORS[i], (TRGB{0, 0, 0})) << i;
  for (const TRGB& c : DEFAULTCOLORS)
    for (int v : {c.red, c.green, c.blue}) {
      EXPECT_EQ(v % 4, 0);
      EXPECT_LE(v, 252);
    }
}

}  // namespace
