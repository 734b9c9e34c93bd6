// Spot checks of the default palette across its four parts.
#include <gtest/gtest.h>

#include "services/graphics/palette.hpp"

namespace {

using graphics::DEFAULTCOLORS;
using graphics::Rgb;

TEST(DefaultColors, ClassicSixteen) {
  const Rgb expected[16] = {{0, 0, 0},      {0, 0, 168},     {0, 168, 0},     {0, 168, 168},
                            {168, 0, 0},    {168, 0, 168},   {168, 84, 0},    {168, 168, 168},
                            {84, 84, 84},   {84, 84, 252},   {84, 252, 84},   {84, 252, 252},
                            {252, 84, 84},  {252, 84, 252},  {252, 252, 84},  {252, 252, 252}};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(DEFAULTCOLORS[i], expected[i]) << i;
}

TEST(DefaultColors, Greys) {
  EXPECT_EQ(DEFAULTCOLORS[16], (Rgb{0, 0, 0}));
  EXPECT_EQ(DEFAULTCOLORS[17], (Rgb{20, 20, 20}));
  EXPECT_EQ(DEFAULTCOLORS[23], (Rgb{96, 96, 96}));
  EXPECT_EQ(DEFAULTCOLORS[28], (Rgb{180, 180, 180}));
  EXPECT_EQ(DEFAULTCOLORS[31], (Rgb{252, 252, 252}));
}

TEST(DefaultColors, Rings) {
  // First ring: full brightness and saturation, around the hue circle.
  EXPECT_EQ(DEFAULTCOLORS[32], (Rgb{0, 0, 252}));
  EXPECT_EQ(DEFAULTCOLORS[33], (Rgb{64, 0, 252}));
  EXPECT_EQ(DEFAULTCOLORS[36], (Rgb{252, 0, 252}));
  EXPECT_EQ(DEFAULTCOLORS[38], (Rgb{252, 0, 124}));
  EXPECT_EQ(DEFAULTCOLORS[40], (Rgb{252, 0, 0}));
  EXPECT_EQ(DEFAULTCOLORS[43], (Rgb{252, 188, 0}));
  EXPECT_EQ(DEFAULTCOLORS[44], (Rgb{252, 252, 0}));
  EXPECT_EQ(DEFAULTCOLORS[48], (Rgb{0, 252, 0}));
  EXPECT_EQ(DEFAULTCOLORS[52], (Rgb{0, 252, 252}));
  EXPECT_EQ(DEFAULTCOLORS[55], (Rgb{0, 64, 252}));
  // Each ring starts at (L, L, H) with its own levels.
  EXPECT_EQ(DEFAULTCOLORS[56], (Rgb{124, 124, 252}));
  EXPECT_EQ(DEFAULTCOLORS[80], (Rgb{180, 180, 252}));
  EXPECT_EQ(DEFAULTCOLORS[104], (Rgb{0, 0, 112}));
  EXPECT_EQ(DEFAULTCOLORS[128], (Rgb{56, 56, 112}));
  EXPECT_EQ(DEFAULTCOLORS[152], (Rgb{80, 80, 112}));
  EXPECT_EQ(DEFAULTCOLORS[176], (Rgb{0, 0, 64}));
  EXPECT_EQ(DEFAULTCOLORS[200], (Rgb{32, 32, 64}));
  EXPECT_EQ(DEFAULTCOLORS[224], (Rgb{44, 44, 64}));
  EXPECT_EQ(DEFAULTCOLORS[236], (Rgb{64, 64, 44}));  // (H, H, L)
  EXPECT_EQ(DEFAULTCOLORS[245], (Rgb{44, 60, 64}));  // (L, c, H)
  EXPECT_EQ(DEFAULTCOLORS[247], (Rgb{44, 48, 64}));  // (L, a, H)
}

TEST(DefaultColors, TailIsBlackAndEveryComponentAMultipleOfFour) {
  for (int i = 248; i < 256; ++i) EXPECT_EQ(DEFAULTCOLORS[i], (Rgb{0, 0, 0})) << i;
  for (const Rgb& c : DEFAULTCOLORS)
    for (int v : {c.red, c.green, c.blue}) {
      EXPECT_EQ(v % 4, 0);
      EXPECT_LE(v, 252);
    }
}

}  // namespace
