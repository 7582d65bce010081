#include "app/runs/LevelList.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "app/runs/Json.h"

namespace app {

int PrintList(const TRunOptions& options, const data::TSearchPath& path) {
  const std::vector<data::TEntryInfo> levels = path.List("maps", ".bsp");
  // The working folder's own levels are listed without game data; nothing at all is a mistake.
  if (levels.empty() && options.DataPaths.empty()) {
    std::cerr << "bspwalk: --list: no game data was given; name its folders with --data DIR or "
                 "BSPWALK_DATA (see bspwalk --help)\n";
    return 2;
  }
  // A folder that holds no levels is most often the parent of the game's data folder: say where
  // the search looked, so the right folder is one step away.
  if (levels.empty()) {
    std::error_code ec;
    std::string places = std::filesystem::current_path(ec).string();
    for (auto data = options.DataPaths.rbegin(); data != options.DataPaths.rend(); ++data) places += ", " + *data;
    std::cerr << "bspwalk: --list: no levels (maps/*.bsp) found in " << places
              << "; --data names the folder that holds maps/ or the .pk3 files\n";
    return 1;
  }
  std::string out;
  if (options.Json) {
    TJson list = TJson::array();
    for (const data::TEntryInfo& level : levels)
      list.push_back({{"Name", JsonText(level.Name)},
                      {"Size", level.Size},
                      {"Source", JsonText(level.Source)},
                      {"Archived", level.Archived}});
    out = JsonLine(list);
  } else {
    std::size_t width = 0;
    for (const data::TEntryInfo& level : levels) width = std::max(width, level.Name.size());
    for (const data::TEntryInfo& level : levels) {
      char size[32];
      std::snprintf(size, sizeof size, "%10llu", static_cast<unsigned long long>(level.Size));
      out += level.Name + std::string(width - level.Name.size() + 2, ' ') + size + " bytes  " +
             level.Source + (level.Archived ? "" : " (folder)") + "\n";
    }
  }
  std::cout << out << std::flush;
  return 0;
}

}  // namespace app
