#pragma once
// Runs that read the game's data: LEVEL named on the command line (a file, or a name found in the
// search path), --data folders and archives, BSPWALK_DATA, --list, the start at a spawn point.
// A run without any of these never comes here and reads the working directory as it always has.
#include <iosfwd>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"
#include "data/SearchPath.h"
#include "level/LevelFile.h"
#include "level/Q3BSP.h"
#include "level/SpawnPoints.h"
#include "level/Things.h"

namespace app {

// The height of the eye over a spawn point's origin: a standing player's view, in level units.
inline constexpr float kEyeHeight = kSpawnEyeHeight;

// Where a run's LEVEL comes from: its path on disk, or its bytes read once from the game data.
struct TRunLevel {
  std::string Argument;  // LEVEL as given: the name the loaders ask for
  std::string DiskPath;  // set when LEVEL is an existing file
  std::optional<std::vector<std::uint8_t>> Archived;
};

// The source everything of such a run reads through: LEVEL as above (read from its path, it is
// there while its file is, so that --watch tells a deleted one), absolute names from the disk as
// they are, every other name from the search path. Both must outlive the source.
platform::TFileSource RunFileSource(const TRunLevel& level, const data::TSearchPath& path);

// Adds the folders of BSPWALK_DATA (`value`, colon-separated, empty parts ignored; may be null)
// to the command line when it names no --data. False after a one-line usage message when one of
// them is neither a folder nor a file.
bool AddEnvironmentData(TCommandLine& options, const char* value, std::ostream& err);

// True when the run reads game data: LEVEL, --data (or BSPWALK_DATA) or --list.
bool UsesGameData(const TCommandLine& options);

// The whole run of a command line for which UsesGameData holds; returns the exit code. The options
// are the run's own copy: its load options point into the search path, which ends with the run.
int RunWithGameData(TCommandLine options);

}  // namespace app
