#include "level/GameLight.h"

#include <algorithm>

#include "level/Q3BSP_lightmaps.h"

std::array<std::uint8_t, 3> GameLightColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  const int scaled[3] = {r * 4, g * 4, b * 4};
  const int largest = std::max({scaled[0], scaled[1], scaled[2]});
  std::array<std::uint8_t, 3> out{};
  for (int k = 0; k < 3; ++k)
    out[k] = static_cast<std::uint8_t>(largest > 255 ? scaled[k] * 255 / largest : scaled[k]);
  return out;
}

void LightTexels(std::span<std::uint8_t> rgb, bool game) {
  if (!game) return BrightenLightmap(rgb);
  for (std::size_t i = 0; i + 3 <= rgb.size(); i += 3) {
    const std::array<std::uint8_t, 3> lit = GameLightColour(rgb[i], rgb[i + 1], rgb[i + 2]);
    std::copy(lit.begin(), lit.end(), rgb.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

std::array<std::uint8_t, 4> LitVertexColour(const std::uint8_t* colour, bool game) {
  if (!game)
    return {BrightenedLightmapByte(colour[0]), BrightenedLightmapByte(colour[1]), BrightenedLightmapByte(colour[2]), 255};
  const std::array<std::uint8_t, 3> lit = GameLightColour(colour[0], colour[1], colour[2]);
  return {lit[0], lit[1], lit[2], 255};
}
