#include "data/SearchPath.h"

#include <libdeflate.h>
#include <zip.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>
#include <unordered_map>

namespace fs = std::filesystem;

namespace data {
namespace {

// More warnings than this about one archive's entries end in one line with the rest's count: a
// hostile archive may hold tens of thousands of bad names.
constexpr int kWarningsPerArchive = 5;

// Bytes handed to zip_fread at a time; the buffer grows with what really comes out, so a declared
// size costs nothing until the data is there.
constexpr std::size_t kReadChunk = 256 * 1024;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ValidUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    int length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07u;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(length) > text.size()) return false;
    for (int k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += static_cast<std::size_t>(length);
  }
  return true;
}

std::string HumanSize(std::uint64_t bytes) { return std::to_string(bytes) + " bytes"; }

struct TZipCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct TZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

struct TInflaterFree {
  void operator()(libdeflate_decompressor* inflater) const { libdeflate_free_decompressor(inflater); }
};

struct TArchive {
  std::string Path;
  std::unique_ptr<zip_t, TZipCloser> Zip;
};

// A folder of loose files, looked up component by component without regard to letter case. Each
// directory is read once, when a name first needs it.
class TFolder {
 public:
  explicit TFolder(fs::path root) : Root(std::move(root)) {}
  const fs::path& RootPath() const { return Root; }

  // The file on disk for an index key, or nothing (also for a directory).
  std::optional<fs::path> FindFile(const std::string& key) const {
    fs::path at = Root;
    std::string dirKey;
    std::size_t start = 0;
    while (true) {
      const std::size_t slash = key.find('/', start);
      const std::string part = key.substr(start, slash == std::string::npos ? slash : slash - start);
      const TListing& listing = ListingOf(dirKey, at);
      const auto found = listing.find(part);
      if (found == listing.end()) return std::nullopt;
      at /= found->second.Name;
      if (slash == std::string::npos) {
        if (found->second.Directory) return std::nullopt;
        return at;
      }
      if (!found->second.Directory) return std::nullopt;
      dirKey += (dirKey.empty() ? "" : "/") + part;
      start = slash + 1;
    }
  }

  // The files directly inside the folder key ("" for the root): lower-cased name and path on disk.
  std::vector<std::pair<std::string, fs::path>> FilesIn(const std::string& folderKey) const {
    std::vector<std::pair<std::string, fs::path>> files;
    fs::path at = Root;
    std::string dirKey;
    if (!folderKey.empty()) {
      std::size_t start = 0;
      while (true) {
        const std::size_t slash = folderKey.find('/', start);
        const std::string part =
            folderKey.substr(start, slash == std::string::npos ? slash : slash - start);
        const TListing& listing = ListingOf(dirKey, at);
        const auto found = listing.find(part);
        if (found == listing.end() || !found->second.Directory) return files;
        at /= found->second.Name;
        dirKey += (dirKey.empty() ? "" : "/") + part;
        if (slash == std::string::npos) break;
        start = slash + 1;
      }
    }
    for (const auto& [key, entry] : ListingOf(dirKey, at))
      if (!entry.Directory) files.emplace_back(key, at / entry.Name);
    return files;
  }

 private:
  struct TDirEntry {
    std::string Name;
    bool Directory = false;
  };
  using TListing = std::map<std::string, TDirEntry>;

  const TListing& ListingOf(const std::string& dirKey, const fs::path& dir) const {
    auto cached = Listings.find(dirKey);
    if (cached != Listings.end()) return cached->second;
    TListing listing;
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      const std::optional<std::string> key = IndexKey(name);
      if (!key || key->find('/') != std::string::npos) continue;
      std::error_code typeError;
      const bool directory = it->is_directory(typeError);
      // Names that differ only in case: the smallest wins, so the choice never depends on the
      // order the directory happens to list them in.
      auto [slot, inserted] = listing.try_emplace(*key, TDirEntry{name, directory});
      if (!inserted && name < slot->second.Name) slot->second = TDirEntry{name, directory};
    }
    return Listings.emplace(dirKey, std::move(listing)).first->second;
  }

  fs::path Root;
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

bool EndsWithIgnoringCase(const std::string& key, const std::string& lowerSuffix) {
  return key.size() >= lowerSuffix.size() &&
         key.compare(key.size() - lowerSuffix.size(), lowerSuffix.size(), lowerSuffix) == 0;
}

}  // namespace

std::optional<std::string> IndexKey(const std::string& name) {
  if (name.empty() || !ValidUtf8(name)) return std::nullopt;
  if (name[0] == '/' || name[0] == '\\') return std::nullopt;
  if (name.size() >= 2 && name[1] == ':') return std::nullopt;  // a drive letter
  std::string key;
  key.reserve(name.size());
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::nullopt;
    const char lower = c == '\\' ? '/' : LowerAscii(c);
    if (lower == '/' && !key.empty() && key.back() == '/') continue;
    key += lower;
  }
  if (key.back() == '/') return std::nullopt;
  std::size_t start = 0;
  while (start <= key.size()) {
    std::size_t slash = key.find('/', start);
    if (slash == std::string::npos) slash = key.size();
    const std::string_view part(key.data() + start, slash - start);
    if (part == "." || part == "..") return std::nullopt;
    start = slash + 1;
  }
  return key;
}

struct TSearchPath::TImpl {
  TWarningSink Warn;
  std::vector<TArchive> Archives;
  std::vector<TFolder> Folders;
  std::vector<TLayer> Layers;  // lowest first
  std::unordered_map<std::string, TIndexed> Index;
  mutable std::unique_ptr<libdeflate_decompressor, TInflaterFree> Inflater;

  void AddArchive(const fs::path& path) {
    int error = 0;
    zip_t* opened = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!opened) {
      zip_error_t details;
      zip_error_init_with_code(&details, error);
      Warn(path.string() + ": skipped, not a readable zip archive (" +
           zip_error_strerror(&details) + ")");
      zip_error_fini(&details);
      return;
    }
    const int archive = static_cast<int>(Archives.size());
    Archives.push_back(TArchive{path.string(), std::unique_ptr<zip_t, TZipCloser>(opened)});
    const int layer = static_cast<int>(Layers.size());
    Layers.push_back(TLayer{archive, -1});

    int warnings = 0;
    auto entryWarning = [&](const std::string& text) {
      if (++warnings <= kWarningsPerArchive) Warn(path.string() + ": " + text);
    };
    std::unordered_map<std::string, bool> seen;
    const zip_int64_t count = zip_get_num_entries(opened, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
      const zip_uint64_t entry = static_cast<zip_uint64_t>(i);
      zip_stat_t stat;
      if (zip_stat_index(opened, entry, ZIP_FL_ENC_RAW, &stat) != 0 ||
          !(stat.valid & ZIP_STAT_NAME)) {
        entryWarning("entry " + std::to_string(i) + " skipped: unreadable directory record");
        continue;
      }
      const std::string name = stat.name;
      if (!name.empty() && (name.back() == '/' || name.back() == '\\')) continue;  // a folder
      const std::optional<std::string> key = IndexKey(name);
      if (!key) {
        entryWarning("entry '" + Printable(name) + "' skipped: not a name inside the game data");
        continue;
      }
      if (!seen.emplace(*key, true).second) {
        entryWarning("entry '" + Printable(name) + "' skipped: the archive holds that name twice");
        continue;
      }
      Index[*key] = TIndexed{layer, archive, entry,
                             (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0, name};
    }
    if (warnings > kWarningsPerArchive)
      Warn(path.string() + ": " + std::to_string(warnings - kWarningsPerArchive) +
           " more entries skipped");
  }

  void AddFolder(const fs::path& path) {
    std::vector<fs::path> archives;
    std::error_code ec;
    fs::directory_iterator it(path, ec), end;
    if (ec) Warn(path.string() + ": cannot read the folder (" + ec.message() + ")");
    for (; !ec && it != end; it.increment(ec)) {
      std::error_code typeError;
      if (EndsWithIgnoringCase(*IndexKeyOrEmpty(it->path().filename().string()), ".pk3") &&
          !it->is_directory(typeError))
        archives.push_back(it->path());
    }
    std::sort(archives.begin(), archives.end());
    for (const fs::path& archive : archives) AddArchive(archive);
    AddLooseFolder(path);
  }

  void AddLooseFolder(const fs::path& path) {
    Layers.push_back(TLayer{-1, static_cast<int>(Folders.size())});
    Folders.emplace_back(path);
  }

  static std::optional<std::string> IndexKeyOrEmpty(const std::string& name) {
    std::optional<std::string> key = IndexKey(name);
    return key ? key : std::optional<std::string>("");
  }

  // A name for a message: printable ASCII as is, other bytes as \xNN.
  static std::string Printable(const std::string& name) {
    std::string out;
    for (const char c : name) {
      const unsigned char byte = static_cast<unsigned char>(c);
      if (byte >= 0x20 && byte < 0x7f) {
        out += c;
      } else {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        out += escaped;
      }
    }
    return out;
  }

  struct THit {
    const TIndexed* Archived = nullptr;
    int Folder = -1;
    fs::path File;
  };

  std::optional<THit> Lookup(const std::string& name) const {
    const std::optional<std::string> key = IndexKey(name);
    if (!key) return std::nullopt;
    const auto indexed = Index.find(*key);
    const int archivedLayer = indexed == Index.end() ? -1 : indexed->second.Layer;
    for (int layer = static_cast<int>(Layers.size()) - 1; layer > archivedLayer; --layer) {
      const int folder = Layers[static_cast<std::size_t>(layer)].Folder;
      if (folder < 0) continue;
      if (auto file = Folders[static_cast<std::size_t>(folder)].FindFile(*key))
        return THit{nullptr, folder, std::move(*file)};
    }
    if (indexed == Index.end()) return std::nullopt;
    return THit{&indexed->second, -1, {}};
  }

  std::optional<std::vector<std::uint8_t>> ReadLoose(const fs::path& file, const TWarningSink& warn) const {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) {
      warn(file.string() + ": cannot read the file (" + ec.message() + ")");
      return std::nullopt;
    }
    if (size > kMaxEntryBytes) {
      warn(file.string() + ": " + HumanSize(size) + ", more than the " +
           HumanSize(kMaxEntryBytes) + " a game file may hold");
      return std::nullopt;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(file.c_str(), "rb"),
                                                           std::fclose);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!stream || (!bytes.empty() &&
                    std::fread(bytes.data(), 1, bytes.size(), stream.get()) != bytes.size())) {
      warn(file.string() + ": cannot read the file");
      return std::nullopt;
    }
    return bytes;
  }

  using TRead = std::optional<std::vector<std::uint8_t>>;  // nothing: cannot be read (warned)

  // Stored and deflated entries, which are all the game's archives hold, are taken whole: the
  // compressed bytes in one read, inflated in one call into a buffer of the declared size and
  // checked against the declared CRC. This takes about half the time of zlib's streaming inflate
  // through libzip, and inflating is most of what loading from an archive costs over loose
  // files. Nothing when the entry is not one of those (the caller streams it through libzip).
  std::optional<TRead> ReadWhole(
      const TArchive& archive, const TIndexed& entry, const zip_stat_t& stat,
      const std::string& where, const TWarningSink& warn) const {
    constexpr zip_uint64_t kNeeded = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
    if ((stat.valid & kNeeded) != kNeeded) return std::nullopt;
    const bool stored = stat.comp_method == ZIP_CM_STORE;
    if (!stored && stat.comp_method != ZIP_CM_DEFLATE) return std::nullopt;
    // A deflate stream gives at most 1,032 bytes for each of its own; an entry that declares more
    // than its data can give is streamed, so that its declared size is never allocated.
    if (stat.comp_size > kMaxEntryBytes ||
        stat.size > (stored ? stat.comp_size : stat.comp_size * 1032 + 1024))
      return std::nullopt;
    std::unique_ptr<zip_file_t, TZipFileCloser> file(
        zip_fopen_index(archive.Zip.get(), entry.Entry, ZIP_FL_COMPRESSED));
    if (!file) {
      warn(where + zip_strerror(archive.Zip.get()));
      return TRead();
    }
    std::vector<std::uint8_t> packed(static_cast<std::size_t>(stat.comp_size));
    std::size_t got = 0;
    while (got < packed.size()) {
      const zip_int64_t n = zip_fread(file.get(), packed.data() + got, packed.size() - got);
      if (n < 0) {
        warn(where + zip_file_strerror(file.get()));
        return TRead();
      }
      if (n == 0) {
        warn(where + "cut short");
        return TRead();
      }
      got += static_cast<std::size_t>(n);
    }
    std::vector<std::uint8_t> bytes;
    if (stored) {
      if (stat.comp_size > stat.size) {
        warn(where + "inflates to more than the declared " + HumanSize(stat.size));
        return TRead();
      }
      bytes = std::move(packed);
    } else {
      bytes.resize(static_cast<std::size_t>(stat.size));
      std::size_t out = 0;
      const libdeflate_result result = libdeflate_deflate_decompress(
          Decompressor(), packed.data(), packed.size(), bytes.data(), bytes.size(), &out);
      if (result == LIBDEFLATE_INSUFFICIENT_SPACE) {
        warn(where + "inflates to more than the declared " + HumanSize(stat.size));
        return TRead();
      }
      if (result != LIBDEFLATE_SUCCESS) {
        warn(where + "damaged compressed data");
        return TRead();
      }
      bytes.resize(out);
    }
    if (bytes.size() != stat.size) {
      warn(where + "inflates to " + HumanSize(bytes.size()) + ", not the declared " + HumanSize(stat.size));
      return TRead();
    }
    if (libdeflate_crc32(0, bytes.data(), bytes.size()) != stat.crc) {
      warn(where + "CRC error");
      return TRead();
    }
    return TRead(std::move(bytes));
  }

  libdeflate_decompressor* Decompressor() const {
    if (!Inflater) Inflater.reset(libdeflate_alloc_decompressor());
    if (!Inflater) throw std::bad_alloc();
    return Inflater.get();
  }

  std::optional<std::vector<std::uint8_t>> ReadArchived(const TIndexed& entry, const TWarningSink& warn) const {
    const std::lock_guard<std::mutex> lock(ArchiveLock);
    const TArchive& archive = Archives[static_cast<std::size_t>(entry.Archive)];
    const std::string where = archive.Path + ": " + Printable(entry.Name) + ": ";
    zip_stat_t stat;
    if (zip_stat_index(archive.Zip.get(), entry.Entry, 0, &stat) != 0) {
      warn(where + zip_strerror(archive.Zip.get()));
      return std::nullopt;
    }
    if (!(stat.valid & ZIP_STAT_SIZE) || stat.size > kMaxEntryBytes) {
      warn(where + "declares " + HumanSize(stat.size) + ", more than the " +
           HumanSize(kMaxEntryBytes) + " a game file may hold");
      return std::nullopt;
    }
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
      warn(where + "encrypted, cannot be read");
      return std::nullopt;
    }
    if ((stat.valid & ZIP_STAT_COMP_METHOD) &&
        !zip_compression_method_supported(static_cast<zip_int32_t>(stat.comp_method), 0)) {
      warn(where + "compression method " + std::to_string(stat.comp_method) + " not supported");
      return std::nullopt;
    }
    if (const auto whole = ReadWhole(archive, entry, stat, where, warn)) return *whole;
    std::unique_ptr<zip_file_t, TZipFileCloser> file(zip_fopen_index(archive.Zip.get(), entry.Entry, 0));
    if (!file) {
      warn(where + zip_strerror(archive.Zip.get()));
      return std::nullopt;
    }
    // One byte past the declared size is asked for, so that data longer than declared shows.
    const std::uint64_t limit = stat.size + 1;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(limit, kReadChunk)));
    std::uint64_t got = 0;
    while (got < limit) {
      const std::uint64_t want = std::min<std::uint64_t>(limit - got, kReadChunk);
      bytes.resize(static_cast<std::size_t>(got + want));
      const zip_int64_t n = zip_fread(file.get(), bytes.data() + got, want);
      if (n < 0) {
        warn(where + zip_file_strerror(file.get()));
        return std::nullopt;
      }
      if (n == 0) break;
      got += static_cast<std::uint64_t>(n);
    }
    if (got != stat.size) {
      warn(where + (got > stat.size ? "inflates to more than" : "inflates to " + HumanSize(got) + ", not") +
           " the declared " + HumanSize(stat.size));
      return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
  }

  TRead ReadHit(const THit& hit, const TWarningSink& warn) const {
    return hit.Archived ? ReadArchived(*hit.Archived, warn) : ReadLoose(hit.File, warn);
  }

  // Files read on a thread of its own ahead of the caller's asking. The thread only reads: names
  // are looked up on the caller's side, and warnings wait with their file, so that they come in
  // the order the caller reads.
  struct TReadAhead {
    struct TSlot {
      std::string Name;
      THit Hit;
      bool Ready = false;
      bool Taken = false;
      TRead Bytes;
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

  void StartReadAhead(const std::vector<std::string>& names) const {
    Ahead.reset();
    auto ahead = std::make_unique<TReadAhead>();
    for (const std::string& name : names) {
      const std::optional<std::string> key = IndexKey(name);
      if (!key || ahead->SlotOf.count(*key)) continue;
      std::optional<THit> hit = Lookup(name);
      if (!hit) continue;
      ahead->SlotOf.emplace(*key, ahead->Slots.size());
      TReadAhead::TSlot& slot = ahead->Slots.emplace_back();
      slot.Name = name;
      slot.Hit = std::move(*hit);
    }
    if (ahead->Slots.empty()) return;
    TReadAhead* state = ahead.get();
    ahead->Worker = std::jthread([this, state](std::stop_token stop) {
      for (TReadAhead::TSlot& slot : state->Slots) {
        {
          std::unique_lock<std::mutex> lock(state->Lock);
          if (!state->Changed.wait(lock, stop, [state] {
                return state->Held < kReadAheadBytes || state->Waiting > 0;
              }))
            return;
        }
        std::vector<std::string> warnings;
        TRead bytes;
        // Nothing may leave the thread: a failure is the file's warning, as the caller's read gives.
        try {
          bytes = ReadHit(slot.Hit, [&warnings](const std::string& w) { warnings.push_back(w); });
        } catch (const std::exception& e) {
          warnings.push_back(slot.Name + ": cannot be read (" + e.what() + ")");
        }
        const std::lock_guard<std::mutex> lock(state->Lock);
        state->Held += bytes ? bytes->size() : 0;
        slot.Bytes = std::move(bytes);
        slot.Warnings = std::move(warnings);
        slot.Ready = true;
        state->Changed.notify_all();
      }
    });
    Ahead = std::move(ahead);
  }

  // The file of `key` when it was read ahead and not taken yet: waits for it if need be.
  std::optional<TRead> TakeReadAhead(const std::string& key) const {
    if (!Ahead) return std::nullopt;
    TReadAhead& state = *Ahead;
    std::unique_lock<std::mutex> lock(state.Lock);
    const auto found = state.SlotOf.find(key);
    if (found == state.SlotOf.end()) return std::nullopt;
    TReadAhead::TSlot& slot = state.Slots[found->second];
    if (slot.Taken) return std::nullopt;
    ++state.Waiting;
    state.Changed.notify_all();
    state.Changed.wait(lock, [&slot] { return slot.Ready; });
    --state.Waiting;
    slot.Taken = true;
    state.Held -= slot.Bytes ? slot.Bytes->size() : 0;
    TRead bytes = std::move(slot.Bytes);
    const std::vector<std::string> warnings = std::move(slot.Warnings);
    state.Changed.notify_all();
    lock.unlock();
    for (const std::string& warning : warnings) Warn(warning);
    return bytes;
  }

  // libzip's handles and the inflater, shared by the caller and the read-ahead thread.
  mutable std::mutex ArchiveLock;
  mutable std::unique_ptr<TReadAhead> Ahead;  // last: its thread reads through everything above
};

TSearchPath::TSearchPath(const std::vector<std::string>& dataPaths, const std::string& baseDir,
                         TWarningSink warn)
    : Impl(std::make_unique<TImpl>()) {
  // libzip turns every entry's DOS time into a time_t with mktime while it reads the central
  // directory. With TZ unset, the C library checks /etc/localtime again on every call: one stat
  // per entry, most of the time the index takes. Naming the same zone file explicitly lets it
  // read the zone once; the local time stays what it was.
  if (!std::getenv("TZ")) setenv("TZ", ":/etc/localtime", 0);
  Impl->Warn = warn ? std::move(warn) : [](const std::string&) {};
  for (const std::string& path : dataPaths) {
    std::error_code ec;
    if (fs::is_directory(path, ec))
      Impl->AddFolder(path);
    else if (fs::is_regular_file(path, ec))
      Impl->AddArchive(path);
    else
      Impl->Warn(path + ": skipped, neither a folder nor a .pk3 file");
  }
  if (!baseDir.empty()) Impl->AddLooseFolder(baseDir);
}

TSearchPath::~TSearchPath() = default;

bool TSearchPath::Exists(const std::string& name) const { return Impl->Lookup(name).has_value(); }

std::optional<TEntryInfo> TSearchPath::Find(const std::string& name) const {
  const auto hit = Impl->Lookup(name);
  if (!hit) return std::nullopt;
  if (hit->Archived)
    return TEntryInfo{hit->Archived->Name,
                      Impl->Archives[static_cast<std::size_t>(hit->Archived->Archive)].Path, true,
                      hit->Archived->Size};
  const TFolder& folder = Impl->Folders[static_cast<std::size_t>(hit->Folder)];
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(hit->File, ec);
  return TEntryInfo{hit->File.lexically_relative(folder.RootPath()).generic_string(),
                    folder.RootPath().string(), false, ec ? 0 : static_cast<std::uint64_t>(size)};
}

std::optional<std::vector<std::uint8_t>> TSearchPath::Read(const std::string& name) const {
  if (const std::optional<std::string> key = IndexKey(name))
    if (auto ahead = Impl->TakeReadAhead(*key)) return std::move(*ahead);
  const auto hit = Impl->Lookup(name);
  if (!hit) return std::nullopt;
  return Impl->ReadHit(*hit, Impl->Warn);
}

void TSearchPath::ReadAhead(const std::vector<std::string>& names) const { Impl->StartReadAhead(names); }

std::vector<TEntryInfo> TSearchPath::List(const std::string& folder,
                                          const std::string& extension) const {
  std::string folderKey;
  if (!folder.empty()) {
    const std::optional<std::string> key = IndexKey(folder);
    if (!key) return {};
    folderKey = *key;
  }
  std::string suffix = extension;
  std::transform(suffix.begin(), suffix.end(), suffix.begin(), LowerAscii);
  const std::string prefix = folderKey.empty() ? "" : folderKey + "/";
  // Every matching key with the highest layer that holds it.
  std::map<std::string, TEntryInfo> found;
  std::map<std::string, int> foundLayer;
  for (const auto& [key, entry] : Impl->Index) {
    if (key.compare(0, prefix.size(), prefix) != 0 ||
        key.find('/', prefix.size()) != std::string::npos || !EndsWithIgnoringCase(key, suffix))
      continue;
    found[key] = TEntryInfo{entry.Name, Impl->Archives[static_cast<std::size_t>(entry.Archive)].Path,
                            true, entry.Size};
    foundLayer[key] = entry.Layer;
  }
  for (std::size_t layer = 0; layer < Impl->Layers.size(); ++layer) {
    const int f = Impl->Layers[layer].Folder;
    if (f < 0) continue;
    const TFolder& loose = Impl->Folders[static_cast<std::size_t>(f)];
    for (const auto& [name, onDisk] : loose.FilesIn(folderKey)) {
      const std::string key = prefix + name;
      if (!EndsWithIgnoringCase(key, suffix)) continue;
      const auto previous = foundLayer.find(key);
      if (previous != foundLayer.end() && previous->second > static_cast<int>(layer)) continue;
      std::error_code ec;
      const std::uintmax_t size = fs::file_size(onDisk, ec);
      found[key] = TEntryInfo{onDisk.lexically_relative(loose.RootPath()).generic_string(),
                              loose.RootPath().string(), false,
                              ec ? 0 : static_cast<std::uint64_t>(size)};
      foundLayer[key] = static_cast<int>(layer);
    }
  }
  std::vector<TEntryInfo> list;
  for (auto& [key, info] : found) list.push_back(std::move(info));
  return list;
}

std::vector<std::string> TSearchPath::Places() const {
  std::vector<std::string> places;
  for (auto layer = Impl->Layers.rbegin(); layer != Impl->Layers.rend(); ++layer)
    places.push_back(layer->Archive >= 0
                         ? Impl->Archives[static_cast<std::size_t>(layer->Archive)].Path
                         : Impl->Folders[static_cast<std::size_t>(layer->Folder)].RootPath().string());
  return places;
}

std::size_t TSearchPath::IndexedEntries() const { return Impl->Index.size(); }

}  // namespace data
