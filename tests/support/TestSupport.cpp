#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testsupport {

TMessageCapture::TMessageCapture() {
  Previous = platform::SetMessageTarget(
      [this](const std::string& text, const std::string& caption, platform::TMessageIcon icon) {
        Shown.push_back({text, caption, icon});
      });
}

TMessageCapture::~TMessageCapture() { platform::SetMessageTarget(std::move(Previous)); }

TTempDir::TTempDir() {
  std::string pattern = (fs::temp_directory_path() / "bspwalk-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  Dir = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  fs::remove_all(Dir, ec);
}

TScopedWorkingDir::TScopedWorkingDir(const std::string& dir) : Previous(fs::current_path()) {
  fs::current_path(dir);
}

TScopedWorkingDir::~TScopedWorkingDir() {
  std::error_code ec;
  fs::current_path(Previous, ec);
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  WriteFile(path, bytes);
}

void Write(const std::string& path, std::string_view text) {
  Write(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::string Quote(const std::string& s) {
  std::string quoted = "'";
  for (char c : s) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string OpenArenaArchive(const std::string& pk3Name) {
  for (const char* sub : {"", "../missionpack/"}) {
    const fs::path path = fs::path(BSPWALK_OPENARENA_DIR) / (std::string(sub) + pk3Name);
    if (fs::exists(path)) return path.lexically_normal().string();
  }
  return {};
}

namespace {

// Holds an exclusive lock on a file while it lives, so that test programs running side by side
// extract each archive member set once.
class TFileLock {
 public:
  explicit TFileLock(const std::string& path) : Fd(open(path.c_str(), O_CREAT | O_RDWR, 0644)) {
    if (Fd >= 0) flock(Fd, LOCK_EX);
  }
  ~TFileLock() {
    if (Fd >= 0) {
      flock(Fd, LOCK_UN);
      close(Fd);
    }
  }

 private:
  int Fd;
};

}  // namespace

std::string ExtractOpenArena(const std::string& pk3Name, const std::vector<std::string>& patterns) {
  const std::string archive = OpenArenaArchive(pk3Name);
  if (archive.empty())
    throw std::runtime_error("OpenArena archive " + pk3Name +
                             " not installed (scripts/install-deps installs it)");
  const fs::path root = fs::path(BSPWALK_TESTDATA_DIR) / "openarena";
  fs::create_directories(root / ".done");
  std::string key = pk3Name;
  for (const std::string& p : patterns) key += "|" + p;
  const std::string marker =
      (root / ".done" / std::to_string(std::hash<std::string>{}(key))).string();

  TFileLock lock((root / ".lock").string());
  if (fs::exists(marker)) return root.string();
  std::string command = "unzip -qq -o " + Quote(archive);
  for (const std::string& p : patterns) command += " " + Quote(p);
  command += " -d " + Quote(root.string()) + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  // unzip answers 11 when a pattern matches nothing; that is not an error for a lookup.
  if (status != 0 && WEXITSTATUS(status) != 11)
    throw std::runtime_error("extraction failed: " + command);
  std::ofstream(marker) << key;
  return root.string();
}

void InstallOpenArenaImages(const std::vector<std::string>& textureNames, const std::string& folder) {
  std::vector<std::string> patterns;
  for (const std::string& name : textureNames) {
    patterns.push_back(name + ".jpg");
    patterns.push_back(name + ".tga");
  }
  for (const char* pak : {"pak0.pk3", "pak4-textures.pk3"}) {
    const fs::path images = ExtractOpenArena(pak, patterns);
    for (const std::string& pattern : patterns) {
      if (!fs::exists(images / pattern)) continue;
      const fs::path target = fs::path(folder) / pattern;
      fs::create_directories(target.parent_path());
      fs::copy_file(images / pattern, target, fs::copy_options::overwrite_existing);
    }
  }
}

std::vector<std::string> ListOpenArena(const std::string& pk3Name, const std::string& suffix) {
  const std::string archive = OpenArenaArchive(pk3Name);
  std::vector<std::string> names;
  if (archive.empty()) return names;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("unzip -Z1 " + Quote(archive)).c_str(), "r"),
                                              pclose);
  if (!pipe) return names;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe.get())) {
    std::string name(line);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    if (name.size() >= suffix.size() &&
        std::equal(suffix.rbegin(), suffix.rend(), name.rbegin(),
                   [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testsupport
