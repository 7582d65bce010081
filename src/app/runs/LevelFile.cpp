#include "app/runs/LevelFile.h"

#include <iostream>

namespace app {

std::optional<TLevelFile> OpenLevelFile(const std::string& path) {
  try {
    TLevelFile file(path);
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
