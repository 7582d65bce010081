#pragma once
// Game data as the game itself finds it: folders of loose files and .pk3 archives (zip files)
// stacked into one search path, names looked up ignoring letter case with '\' or '/' between
// folders. Reading never leaves the search path and never writes anything.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Budget.h"

namespace data {

// The most bytes one file may hold when read through the search path. The largest level of the
// OpenArena packages is about 11 MB and no image or script comes near it; an entry that declares
// more is refused before anything is allocated, and inflating stops here whatever was declared.
inline constexpr std::uint64_t kMaxEntryBytes = platform::kMaxFileBytes;

// Where a file of the search path comes from.
struct TEntryInfo {
  std::string Name;    // as stored: the archive's entry name, or the path inside the folder
  std::string Source;  // the archive file or the folder that holds it
  bool Archived = false;
  std::uint64_t Size = 0;  // declared size (archive) or size on disk (folder)
};

// One-line warnings: skipped archives and entries, reads that failed. Each line names the archive
// (and entry) it is about, without a program prefix.
using TWarningSink = std::function<void(const std::string&)>;

class TSearchPath {
 public:
  // Layers from lowest to highest: each of `dataPaths` in order (a folder contributes every *.pk3
  // inside it, not recursive, in ascending name order, then its own loose files above them; a
  // path may also be one .pk3 file), then the loose files of `baseDir` on top. An empty baseDir
  // adds no base layer. Paths that are neither a folder nor a file are reported and skipped; the
  // caller checks them first when that is a usage error. The archive index is built here, once.
  // In the folders of `dataPaths` (not the base folder) a symbolic link that leads outside the
  // folder is not followed (one warning each). With a budget, every entry's declared size is
  // taken from its bytes inflated and every loose file's size from its bytes read from disk
  // before a byte is read; the budget lives as long as the search path.
  TSearchPath(const std::vector<std::string>& dataPaths, const std::string& baseDir,
              TWarningSink warn, platform::TBudget* budget = nullptr);
  ~TSearchPath();
  TSearchPath(const TSearchPath&) = delete;
  TSearchPath& operator=(const TSearchPath&) = delete;

  // True when the name finds a file (not a folder) in any layer.
  bool Exists(const std::string& name) const;

  // Where the name is found: the highest layer that has it.
  std::optional<TEntryInfo> Find(const std::string& name) const;

  // The whole file, or nothing (after one warning when it exists but cannot be read: larger than
  // kMaxEntryBytes, bad CRC, a size other than declared, encrypted, unsupported method). Raises
  // platform::EBudgetSpent, without a warning of its own, when the budget cannot hold it.
  std::optional<std::vector<std::uint8_t>> Read(const std::string& name) const;

  // Starts reading the files of `names` that the search path holds, in the order given, on a
  // thread of its own, so that inflating each overlaps with what the caller does with the one
  // before. Read hands each of them out once without reading it again, with its warnings at that
  // moment. A later call drops what an earlier one read and nobody took; an empty list just
  // drops. Not taken, they hold at most kMaxEntryBytes besides the one the caller waits for.
  void ReadAhead(const std::vector<std::string>& names) const;

  // Every file directly inside `folder` (e.g. "maps", any case, '\' or '/') whose name ends with
  // `extension` (e.g. ".bsp", any case), each from the highest layer that has it, sorted by the
  // lower-cased name.
  std::vector<TEntryInfo> List(const std::string& folder, const std::string& extension) const;

  // The folders and archives searched, highest first, for "looked in ..." messages.
  std::vector<std::string> Places() const;

  // Number of archive entries in the index.
  std::size_t IndexedEntries() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};

// The index key of a name: ASCII letters lower-cased, '\' turned into '/', repeated separators
// made one. Nothing when the name cannot be a file of the search path: empty, absolute ("/x",
// "\x", "c:x"), ending in a separator, with a "." or ".." component, a control character or
// invalid UTF-8.
std::optional<std::string> IndexKey(const std::string& name);

}  // namespace data
