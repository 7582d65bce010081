#pragma once
// The overview as a plan (--overview with --mode entities): a coordinate grid with labelled lines,
// each spawn point's number as --spawn takes it, and each item's short name, so that --spawn,
// --goto, --camera and --view can be chosen from the picture.
#include <string>
#include <vector>

#include "app/runs/Overview.h"
#include "level/Things.h"

namespace app {

// The grid's spacing in units: 512, doubled until the picture holds at most 16 lines each way.
double GridStep(const TOverviewFrame& frame);

// An item's name without its family's prefix: "quad" for item_quad, "railgun" for weapon_railgun,
// "redflag" for team_CTF_redflag; other classes as they are.
std::string ShortName(const std::string& className);

// A text at a pixel of the picture (x from the left, y from the bottom edge).
struct TOverviewLabel {
  std::string Text;
  double X = 0, Y = 0;
};

// The labels of the plan: the grid lines' coordinates along the top and left edges, the
// spawn points' numbers beside their marks, and the items' (weapons', health's and armour's too)
// short names beside their places.
std::vector<TOverviewLabel> PlanLabels(const TOverviewFrame& frame, const std::vector<TPlacedEntity>& places,
                                       const std::vector<TSpawnPoint>& spawns);

// Draws the grid lines (under the marks) into the current picture, in pixels.
void DrawPlanGrid(const TOverviewFrame& frame);
// Draws the labels in the heads-up font, white on a dark shadow; nothing without a font.
void DrawPlanLabels(const std::vector<TOverviewLabel>& labels);

}  // namespace app
