#pragma once
// How the command-line modes tell a person that a level file was refused; the reader itself is
// level/LevelFile.h.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "level/LevelFile.h"

namespace app {

// Reads and checks the level for the modes without the interactive viewer. A refusal prints one
// line naming the file and the problem on standard error and gives nothing; a header other than
// Quake 3's prints a warning and goes on, as the loader reads such files all the same.
// `bytes`: the file as the run read it already (ReadLevelBytes), checked here without reading it
// again; none: read here.
using TLevelBytes = std::shared_ptr<const std::vector<std::uint8_t>>;
std::optional<TLevelFile> OpenLevelFile(const std::string& path, const TLevelBytes& bytes = nullptr);

// The level file's bytes, read once for every step of a run that reads the level; none, quietly,
// when it cannot be read (the step that needs it then reads it itself and says why).
TLevelBytes ReadLevelBytes(const std::string& path);

// The level file checked (raising ELevelFile as TLevelFile does) from `bytes` when given, else read.
TLevelFile LevelFileOf(const std::string& path, const TLevelBytes& bytes);

}  // namespace app
