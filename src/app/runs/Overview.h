#pragma once
// --overview: a top-down orthographic picture of the whole level, every face drawn (no
// visibility pass), the player spawn points marked and a scale bar; the picture a level's web
// page wants. Drawn offscreen through the viewer's own renderer.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/runs/RunOptions.h"
#include "level/LevelFile.h"
#include "level/Q3BSP.h"
#include "level/SpawnPoints.h"

namespace app {

// The level seen from above: world X to the right, Y up, fitted into the picture with a margin
// and the same scale on both axes.
struct TOverviewFrame {
  double Left = 0, Right = 0, Bottom = 0, Top = 0;  // world X and Y at the picture's edges
  double Near = 0, Far = 0;                         // glOrtho's depth range (looking down -Z)
  double UnitsPerPixel = 0;
  int Width = 0, Height = 0;
  // Pixel of a world point: x from the left, y from the bottom edge.
  double PixelX(double worldX) const { return (worldX - Left) / UnitsPerPixel; }
  double PixelY(double worldY) const { return (worldY - Bottom) / UnitsPerPixel; }
};

// The frame around every polygon face's vertices and the spawn points. Raises std::runtime_error
// for a level without polygon faces, and for bounds that are not finite or have no extent.
TOverviewFrame FitOverview(const TQuake3BSP& level, const std::vector<TSpawnPoint>& spawns,
                           int width, int height);

// The scale bar's length in units: 1, 2 or 5 times a power of ten, at most a quarter of the width.
double ScaleBarUnits(const TOverviewFrame& frame);

// The marker colour of a spawn point's class: blue and red for the teams, green for the others.
std::array<std::uint8_t, 3> SpawnMarkColour(const std::string& className);

// The whole run for --overview; returns the exit code.
int RunOverview(const TRunOptions& options);

}  // namespace app
