#pragma once
// The search path's insides, shared by its three parts: the index of folders and archives
// (SearchPath.cpp), the reader of loose files and archive entries (ArchiveReader.cpp) and the
// read-ahead thread (ReadAhead.cpp). Internal to data/.
#include <libdeflate.h>
#include <zip.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "data/SearchPath.h"

namespace data {

// A name for a message: printable ASCII as is, other bytes as \xNN.
std::string Printable(const std::string& name);

struct TZipCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct TZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

struct TInflaterFree {
  void operator()(libdeflate_decompressor* inflater) const {
    libdeflate_free_decompressor(inflater);
  }
};

struct TArchive {
  std::string Path;
  std::unique_ptr<zip_t, TZipCloser> Zip;
};

// A folder of loose files, looked up component by component without regard to letter case. Each
// directory is read once, when a name first needs it.
class TFolder {
 public:
  // `warn`: links that lead outside the folder are not followed, and told there once each; null
  // for a folder whose links are all followed (the base folder).
  TFolder(std::filesystem::path root, const TWarningSink* warn);
  const std::filesystem::path& RootPath() const { return Root; }

  // The file on disk for an index key, or nothing (also for a directory).
  std::optional<std::filesystem::path> FindFile(const std::string& key) const;

  // The files directly inside the folder key ("" for the root): lower-cased name and path on disk.
  std::vector<std::pair<std::string, std::filesystem::path>> FilesIn(
      const std::string& folderKey) const;

 private:
  struct TDirEntry {
    std::string Name;
    bool Directory = false;
  };
  using TListing = std::map<std::string, TDirEntry>;

  const TListing& ListingOf(const std::string& dirKey, const std::filesystem::path& dir) const;
  // False, after a warning, for a symbolic link whose target lies outside the folder.
  bool Followed(const std::filesystem::directory_entry& entry) const;

  std::filesystem::path Root;
  std::filesystem::path CanonicalRoot;  // empty: every link is followed
  const TWarningSink* Warn = nullptr;
  mutable std::unordered_map<std::string, TListing> Listings;
};

// A layer of the search path: one archive or one folder.
struct TLayer {
  int Archive = -1;  // index into Archives, or -1
  int Folder = -1;   // index into Folders, or -1
};

struct TIndexed {
  int Layer = 0;
  int Archive = 0;
  zip_uint64_t Entry = 0;
  std::uint64_t Size = 0;
  std::string Name;
};

struct TSearchPath::TImpl {
  TWarningSink Warn;
  platform::TBudget* Budget = nullptr;
  std::vector<TArchive> Archives;
  std::vector<TFolder> Folders;
  std::vector<TLayer> Layers;  // lowest first
  std::unordered_map<std::string, TIndexed> Index;
  mutable std::unique_ptr<libdeflate_decompressor, TInflaterFree> Inflater;

  // ---- The index (SearchPath.cpp). ----
  void AddArchive(const std::filesystem::path& path);
  void AddFolder(const std::filesystem::path& path);
  void AddLooseFolder(const std::filesystem::path& path, bool confined);

  struct THit {
    const TIndexed* Archived = nullptr;
    int Folder = -1;
    std::filesystem::path File;
  };

  std::optional<THit> Lookup(const std::string& name) const;

  // ---- Reading one file (ArchiveReader.cpp). ----
  using TRead = std::optional<std::vector<std::uint8_t>>;  // nothing: cannot be read (warned)
  // What a read gives: the bytes, nothing (warned), or nothing because the budget is spent (not
  // warned: the budget's own warning names the file).
  struct TOutcome {
    TRead Bytes;
    bool OverBudget = false;
  };

  TOutcome ReadLoose(const std::filesystem::path& file, const TWarningSink& warn) const;
  // Stored and deflated entries, which are all the game's archives hold, are taken whole: the
  // compressed bytes in one read, inflated in one call into a buffer of the declared size and
  // checked against the declared CRC. This takes about half the time of zlib's streaming inflate
  // through libzip, and inflating is most of what loading from an archive costs over loose
  // files. Nothing when the entry is not one of those (the caller streams it through libzip).
  std::optional<TRead> ReadWhole(const TArchive& archive, const TIndexed& entry,
                                 const zip_stat_t& stat, const std::string& where,
                                 const TWarningSink& warn) const;
  libdeflate_decompressor* Decompressor() const;
  TOutcome ReadArchived(const TIndexed& entry, const TWarningSink& warn) const;
  TOutcome ReadHit(const THit& hit, const TWarningSink& warn) const;

  // ---- The read-ahead (ReadAhead.cpp). ----
  // Files read on a thread of its own ahead of the caller's asking. The thread only reads: names
  // are looked up on the caller's side, and warnings wait with their file, so that they come in
  // the order the caller reads.
  struct TReadAhead {
    struct TSlot {
      std::string Name;
      THit Hit;
      bool Ready = false;
      bool Taken = false;
      TOutcome Read;
      std::vector<std::string> Warnings;
    };
    std::mutex Lock;
    std::condition_variable_any Changed;
    std::vector<TSlot> Slots;  // in the order they are read
    std::unordered_map<std::string, std::size_t> SlotOf;  // index key to slot
    std::uint64_t Held = 0;     // bytes read and not yet taken
    int Waiting = 0;            // callers waiting for a slot
    std::jthread Worker;        // last: stopped and joined before the rest goes
  };

  // Files read ahead and not taken are held up to this much; past it the thread waits, unless
  // the caller waits for a file that is still to come.
  static constexpr std::uint64_t kReadAheadBytes = kMaxEntryBytes;

  void StartReadAhead(const std::vector<std::string>& names) const;
  // The file of `key` when it was read ahead and not taken yet: waits for it if need be.
  std::optional<TOutcome> TakeReadAhead(const std::string& key) const;

  // libzip's handles and the inflater, shared by the caller and the read-ahead thread.
  mutable std::mutex ArchiveLock;
  mutable std::unique_ptr<TReadAhead> Ahead;  // last: its thread reads through everything above
};

}  // namespace data
