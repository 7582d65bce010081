#pragma once
// Where a run that reads game data starts: --camera as given, else --goto's framing of its entity,
// else the spawn point --spawn names, else the level's first spawn point, else the design's fixed
// pose. Only the runs that show a view take one; the benchmark flies its own path unless --spawn
// or --goto holds it at one point.
#include <optional>
#include <string>

#include "app/cli/CommandLine.h"
#include "level/SpawnPoints.h"

namespace app {

// The camera pose at a spawn point: eye height over its origin, looking along its angle (degrees
// from +X towards +Y), level pitch. The camera's yaw turns from +Y towards +X, so it is 90 - angle.
TCameraPose SpawnCameraPose(const TSpawnPoint& spawn);

// Sets options.Camera (and StartSpawn for a spawn point) as above; the message for a --goto that
// finds nothing or a --spawn past the level's spawn points, nothing otherwise.
std::optional<std::string> ChooseStartPose(TCommandLine& options);

}  // namespace app
