// The game's light rule on texels at its edges: x4 below full scale, the hue kept above it.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "level/GameLight.h"
#include "level/Q3BSP_lightmaps.h"

namespace {

struct TCase {
  std::array<std::uint8_t, 3> Raw, Lit;
};

TEST(GameLight, FourTimesAndTheLargestChannelClampedWithItsHue) {
  const TCase cases[] = {
      {{0, 0, 0}, {0, 0, 0}},
      {{1, 2, 3}, {4, 8, 12}},
      {{63, 63, 63}, {252, 252, 252}},    // the last grey below full scale
      {{64, 64, 64}, {255, 255, 255}},    // 256: a grey stays grey
      {{63, 64, 0}, {251, 255, 0}},       // one channel just past: 252 x 255 / 256
      {{64, 32, 16}, {255, 127, 63}},     // halves kept (rounded down)
      {{255, 0, 0}, {255, 0, 0}},
      {{255, 128, 1}, {255, 128, 1}},     // 1020, 512, 4 scaled by 255 / 1020
      {{100, 50, 25}, {255, 127, 63}},
      {{255, 255, 255}, {255, 255, 255}},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(GameLightColour(c.Raw[0], c.Raw[1], c.Raw[2]), c.Lit)
        << int{c.Raw[0]} << "," << int{c.Raw[1]} << "," << int{c.Raw[2]};
    std::vector<std::uint8_t> texels(c.Raw.begin(), c.Raw.end());
    texels.push_back(200);  // no triple: left alone
    LightTexels(texels, true);
    EXPECT_EQ(texels, (std::vector<std::uint8_t>{c.Lit[0], c.Lit[1], c.Lit[2], 200}));
    const std::array<std::uint8_t, 4> rgba{c.Raw[0], c.Raw[1], c.Raw[2], 7};
    EXPECT_EQ(LitVertexColour(rgba.data(), true), (std::array<std::uint8_t, 4>{c.Lit[0], c.Lit[1], c.Lit[2], 255}));
  }
}

TEST(GameLight, TheDesignsRuleUnchangedWithoutIt) {
  std::vector<std::uint8_t> texels{0, 87, 88, 255};
  LightTexels(texels, false);
  EXPECT_EQ(texels, (std::vector<std::uint8_t>{80, 254, 255, 255}));
  const std::array<std::uint8_t, 4> black{0, 0, 0, 0};
  EXPECT_EQ(LitVertexColour(black.data(), false), (std::array<std::uint8_t, 4>{80, 80, 80, 255}));
}

}  // namespace
