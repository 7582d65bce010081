#pragma once
// Lightmap bytes, the level's side of the lightmap textures: brightening and the exported image
// (TQuake3BSP::ExportLightmap); the upload is render/'s (TQuake3BSP::CreateLightmapTexture).
#include <cstddef>
#include <cstdint>
#include <span>

// The lightmap block is a fixed 128 x 128; the highest indices the callers pass must match it,
// or the walk over the block and the texture size would disagree with the bytes there are.
// Raises std::invalid_argument naming the indices otherwise.
void CheckLightmapIndices(std::int32_t highestX, std::int32_t highestY);

// The viewer's brightening of lightmap bytes, in place: v -> 2v + 80, at most 255. The lump's lightmaps,
// lightmap files and vertex colours are all brightened by this one rule.
void BrightenLightmap(std::span<std::uint8_t> bytes);
// The same, one byte.
std::uint8_t BrightenedLightmapByte(std::uint8_t value);
