// The viewer's ways to the level's things: the spawn points one after the other, and the entity
// the view is pointed at.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "app/viewer/ViewModes.h"
#include "level/Entities.h"
#include "level/Framing.h"
#include "level/Things.h"

namespace app {
namespace {

constexpr float kNoteMs = 2000;


void MoveTo(TCamera& camera, const TViewPose& pose) {
  InitCamera(camera, pose.Eye.X, pose.Eye.Y, pose.Eye.Z, pose.Yaw, pose.Pitch);
}

}  // namespace

std::string NearestEntityText(const TQuake3BSP& level, const TCamera& camera) {
  const std::vector<TPlacedEntity>& places = level.Things.Places;
  const std::optional<std::size_t> nearest =
      PlaceNearestView(places, {camera.X, camera.Y, camera.Z}, ViewDirection(camera.Yaw, camera.Pitch), true);
  if (!nearest) return {};
  return " near: #" + std::to_string(places[*nearest].Index) + " " + places[*nearest].ClassName;
}

std::vector<std::string> InspectorText(const TQuake3BSP& level, const TPlacedEntity& place) {
  std::vector<std::string> lines{"Entity " + std::to_string(place.Index) + ": " + place.ClassName};
  const std::vector<TEntity>& entities = level.Things.Entities.Entities;
  if (place.Index >= 0 && static_cast<std::size_t>(place.Index) < entities.size())
    for (const auto& [key, value] : entities[static_cast<std::size_t>(place.Index)]) {
      if (lines.size() == kMostInspectorLines) {
        lines.back() = "  ...";
        break;
      }
      std::string line = "  \"" + key + "\" \"" + value + "\"";
      if (line.size() > kInspectorColumns) line = line.substr(0, kInspectorColumns - 3) + "...";
      lines.push_back(std::move(line));
    }
  return lines;
}

TVector ClickDirection(const TCamera& camera, double fovDegrees, int width, int height, int x, int y) {
  const double yaw = camera.Yaw * std::numbers::pi / 180, pitch = camera.Pitch * std::numbers::pi / 180;
  const TVector forward = ViewDirection(camera.Yaw, camera.Pitch);
  // The eye's right and up axes in the world, as ApplyCameraTransform turns them (no roll).
  const TVector right{static_cast<float>(std::cos(yaw)), static_cast<float>(-std::sin(yaw)), 0};
  const TVector up{static_cast<float>(std::cos(pitch) * std::sin(yaw)), static_cast<float>(std::cos(pitch) * std::cos(yaw)),
                   static_cast<float>(-std::sin(pitch))};
  const double w = std::max(width, 1), h = std::max(height, 1);
  const double tanHalf = std::tan(fovDegrees * std::numbers::pi / 360);
  const float across = static_cast<float>((2 * (x + 0.5) / w - 1) * tanHalf * w / h);
  const float upward = static_cast<float>((1 - 2 * (y + 0.5) / h) * tanHalf);
  return {forward.X + right.X * across + up.X * upward, forward.Y + right.Y * across + up.Y * upward,
          forward.Z + right.Z * across + up.Z * upward};
}

static bool InspectAt(const TQuake3BSP& level, const TCamera& camera, const TVector& direction, TViewerState& state) {
  const std::vector<TPlacedEntity>& places = level.Things.Places;
  state.Inspected = PlaceInSight(level, places, {camera.X, camera.Y, camera.Z}, direction, state.Render.Markers);
  if (state.Inspected) state.InspectorLines = InspectorText(level, places[*state.Inspected]);
  return state.Inspected.has_value();
}

void HandleEntityClick(int x, int y, int width, int height, const TQuake3BSP& level, const TCamera& camera, float now,
                       TViewerState& state) {
  if (!InspectAt(level, camera, ClickDirection(camera, state.FovDegrees, width, height, x, y), state))
    SetNote(state, "No entity in sight under the pointer", now + kNoteMs);
}

bool HandleEntityKey(std::uint16_t key, bool wasDown, const TQuake3BSP& level, TCamera& camera, float now,
                     TViewerState& state) {
  const auto Note = [&state](const std::string& text, float at) { SetNote(state, text, at + kNoteMs); };
  if (key != VK_PRIOR && key != VK_NEXT && key != VK_G && key != VK_I) return false;
  if (wasDown) return true;
  const std::vector<TPlacedEntity>& places = level.Things.Places;
  if (state.Inspected && *state.Inspected >= places.size()) state.Inspected.reset();  // reloaded
  if (key == VK_I) {
    if (state.Inspected) {
      state.Inspected.reset();
      return true;
    }
    if (!InspectAt(level, camera, ViewDirection(camera.Yaw, camera.Pitch), state))
      Note("No entity in sight near the view centre", now);
    return true;
  }
  if (key == VK_G && state.Inspected) {
    MoveTo(camera, PoseLookingAt(level, places[*state.Inspected]));
    Note("Entity " + std::to_string(places[*state.Inspected].Index) + ": " +
             places[*state.Inspected].ClassName, now);
    return true;
  }
  if (key == VK_G) {
    // Only what can be seen: in sight of the eye, and a trigger (invisible in play) only when the
    // entity markers are on. It lands where --goto lands for the same entity.
    const std::optional<std::size_t> seen = PlaceInSight(level, places, {camera.X, camera.Y, camera.Z},
                                                         ViewDirection(camera.Yaw, camera.Pitch),
                                                         state.Render.Markers);
    if (!seen) {
      Note("No entity near the view centre", now);
      return true;
    }
    MoveTo(camera, PoseLookingAt(level, places[*seen]));
    Note("Entity " + std::to_string(places[*seen].Index) + ": " + places[*seen].ClassName, now);
    return true;
  }
  const std::vector<TSpawnPoint> spawns = FindSpawnPoints(level.Things.Entities.Entities);
  if (spawns.empty()) {
    Note("The level has no spawn points", now);
    return true;
  }
  const std::int32_t count = static_cast<std::int32_t>(spawns.size());
  std::int32_t& current = state.SpawnPoint;
  if (current < 0 || current >= count)
    current = key == VK_NEXT ? 0 : count - 1;
  else
    current = (current + (key == VK_NEXT ? 1 : count - 1)) % count;
  const TSpawnPoint& spawn = spawns[static_cast<std::size_t>(current)];
  MoveTo(camera, SpawnViewPose(spawn));
  Note("Spawn point " + std::to_string(current + 1) + " of " + std::to_string(count) + ": " + spawn.ClassName, now);
  return true;
}

}  // namespace app
