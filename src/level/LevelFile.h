#pragma once
// A level file read into memory: the lump directory checked against the file's size before
// anything trusts it, what the file is when it is plainly no Quake 3 level, the entities text and
// the texture names (which the level model does not keep) and the world's bounds; the spawn points
// the entities name are level/SpawnPoints.h's. Pure: bytes in, checked records out, no GL and no
// messages.
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "genom/genom.h"
#include "level/Entities.h"
#include "level/Q3BSP.h"


// A file that cannot be used as a level; the text names the file and the problem.
class ELevelFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TLevelFile {
 public:
  // Reads the file (path as given, '\' and letter case resolved). Raises ELevelFile when it
  // cannot be read, is shorter than header and directory, or a lump that the loader reads lies
  // outside the file.
  explicit TLevelFile(const std::string& path);
  // The same checks on bytes already in memory; `path` only names them in messages.
  TLevelFile(const std::string& path, std::vector<std::uint8_t> bytes);

  const std::string& Path() const { return FilePath; }
  std::size_t Size() const { return Bytes.size(); }
  std::span<const std::uint8_t> Data() const { return Bytes; }
  const TBSPHeader& Header() const { return FileHeader; }
  const TBSPLump& Lump(int index) const { return Lumps.at(static_cast<std::size_t>(index)); }

  // True for the letters IBSP and version 46, what Quake 3 writes, or version 47, which later
  // games write with the same lumps and records, when RecordSizesMatch. Others load all the same.
  bool IsQuake3Header() const;
  // Every lump of fixed-size records holds a whole number of Quake 3's records.
  bool RecordSizesMatch() const;

  // The entities lump as text, up to its first NUL.
  std::string EntitiesText() const;

  // Each texture record's base name: up to the first NUL, or all 64 bytes.
  std::vector<std::string> TextureNames() const;

  // The box of the first model (the world: every brush and face outside the moving parts), or
  // nothing when the models lump holds no whole record or lies outside the file.
  struct TBounds {
    TVector Mins, Maxs;
  };
  std::optional<TBounds> WorldBounds() const;

 private:
  std::string FilePath;
  std::vector<std::uint8_t> Bytes;
  TBSPHeader FileHeader{};
  std::vector<TBSPLump> Lumps;

  void CheckDirectory();
};

// The header's four ID bytes for a message: printable ASCII as is, anything else as \xNN.
std::string PrintableID(const TBSPHeader& header);

// What a file that is plainly not a Quake 3 level is ("an archive: use --data", "a PNG picture",
// "a Quake 2 level (IBSP version 38)", ...), from its first bytes; nothing when it may be one.
// Quake 3 headers of other versions are not named here: the loader reads them all the same.
std::optional<std::string> ForeignFileKind(std::span<const std::uint8_t> firstBytes);
