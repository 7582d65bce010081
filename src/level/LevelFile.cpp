#include "level/LevelFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "level/BSPFile.h"
#include "platform/ByteReader.h"
#include "platform/Files.h"

namespace {

// The lumps that the loader and these modes read; the others may hold anything.
constexpr int kReadLumps[] = {kEntities, kTextures, kPlanes, kNodes, kLeaves, kLeafFaces,
                              kVertices, kMeshVertices, kFaces, kLightmaps, kVisData};

std::int32_t Int32At(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::int32_t value = 0;
  if (bytes.size() >= at + 4) std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

bool StartsWith(std::span<const std::uint8_t> bytes, const char* magic, std::size_t length) {
  return bytes.size() >= length && std::memcmp(bytes.data(), magic, length) == 0;
}

}  // namespace

TLevelFile::TLevelFile(const std::string& path) : FilePath(path) {
  if (!platform::FileExists(path)) throw ELevelFile(path + ": no such level file");
  std::optional<std::vector<std::uint8_t>> bytes = platform::ReadWholeFile(path);
  if (!bytes) throw ELevelFile(path + ": cannot read the file");
  Bytes = std::move(*bytes);
  CheckDirectory();
}

TLevelFile::TLevelFile(const std::string& path, std::vector<std::uint8_t> bytes)
    : FilePath(path), Bytes(std::move(bytes)) {
  CheckDirectory();
}

void TLevelFile::CheckDirectory() {
  const std::string& path = FilePath;
  constexpr std::size_t kDirectoryEnd = sizeof(TBSPHeader) + kLumpCount * sizeof(TBSPLump);
  if (Bytes.size() < kDirectoryEnd)
    throw ELevelFile(path + ": not a BSP file (" + std::to_string(Bytes.size()) +
                     " bytes, shorter than the header and lump directory)");
  platform::TByteReader reader(Bytes);
  FileHeader = reader.Read<TBSPHeader>();
  Lumps.resize(kLumpCount);
  reader.Read(Lumps.data(), Lumps.size() * sizeof(TBSPLump));
  for (const int index : kReadLumps) {
    const TBSPLump& lump = Lumps[static_cast<std::size_t>(index)];
    const std::int64_t end = std::int64_t{lump.Offset} + lump.Length;
    if (lump.Length < 0 || (lump.Length > 0 && (lump.Offset < 0 ||
                                                 end > static_cast<std::int64_t>(Bytes.size())))) {
      const std::optional<std::string> cut = CutShortText(Bytes);
      throw ELevelFile(path + ": not a BSP file (lump " + std::to_string(index) + " at " +
                       std::to_string(lump.Offset) + ", " + std::to_string(lump.Length) +
                       " bytes, lies outside the file of " + std::to_string(Bytes.size()) +
                       " bytes)" + (cut ? "; " + *cut : ""));
    }
  }
}

bool TLevelFile::IsQuake3Header() const {
  if (std::memcmp(FileHeader.ID, "IBSP", 4) != 0) return false;
  return FileHeader.Version == 46 || (FileHeader.Version == 47 && RecordSizesMatch());
}

bool TLevelFile::RecordSizesMatch() const {
  // Quake 3's record sizes; the entities (text) and the visibility data (rows) have none.
  constexpr std::int32_t kRecordSizes[kLumpCount] = {0, 72, 16, 36, 48, 4, 4, 40, 12, 8, 44, 4, 72, 104, 49152, 8, 0};
  for (int index = 0; index < kLumpCount; ++index) {
    const std::int32_t length = Lumps[static_cast<std::size_t>(index)].Length;
    if (kRecordSizes[index] > 0 && (length < 0 || length % kRecordSizes[index] != 0)) return false;
  }
  return true;
}

std::string TLevelFile::EntitiesText() const {
  const TBSPLump& lump = Lump(kEntities);
  if (lump.Length <= 0) return {};
  const char* first = reinterpret_cast<const char*>(Bytes.data()) + lump.Offset;
  const std::size_t length = strnlen(first, static_cast<std::size_t>(lump.Length));
  return std::string(first, length);
}

std::vector<std::string> TLevelFile::TextureNames() const {
  const TBSPLump& lump = Lump(kTextures);
  const std::size_t count = lump.Length > 0 ? static_cast<std::size_t>(lump.Length) / 72 : 0;
  std::vector<std::string> names;
  platform::TByteReader reader(Bytes);
  reader.Seek(lump.Offset);
  for (std::size_t t = 0; t < count; ++t) {
    const TBSPTexture record = reader.Read<TBSPTexture>();
    names.emplace_back(record.Name, strnlen(record.Name, sizeof record.Name));
  }
  return names;
}

std::optional<TLevelFile::TBounds> TLevelFile::WorldBounds() const {
  // A model record: mins and maxs as three floats each, then face and brush ranges (40 bytes).
  constexpr std::int64_t kModelSize = 40;
  const TBSPLump& lump = Lump(kModels);
  if (lump.Offset < 0 || lump.Length < kModelSize ||
      std::int64_t{lump.Offset} + kModelSize > static_cast<std::int64_t>(Bytes.size()))
    return std::nullopt;
  platform::TByteReader reader(Bytes);
  reader.Seek(lump.Offset);
  TBounds bounds;
  bounds.Mins = reader.Read<TVector>();
  bounds.Maxs = reader.Read<TVector>();
  return bounds;
}

std::string PrintableID(const TBSPHeader& header) {
  std::string id;
  for (const char c : header.ID) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f) {
      id += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      id += escaped;
    }
  }
  return id;
}

std::optional<std::string> ForeignFileKind(std::span<const std::uint8_t> bytes) {
  if (StartsWith(bytes, "PK\x03\x04", 4) || StartsWith(bytes, "PK\x05\x06", 4))
    return "an archive: use --data";
  if (StartsWith(bytes, "\x89PNG", 4)) return "a PNG picture";
  if (StartsWith(bytes, "\xff\xd8\xff", 3)) return "a JPEG picture";
  if (StartsWith(bytes, "BM", 2) && bytes.size() >= 26 && Int32At(bytes, 14) >= 12 &&
      Int32At(bytes, 14) <= 124)
    return "a BMP picture";
  const std::int32_t version = Int32At(bytes, 4);
  if (StartsWith(bytes, "IBSP", 4) && version == 38)
    return "a Quake 2 level (IBSP version 38)";
  if (StartsWith(bytes, "VBSP", 4))
    return "a Source level (VBSP version " + std::to_string(version) + ")";
  if (bytes.size() >= 4 && Int32At(bytes, 0) == 29) return "a Quake level (BSP version 29)";
  if (bytes.size() >= 4 && Int32At(bytes, 0) == 30) return "a Half-Life level (BSP version 30)";
  return std::nullopt;
}
