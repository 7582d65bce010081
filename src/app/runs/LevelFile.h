#pragma once
// How the command-line modes tell a person that a level file was refused; the reader itself is
// level/LevelFile.h.
#include <optional>
#include <string>

#include "level/LevelFile.h"

namespace app {

// Reads and checks the level for the modes without the interactive viewer. A refusal prints one
// line naming the file and the problem on standard error and gives nothing; a header other than
// Quake 3's prints a warning and goes on, as the loader reads such files all the same.
std::optional<TLevelFile> OpenLevelFile(const std::string& path);

}  // namespace app
