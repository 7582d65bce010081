// The light grid: laid over the world's box, sampled between cells, empty cells left out, and a
// lump that does not fit refused; the shade of a vertex by its normal.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "level/LightGrid.h"
#include "render/ItemLight.h"

namespace {

std::vector<std::uint8_t> Lump(const std::vector<std::array<std::uint8_t, 8>>& cells, TBSPLump& lump) {
  std::vector<std::uint8_t> bytes(16, 0);  // something before the lump
  lump = {16, static_cast<std::int32_t>(cells.size() * 8)};
  for (const auto& cell : cells) bytes.insert(bytes.end(), cell.begin(), cell.end());
  return bytes;
}

TEST(LightGrid, TrilinearBetweenCellsByTheLightRule) {
  TBSPLump lump{};
  // Two cells along x: light from above, and a dimmer one from +X with no directed part.
  const auto bytes = Lump({{10, 20, 30, 40, 40, 40, 0, 0}, {30, 20, 10, 0, 0, 0, 64, 0}}, lump);
  std::string warning;
  const auto grid = ReadLightGrid(bytes, lump, {0, 0, 0}, {64, 10, 100}, nullptr, warning);
  ASSERT_TRUE(grid) << warning;
  EXPECT_EQ(grid->Counts, (std::array<std::int32_t, 3>{2, 1, 1}));
  const TGridSample game = SampleLightGrid(*grid, {16, 0, 0}, true);  // a quarter of the way
  EXPECT_EQ(game.Ambient, (std::array<float, 3>{60, 80, 100}));
  EXPECT_EQ(game.Directed, (std::array<float, 3>{120, 120, 120}));
  EXPECT_NEAR(game.Direction.X, 0.25 / std::hypot(0.25, 0.75), 1e-5);
  EXPECT_NEAR(game.Direction.Z, 0.75 / std::hypot(0.25, 0.75), 1e-5);
  const TGridSample design = SampleLightGrid(*grid, {-500, 0, 0}, false);  // outside: the nearest cell
  EXPECT_EQ(design.Ambient, (std::array<float, 3>{20, 40, 60}));
  EXPECT_EQ(GridShadeColour(game, {0, 0, 1}), (std::array<std::uint8_t, 4>{174, 194, 214, 255}));
  EXPECT_EQ(GridShadeColour(game, {0, 0, -1}), (std::array<std::uint8_t, 4>{60, 80, 100, 255}));
}

TEST(LightGrid, EmptyCellsLeftOutAndLumpsThatDoNotFitRefused) {
  TBSPLump lump{};
  const auto bytes = Lump({{10, 10, 10, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}}, lump);
  std::string warning;
  const std::string size = "32 64 128";
  const auto grid = ReadLightGrid(bytes, lump, {0, 0, 0}, {64, 0, 0}, &size, warning);
  ASSERT_TRUE(grid) << warning;
  EXPECT_EQ(grid->Counts[0], 3);
  EXPECT_EQ(SampleLightGrid(*grid, {24, 0, 0}, true).Ambient, (std::array<float, 3>{40, 40, 40}));
  EXPECT_FALSE(ReadLightGrid(bytes, lump, {0, 0, 0}, {64, 0, 0}, nullptr, warning));
  EXPECT_EQ(warning, "light grid: 24 bytes where 2 cells of 8 were expected");
  const TBSPLump past{16, 1 << 20};
  EXPECT_FALSE(ReadLightGrid(bytes, past, {0, 0, 0}, {1e9f, 1e9f, 1e9f}, nullptr, warning));
  EXPECT_EQ(warning, "light grid: more than 4194304 cells");
}

}  // namespace
