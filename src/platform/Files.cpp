#include "platform/Files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/Budget.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

std::string WithSlashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// Finds the entry of `dir` named `name`, exactly or else ignoring case.
std::optional<std::string> FindEntry(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  if (fs::exists(dir / name, ec)) return name;
  fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec), end;
  if (ec) return std::nullopt;
  std::optional<std::string> found;
  for (; it != end; it.increment(ec)) {
    if (ec) break;
    const std::string entry = it->path().filename().string();
    // Sorted choice, so that two names differing only in case always resolve the same way.
    if (EqualIgnoringCase(entry, name) && (!found || entry < *found)) found = entry;
  }
  return found;
}

const TFileSource* CurrentSource = nullptr;

}  // namespace

TScopedFileSource::TScopedFileSource(const TFileSource& source) : Previous(CurrentSource) {
  CurrentSource = &source;
}

TScopedFileSource::~TScopedFileSource() { CurrentSource = Previous; }

std::string ResolvePath(const std::string& path) {
  const std::string slashed = WithSlashes(path);
  std::error_code ec;
  if (slashed.empty() || fs::exists(slashed, ec)) return slashed;

  fs::path result;
  const fs::path input(slashed);
  for (const fs::path& part : input) {
    const std::string name = part.string();
    if (name.empty()) continue;
    if (part == input.root_path() || name == "/" || name == "." || name == "..") {
      result /= part;
      continue;
    }
    const std::optional<std::string> entry = FindEntry(result, name);
    if (!entry) return slashed;
    result /= *entry;
  }
  return result.string();
}

bool FileExists(const std::string& path) {
  if (CurrentSource) return CurrentSource->Exists(path);
  std::error_code ec;
  const fs::path resolved = ResolvePath(path);
  return fs::exists(resolved, ec) && !fs::is_directory(resolved, ec);
}

bool DirectoryExists(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(ResolvePath(path), ec);
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
  if (CurrentSource) return CurrentSource->Read(path);
  const std::string resolved = ResolvePath(path);
  std::error_code ec;
  if (!fs::is_regular_file(resolved, ec)) return std::nullopt;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(resolved.c_str(), "rb"),
                                                       std::fclose);
  if (!file) return std::nullopt;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return std::nullopt;
  const long size = std::ftell(file.get());
  if (size < 0 || static_cast<std::uint64_t>(size) > kMaxFileBytes ||
      std::fseek(file.get(), 0, SEEK_SET) != 0)
    return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
    return std::nullopt;
  return bytes;
}

}  // namespace platform
