#include "render/ItemLight.h"

#include <algorithm>
#include <cmath>

#include "level/Entities.h"

std::optional<TLightGrid> LevelLightGrid(TQuake3BSP& level, const TLevelLoad& load) {
  const TLevelThings& things = level.Things;
  if (things.Models.empty() || !load.Bytes) return std::nullopt;
  const std::string* gridSize = nullptr;
  for (const TEntity& entity : things.Entities.Entities)
    if (ClassNameOf(entity) == "worldspawn") {
      gridSize = FindValue(entity, "gridsize");
      break;
    }
  std::string warning;
  std::optional<TLightGrid> grid = ReadLightGrid(*load.Bytes, load.File.Lumps[kLightVolumes], things.Models[0].Mins,
                                                 things.Models[0].Maxs, gridSize, warning);
  if (!grid) level.Things.Warnings.push_back(warning + "; items keep their fixed light");
  return grid;
}

std::array<std::uint8_t, 4> GridShadeColour(const TGridSample& sample, const TVector& normal) {
  const TVector& d = sample.Direction;
  const float facing = std::max(0.0f, normal.X * d.X + normal.Y * d.Y + normal.Z * d.Z);
  std::array<std::uint8_t, 4> colour{0, 0, 0, 255};
  for (int c = 0; c < 3; ++c) {
    const float v = sample.Ambient[c] + sample.Directed[c] * facing;
    colour[c] = static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
  }
  return colour;
}

TItemShade GridShade(const TGridSample& sample) {
  return [sample](const TVector& normal) { return GridShadeColour(sample, normal); };
}
