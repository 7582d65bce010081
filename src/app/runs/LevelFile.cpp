#include "app/runs/LevelFile.h"

#include <iostream>

#include "platform/Files.h"

namespace app {

TLevelBytes ReadLevelBytes(const std::string& path) {
  if (!platform::FileExists(path)) return nullptr;
  std::optional<std::vector<std::uint8_t>> bytes = platform::ReadWholeFile(path);
  if (!bytes) return nullptr;
  return std::make_shared<const std::vector<std::uint8_t>>(std::move(*bytes));
}

TLevelFile LevelFileOf(const std::string& path, const TLevelBytes& bytes) {
  return bytes ? TLevelFile(path, *bytes) : TLevelFile(path);
}

std::optional<TLevelFile> OpenLevelFile(const std::string& path, const TLevelBytes& bytes) {
  try {
    TLevelFile file = LevelFileOf(path, bytes);
    if (!file.IsQuake3Header())
      std::cerr << "bspwalk: warning: " << path << ": header '" << PrintableID(file.Header())
                << "' version " << file.Header().Version
                << " is not Quake 3's 'IBSP' version 46; reading it all the same\n";
    return file;
  } catch (const ELevelFile& e) {
    std::cerr << "bspwalk: " << e.what() << "\n";
  }
  return std::nullopt;
}

}  // namespace app
