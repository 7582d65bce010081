#pragma once
// File access as the program was designed for it: paths relative to the working directory,
// '\' as a separator and letter case ignored, as on the file system the level data came from.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The path as it exists on disk: separators turned into '/', and when the path does not exist as
// written, each component matched against the directory's entries without regard to letter case
// (an exact match wins). A path that matches nothing comes back with '/' separators only.
std::string ResolvePath(const std::string& path);

// True for an existing file that is not a directory (after ResolvePath).
bool FileExists(const std::string& path);

// True for an existing directory (after ResolvePath).
bool DirectoryExists(const std::string& path);

// The whole file in one read, or nothing when it cannot be opened or read (after ResolvePath),
// is no regular file (a FIFO would wait for a writer) or holds more than kMaxFileBytes.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

// Another place files come from (a game-data search path): while a TScopedFileSource lives,
// FileExists and ReadWholeFile ask it instead of the file system. Without one they behave as above.
struct TFileSource {
  std::function<bool(const std::string&)> Exists;
  std::function<std::optional<std::vector<std::uint8_t>>(const std::string&)> Read;
  // Optional: the names about to be read, in order, so that a source that must inflate them can
  // start early. An empty list drops what was read ahead and not asked for.
  std::function<void(const std::vector<std::string>&)> ReadAhead;
};

class TScopedFileSource {
 public:
  explicit TScopedFileSource(const TFileSource& source);
  ~TScopedFileSource();
  TScopedFileSource(const TScopedFileSource&) = delete;
  TScopedFileSource& operator=(const TScopedFileSource&) = delete;

 private:
  const TFileSource* Previous;
};

}  // namespace platform
