#pragma once
// The level reader as the command-line modes use it: the reader itself lives with the level
// (level/LevelFile.h); what is left here is how a refusal is told to a person.
#include <optional>
#include <string>

#include "level/LevelFile.h"

namespace app {

using ::DuplicateSpawnPoints;
using ::ELevelFile;
using ::FindSpawnPoints;
using ::IsTeamSpawn;
using ::ParseEntities;
using ::PrintableID;
using ::TEntity;
using ::TLevelFile;
using ::TSpawnPoint;

// Reads and checks the level for the modes without the interactive viewer. A refusal prints one
// line naming the file and the problem on standard error and gives nothing; a header other than
// Quake 3's prints a warning and goes on, as the loader reads such files all the same.
std::optional<TLevelFile> OpenLevelFile(const std::string& path);

}  // namespace app
