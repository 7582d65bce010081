// The viewer's keys, one table for every place that lists them.
#include "app/viewer/KeyTable.h"

#include "app/viewer/ViewModes.h"
#include "app/viewer/WalkMode.h"

namespace app {
namespace {

constexpr std::uint16_t kEscape = 27;

// Letters are their upper-case codes; the movement and Esc keys are read in the frame loop, the
// others by HandleToolKey.
constexpr TKeyRow kKeys[] = {
    {"W, S", "fly forward, back along the view", {'W', 'S'}},
    {"A, D", "step left, right", {'A', 'D'}},
    {"mouse", "look around", {0, 0}},
    {"E, Space", "fly straight up", {VK_E, VK_SPACE}},
    {"Q, C", "fly straight down", {VK_Q, VK_C}},
    {"V", "walk (collision, gravity; W, S, A, D on the ground, Space jumps, C crouches) or fly",
     {VK_V, 0}},
    {"Shift", "held: four times the speed, flying and walking", {VK_SHIFT, 0}},
    {"wheel", "flying speed up or down", {0, 0}},
    {"F1", "surface images only, no lightmaps (again: the plain picture)", {VK_F1, 0}},
    {"F2", "lightmaps only (again: the plain picture)", {VK_F2, 0}},
    {"F3", "wireframe over the picture, on or off", {VK_F3, 0}},
    {"F4", "visibility frozen where the camera stands, on or off", {VK_F4, 0}},
    {"F5", "reload the level from its file", {VK_F5, 0}},
    {"F6", "a colour for each visibility cluster (again: the plain picture)", {VK_F6, 0}},
    {"F7", "entity markers: a box per point entity, target links, trigger volumes; on or off", {VK_F7, 0}},
    {"F12", "screenshot: bspwalk-LEVEL-N.png in the base folder", {VK_F12, 0}},
    {"Tab", "information line: modes, leaf, cluster, the pose as --camera; on or off", {VK_TAB, 0}},
    {"PgDn, PgUp", "the next, the previous spawn point", {VK_NEXT, VK_PRIOR}},
    {"G", "go to the entity inspected, else the one in sight nearest the view centre", {VK_G, 0}},
    {"I", "inspect the entity in sight at the view centre: its keys; again to hide", {VK_I, 0}},
    {"M", "the pointer shown (no mouse look): a left click inspects the entity under it; again to look",
     {VK_M, 0}},
    {"H", "this key reference, on or off", {VK_H, 0}},
    {"P", "the clock of moving surfaces (--shaders) paused or running", {VK_P, 0}},
    {"Esc", "quit", {kEscape, 0}},
};

}  // namespace

std::span<const TKeyRow> KeyTable() { return kKeys; }

std::vector<std::string> KeyLines(const std::string& indent, std::size_t keyColumn) {
  std::vector<std::string> lines;
  for (const TKeyRow& row : kKeys) {
    std::string line = indent + row.Keys;
    line += std::string(line.size() + 1 > keyColumn ? 1 : keyColumn - line.size(), ' ');
    lines.push_back(line + row.Action);
  }
  return lines;
}

std::vector<std::string> KeyReferenceLines() {
  std::vector<std::string> lines{"  Keys (H hides this list):"};
  const std::vector<std::string> keys = KeyLines("    ", 14);
  lines.insert(lines.end(), keys.begin(), keys.end());
  return lines;
}

}  // namespace app
