#include "app/cli/EntityOptions.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "app/cli/Help.h"
#include "level/BSPFile.h"
#include "level/Things.h"

namespace app {
namespace {

// "; did you mean item_quad?" for a class typed a little wrong, as a level's name gets; the
// classes are those with a place, each once.
std::string ClassesCloseTo(const std::vector<TPlacedEntity>& places, const std::string& typed) {
  std::vector<std::string> classes;
  for (const TPlacedEntity& place : places)
    if (std::find(classes.begin(), classes.end(), place.ClassName) == classes.end()) classes.push_back(place.ClassName);
  const std::vector<std::string> near = CloseNames(typed, classes, 3);
  if (near.empty()) return {};
  std::string list;
  for (const std::string& name : near) list += (list.empty() ? "" : ", ") + name;
  return "; did you mean " + list + "?";
}

}  // namespace

std::string ApplyEntityOptions(const TEntityOptionsGiven& given, TCommandLine& options) {
  if (given.ClassGiven) {
    if (options.Mode != TRunMode::Entities) return "--class applies to --entities only";
    if (given.Class.empty()) return "--class needs a pattern such as 'item_*'";
    options.EntityClass = given.Class;
  }
  options.BrushModels = options.BrushModels || given.BrushModels;
  if (given.GotoGiven) {
    if (given.Goto.empty()) return "--goto needs an entity: its index, its class, or class:N";
    if (!options.LevelGiven) return "--goto needs a LEVEL";
    if (options.Camera) return "--goto and --camera cannot be combined";
    if (options.Spawn) return "--goto and --spawn cannot be combined";
    if (options.Mode != TRunMode::Viewer && options.Mode != TRunMode::Screenshot &&
        options.Mode != TRunMode::Benchmark)
      return "--goto applies to the viewer, --screenshot and --benchmark only";
    options.Goto = given.Goto;
  }
  return {};
}

TGotoPose GotoCameraPose(const std::string& levelPath, const std::string& target, const TLevelBytes& bytes) {
  TGotoPose result;
  TQuake3BSP tree;
  std::vector<TPlacedEntity> places;
  try {
    const TLevelFile file = LevelFileOf(levelPath, bytes);
    TBSPFile records = ParseBSP(file.Data());
    tree.Nodes = std::move(records.Nodes);
    tree.Planes = std::move(records.Planes);
    tree.Leaves = std::move(records.Leaves);
    std::vector<std::string> warnings;
    places = PlaceEntities(ParseEntities(file.EntitiesText()), ReadModelRecords(file.Data(), file.Lump(kModels), warnings),
                           warnings);
  } catch (const std::exception& error) {
    result.Unreadable = error.what();
    return result;
  }
  const std::optional<std::size_t> found = FindPlace(places, target, result.Why);
  if (!found) {
    if (result.Why.starts_with("no entity of class "))
      result.Why += ClassesCloseTo(places, target.substr(0, target.rfind(':')));
    return result;
  }
  const TViewPose pose = PoseLookingAt(tree, places[*found]);
  // A hostile model box (NaN, or so large its centre overflows) has no place to look from.
  if (!std::isfinite(pose.Eye.X) || !std::isfinite(pose.Eye.Y) || !std::isfinite(pose.Eye.Z) ||
      !std::isfinite(pose.Yaw)) {
    result.Why = "entity " + target + " has no usable place: its position is not a finite number";
    return result;
  }
  result.Pose = TCameraPose{pose.Eye.X, pose.Eye.Y, pose.Eye.Z, pose.Yaw, pose.Pitch};
  return result;
}

}  // namespace app
