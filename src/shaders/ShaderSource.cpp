// Scripts from a source: the base folder's loose scripts/*.shader by default.
#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/Files.h"
#include "shaders/Shaders.h"

namespace shaders {
namespace {

// The largest script read: the game's largest is under 100 kB, and a bigger file is taken for a
// mistake rather than read into memory.
constexpr std::size_t kLargestScript = 16u << 20;

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

TShaderSource BaseFolderSource() {
  TShaderSource source;
  source.ScriptNames = [] {
    std::vector<std::string> names;
    if (!platform::DirectoryExists("scripts")) return names;
    std::error_code ec;
    const std::string folder = platform::ResolvePath("scripts");
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (Lower(name).ends_with(".shader") && it->is_regular_file(ec)) names.push_back("scripts/" + name);
    }
    return names;
  };
  source.Read = [](const std::string& name) { return platform::ReadWholeFile(name); };
  source.ImageExists = [](const std::string& name) { return platform::FileExists(name); };
  return source;
}

TShaderTable LoadShaderTable(const TShaderSource& source) {
  TShaderTable table;
  if (!source.ScriptNames || !source.Read) return table;
  std::vector<std::string> names = source.ScriptNames();
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
  if (source.ReadAhead) source.ReadAhead(names);
  for (const std::string& name : names) {
    const std::optional<std::vector<std::uint8_t>> bytes = source.Read(name);
    if (!bytes) {
      table.Problems.push_back({name, 0, "cannot be read"});
    } else if (bytes->size() > kLargestScript) {
      table.Problems.push_back({name, 0, "larger than 16 MiB, not read"});
    } else {
      ReadShaderScript(name, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
                       table);
    }
  }
  return table;
}

}  // namespace shaders
