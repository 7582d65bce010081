#include "level/LightGrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <sstream>

#include "level/GameLight.h"

namespace {

std::optional<std::array<float, 3>> ParseGridSize(const std::string& text) {
  std::istringstream in(text);
  std::array<float, 3> size{};
  for (float& s : size)
    if (!(in >> s) || !std::isfinite(s) || s < 1) return std::nullopt;
  return size;
}

std::array<float, 3> Lit(const std::uint8_t* colour, bool game) {
  if (game) {
    const std::array<std::uint8_t, 3> lit = GameLightColour(colour[0], colour[1], colour[2]);
    return {static_cast<float>(lit[0]), static_cast<float>(lit[1]), static_cast<float>(lit[2])};
  }
  return {std::min(255.0f, 2.0f * colour[0]), std::min(255.0f, 2.0f * colour[1]), std::min(255.0f, 2.0f * colour[2])};
}

// The direction bytes as fractions of a turn: the first from the +Z axis down, the second around it.
TVector Direction(std::uint8_t polar, std::uint8_t around) {
  const double p = polar * 2 * std::numbers::pi / 256, a = around * 2 * std::numbers::pi / 256;
  return {static_cast<float>(std::cos(a) * std::sin(p)), static_cast<float>(std::sin(a) * std::sin(p)),
          static_cast<float>(std::cos(p))};
}

}  // namespace

std::optional<TLightGrid> ReadLightGrid(std::span<const std::uint8_t> bytes, const TBSPLump& lump, const TVector& mins,
                                        const TVector& maxs, const std::string* gridSize, std::string& warning) {
  TLightGrid grid;
  if (gridSize) {
    if (const auto size = ParseGridSize(*gridSize)) grid.Size = *size;
  }
  const float low[3] = {mins.X, mins.Y, mins.Z}, high[3] = {maxs.X, maxs.Y, maxs.Z};
  std::int64_t cells = 1;
  float origin[3] = {};
  for (int k = 0; k < 3; ++k) {
    const double first = std::ceil(low[k] / grid.Size[k]), last = std::floor(high[k] / grid.Size[k]);
    const double count = last - first + 1;
    if (!std::isfinite(count) || count < 1) {
      warning = "light grid: the world's box holds no cells";
      return std::nullopt;
    }
    if (count > kMostGridCells) {
      warning = "light grid: more than " + std::to_string(kMostGridCells) + " cells";
      return std::nullopt;
    }
    origin[k] = static_cast<float>(first * grid.Size[k]);
    grid.Counts[k] = static_cast<std::int32_t>(count);
    cells *= grid.Counts[k];
    if (cells > kMostGridCells) {
      warning = "light grid: more than " + std::to_string(kMostGridCells) + " cells";
      return std::nullopt;
    }
  }
  if (lump.Offset < 0 || lump.Length != cells * 8 || std::uint64_t{static_cast<std::uint32_t>(lump.Offset)} +
                                                            static_cast<std::uint64_t>(lump.Length) > bytes.size()) {
    warning = "light grid: " + std::to_string(lump.Length) + " bytes where " + std::to_string(cells) +
              " cells of 8 were expected";
    return std::nullopt;
  }
  grid.Origin = {origin[0], origin[1], origin[2]};
  grid.Cells.resize(static_cast<std::size_t>(cells));
  std::memcpy(grid.Cells.data(), bytes.data() + lump.Offset, static_cast<std::size_t>(lump.Length));
  return grid;
}

TGridSample SampleLightGrid(const TLightGrid& grid, const TVector& place, bool game) {
  TGridSample sample;
  if (grid.Cells.empty()) return sample;
  const float at[3] = {place.X - grid.Origin.X, place.Y - grid.Origin.Y, place.Z - grid.Origin.Z};
  std::int32_t base[3];
  float fraction[3];
  for (int k = 0; k < 3; ++k) {
    const float v = std::isfinite(at[k]) ? at[k] / grid.Size[k] : 0.0f;
    const float clamped = std::clamp(v, 0.0f, static_cast<float>(grid.Counts[k] - 1));
    base[k] = std::min(static_cast<std::int32_t>(clamped), std::max(0, grid.Counts[k] - 2));
    fraction[k] = grid.Counts[k] > 1 ? clamped - static_cast<float>(base[k]) : 0.0f;
  }
  float total = 0;
  TVector direction{0, 0, 0};
  for (int corner = 0; corner < 8; ++corner) {
    float weight = 1;
    std::int64_t index = 0, stride = 1;
    for (int k = 0; k < 3; ++k) {
      const int step = (corner >> k) & 1;
      if (step && grid.Counts[k] < 2) { weight = 0; break; }
      weight *= step ? fraction[k] : 1 - fraction[k];
      index += (base[k] + step) * stride;
      stride *= grid.Counts[k];
    }
    if (weight <= 0) continue;
    const std::array<std::uint8_t, 8>& cell = grid.Cells[static_cast<std::size_t>(index)];
    if (std::all_of(cell.begin(), cell.begin() + 6, [](std::uint8_t b) { return b == 0; })) continue;
    const std::array<float, 3> ambient = Lit(&cell[0], game), directed = Lit(&cell[3], game);
    for (int c = 0; c < 3; ++c) {
      sample.Ambient[c] += weight * ambient[c];
      sample.Directed[c] += weight * directed[c];
    }
    const TVector d = Direction(cell[6], cell[7]);
    direction = {direction.X + weight * d.X, direction.Y + weight * d.Y, direction.Z + weight * d.Z};
    total += weight;
  }
  if (total <= 0) return sample;
  for (int c = 0; c < 3; ++c) {
    sample.Ambient[c] /= total;
    sample.Directed[c] /= total;
  }
  const float length = std::sqrt(direction.X * direction.X + direction.Y * direction.Y + direction.Z * direction.Z);
  if (length > 1e-6f) sample.Direction = {direction.X / length, direction.Y / length, direction.Z / length};
  return sample;
}
