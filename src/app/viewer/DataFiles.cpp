#include "app/viewer/DataFiles.h"

#include <filesystem>
#include <system_error>

#include "platform/Files.h"

namespace app {

std::string InstalledDataFolder() {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || program.empty()) return {};
  return (program.parent_path().parent_path() / "share" / "bspwalk").string();
}

std::string FindDataFile(const std::string& name) {
  if (platform::FileExists(name)) return name;
  const std::string folder = InstalledDataFolder();
  if (folder.empty()) return name;
  const std::string installed = folder + "/" + name;
  std::error_code ec;
  return std::filesystem::is_regular_file(installed, ec) ? installed : name;
}

}  // namespace app
