#pragma once
// Light as the game shows it (--light game): the format stores light two bits below full scale,
// so a lightmap texel, a vertex colour or a light-grid value is worth four times its bytes. What
// passes 255 is brought back with its hue: all three channels are scaled so that the largest is
// 255. The surface is then its image times this light, once. The design's rule (v -> 2v + 80, and
// twice the product) is level/Q3BSP_lightmaps.h's.
#include <array>
#include <cstdint>
#include <span>

// One colour by the game's rule. Channels are scaled by 255 / largest and rounded down, so a
// clamped colour never passes 255 and a grey stays grey.
std::array<std::uint8_t, 3> GameLightColour(std::uint8_t r, std::uint8_t g, std::uint8_t b);

// RGB triples in place, by the game's rule (game) or the design's brightening (not game); a
// trailing byte that makes no triple is left as it is under the game's rule.
void LightTexels(std::span<std::uint8_t> rgb, bool game);

// A vertex colour (RGBA) as the light of the vertex-lit pass: RGB by either rule, alpha 255.
std::array<std::uint8_t, 4> LitVertexColour(const std::uint8_t* colour, bool game);
