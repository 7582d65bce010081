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
constexpr std::uint64_t kLargestScript = platform::kMaxScriptBytes;
constexpr const char* kTooLarge = "larger than 16 MiB, not read";

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
  source.Size = [](const std::string& name) -> std::optional<std::uint64_t> {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(platform::ResolvePath(name), ec);
    if (ec) return std::nullopt;
    return size;
  };
  source.ImageExists = [](const std::string& name) { return platform::FileExists(name); };
  return source;
}

TShaderTable LoadShaderTable(const TShaderSource& source, platform::TBudget* budget) {
  TShaderTable table;
  if (!source.ScriptNames || !source.Read) return table;
  std::vector<std::string> names = source.ScriptNames();
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
  // A script that declares more than the limit is refused unread, and not read ahead either.
  std::vector<std::uint8_t> tooLarge(names.size(), 0);
  std::vector<std::string> toRead;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::optional<std::uint64_t> size = source.Size ? source.Size(names[i]) : std::nullopt;
    tooLarge[i] = size && *size > kLargestScript;
    if (!tooLarge[i]) toRead.push_back(names[i]);
  }
  if (source.ReadAhead) source.ReadAhead(toRead);
  if (budget) {
    table.MostShaders = static_cast<std::size_t>(budget->Left(platform::TBudgetKind::Shaders));
    table.MostBytes = static_cast<std::size_t>(budget->Left(platform::TBudgetKind::ShaderBytes));
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    if (table.Full) {
      budget->LeftOut(table.FullOfBytes ? platform::TBudgetKind::ShaderBytes : platform::TBudgetKind::Shaders, name);
      continue;
    }
    std::optional<std::vector<std::uint8_t>> bytes;
    try {
      if (!tooLarge[i]) bytes = source.Read(name);
    } catch (const platform::EBudgetSpent&) {
      continue;  // the budget's warning names it
    }
    if (tooLarge[i] || (bytes && bytes->size() > kLargestScript)) {
      table.Problems.push_back({name, 0, kTooLarge});
    } else if (!bytes) {
      table.Problems.push_back({name, 0, "cannot be read"});
    } else {
      ReadShaderScript(name, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
                       table);
      if (table.Full)
        budget->LeftOut(table.FullOfBytes ? platform::TBudgetKind::ShaderBytes : platform::TBudgetKind::Shaders,
                        "the rest of " + name);
    }
  }
  if (budget) {
    budget->Take(platform::TBudgetKind::Shaders, table.Shaders.size(), "");
    budget->Take(platform::TBudgetKind::ShaderBytes, table.Bytes, "");
  }
  return table;
}

}  // namespace shaders
