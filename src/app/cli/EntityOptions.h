#pragma once
// The options of the level's things: --entities with --class, --brush-models, --goto, and the
// pose --goto starts at.
#include <optional>
#include <string>

#include "app/cli/CommandLine.h"
#include "app/runs/LevelFile.h"

namespace app {

// What the command line gave for them, before any check.
struct TEntityOptionsGiven {
  bool ClassGiven = false;
  std::string Class;
  bool BrushModels = false;
  bool GotoGiven = false;
  std::string Goto;
};

// Checks them against the run chosen and applies them; the one-line usage message when they do not
// fit (empty when they do). --class applies to --entities; --goto needs a LEVEL, does not combine
// with --camera or --spawn, and applies to the viewer, --screenshot and --benchmark.
std::string ApplyEntityOptions(const TEntityOptionsGiven& given, TCommandLine& options);

// What --goto ENTITY found in the level: the pose kLookBackDistance units back from the entity,
// looking at it (level/Things.h); or, when no entity matches, the reason in Why; or, when the level
// cannot be read or parsed, the reader's reason in Unreadable (the run that loads the level reports
// the file in its own words, so the caller leaves it unsaid).
struct TGotoPose {
  std::optional<TCameraPose> Pose;
  std::string Why;
  std::string Unreadable;
};
// `bytes`: the level as the run read it (app/runs/LevelFile.h); none: read here.
TGotoPose GotoCameraPose(const std::string& levelPath, const std::string& target, const TLevelBytes& bytes = nullptr);

}  // namespace app
