#pragma once
// The level's light grid (lump 15): per cell an ambient colour, a directed colour and the direction
// that light comes from, over the world model's box in cells of 64 x 64 x 128 units (or the
// worldspawn's "gridsize"). Models take their light from it at their place. Pure: bytes in, a grid
// and samples out; what a sample does to a vertex is render/'s.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "level/Q3BSP.h"

struct TLightGrid {
  TVector Origin{};                       // the first cell's corner, a multiple of Size
  std::array<float, 3> Size{64, 64, 128};
  std::array<std::int32_t, 3> Counts{};   // cells along x, y, z
  std::vector<std::array<std::uint8_t, 8>> Cells;  // x fastest, then y, then z
};

// The light at one place: colours from 0 to 255 by the level's light rule, the direction towards
// the light as a unit vector.
struct TGridSample {
  std::array<float, 3> Ambient{}, Directed{};
  TVector Direction{0, 0, 1};
};

// The grid of the lump, laid over the world model's box (mins, maxs) with "gridsize" when the
// worldspawn gives three positive numbers. Nothing, with a warning naming why, when the lump's size
// is not the cell count times 8 or the grid would hold more than kMostGridCells cells.
inline constexpr std::int64_t kMostGridCells = 1 << 22;
std::optional<TLightGrid> ReadLightGrid(std::span<const std::uint8_t> bytes, const TBSPLump& lump, const TVector& mins,
                                        const TVector& maxs, const std::string* gridSize, std::string& warning);

// Trilinear among the eight cells around the place, leaving out cells that hold no light at all
// (inside walls) and weighing the rest anew; outside the grid the nearest cells. Each cell's
// colours go through the light rule first (level/GameLight.h: the game's, or twice the stored
// value under the design's, at most 255).
TGridSample SampleLightGrid(const TLightGrid& grid, const TVector& place, bool game);
