#include "app/cli/StartPose.h"

#include <vector>

#include "app/cli/EntityOptions.h"
#include "app/runs/LevelFile.h"
#include "level/Things.h"

namespace app {
namespace {

// The spawn points of the level, read quietly: a level that cannot be read is reported by the
// mode that loads it.
std::vector<TSpawnPoint> SpawnPointsOf(const std::string& levelPath, const TLevelBytes& bytes) {
  try {
    const TLevelFile file = LevelFileOf(levelPath, bytes);
    return LevelSpawnPoints(file);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

TCameraPose SpawnCameraPose(const TSpawnPoint& spawn) {
  const TViewPose pose = SpawnViewPose(spawn);
  return {pose.Eye.X, pose.Eye.Y, pose.Eye.Z, pose.Yaw, pose.Pitch};
}

std::optional<std::string> ChooseStartPose(TCommandLine& options) {
  const bool posed = options.Mode == TRunMode::Viewer || options.Mode == TRunMode::Screenshot ||
                     options.Mode == TRunMode::WalkPath ||
                     (options.Mode == TRunMode::Benchmark && (options.Spawn || !options.Goto.empty()));
  if (options.Camera || !posed) return std::nullopt;
  if (!options.Goto.empty()) {
    const TGotoPose found = GotoCameraPose(options.LevelPath, options.Goto, options.LevelBytes);
    if (!found.Why.empty()) return options.LevelPath + ": --goto " + options.Goto + ": " + found.Why;
    // found.Unreadable is left to the run's own load, which names the file's problem as it does
    // without --goto (and gives the same exit code).
    options.Camera = found.Pose;
    if (options.Camera) return std::nullopt;
  }
  const std::vector<TSpawnPoint> spawns = SpawnPointsOf(options.LevelPath, options.LevelBytes);
  if (options.Spawn) {
    if (static_cast<std::size_t>(*options.Spawn) > spawns.size())
      return options.LevelPath + ": --spawn " + std::to_string(*options.Spawn) + ": the level has " +
             std::to_string(spawns.size()) + " spawn points";
    options.Camera = SpawnCameraPose(spawns[static_cast<std::size_t>(*options.Spawn - 1)]);
    options.StartSpawn = *options.Spawn;
  } else if (!spawns.empty()) {
    options.Camera = SpawnCameraPose(spawns.front());
    options.StartSpawn = 1;
  }
  return std::nullopt;
}

}  // namespace app
