#pragma once
// The options of the level's things: --entities with --class, --brush-models, --goto, and the
// pose --goto starts at.
#include <optional>
#include <string>

#include "app/cli/CommandLine.h"

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

// The pose of --goto ENTITY in the level: the one that frames it (PoseLookingAt, level/Things.h),
// looking down at it. Nothing with the reason in `why` when no entity matches; nothing with `why`
// empty when the level cannot be read (the run that loads it says why).
std::optional<TCameraPose> GotoCameraPose(const std::string& levelPath, const std::string& target, std::string& why);

}  // namespace app
