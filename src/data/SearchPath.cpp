// The search path's index: folders and archives stacked into layers, archive directories read once
// into one case-insensitive map, loose files looked up folder by folder; and the interface that
// answers from it. Reading a file is ArchiveReader.cpp's, reading ahead ReadAhead.cpp's.
#include "data/SearchPath.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>
#include <unordered_map>

#include "data/SearchPathInternal.h"

namespace fs = std::filesystem;

namespace data {
namespace {

// More warnings than this about one archive's entries end in one line with the rest's count: a
// hostile archive may hold tens of thousands of bad names.
constexpr int kWarningsPerArchive = 5;

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

bool EndsWithIgnoringCase(const std::string& key, const std::string& lowerSuffix) {
  return key.size() >= lowerSuffix.size() &&
         key.compare(key.size() - lowerSuffix.size(), lowerSuffix.size(), lowerSuffix) == 0;
}

std::optional<std::string> IndexKeyOrEmpty(const std::string& name) {
  std::optional<std::string> key = IndexKey(name);
  return key ? key : std::optional<std::string>("");
}

}  // namespace

std::string Printable(const std::string& name) {
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

TFolder::TFolder(fs::path root, const TWarningSink* warn) : Root(std::move(root)), Warn(warn) {
  std::error_code ec;
  if (Warn) CanonicalRoot = fs::canonical(Root, ec);
}

bool TFolder::Followed(const fs::directory_entry& entry) const {
  if (CanonicalRoot.empty()) return true;
  std::error_code ec;
  const fs::path target = fs::weakly_canonical(entry.path(), ec);
  const fs::path inside = target.lexically_relative(CanonicalRoot);
  if (!ec && !inside.empty() && *inside.begin() != "..") return true;
  (*Warn)(entry.path().string() + ": a symbolic link that leads outside " + Root.string() +
          ", not followed");
  return false;
}

std::optional<fs::path> TFolder::FindFile(const std::string& key) const {
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

std::vector<std::pair<std::string, fs::path>> TFolder::FilesIn(
    const std::string& folderKey) const {
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

const TFolder::TListing& TFolder::ListingOf(const std::string& dirKey,
                                            const fs::path& dir) const {
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
    // A FIFO, device or socket is no file of the game data (opening a FIFO would wait for a
    // writer), and a link out of the folder is not followed.
    if (!directory && !it->is_regular_file(typeError)) continue;
    if (it->is_symlink(typeError) && !Followed(*it)) continue;
    // Names that differ only in case: the smallest wins, so the choice never depends on the
    // order the directory happens to list them in.
    auto [slot, inserted] = listing.try_emplace(*key, TDirEntry{name, directory});
    if (!inserted && name < slot->second.Name) slot->second = TDirEntry{name, directory};
  }
  return Listings.emplace(dirKey, std::move(listing)).first->second;
}

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

void TSearchPath::TImpl::AddArchive(const fs::path& path) {
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

void TSearchPath::TImpl::AddFolder(const fs::path& path) {
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
  AddLooseFolder(path, true);
}

void TSearchPath::TImpl::AddLooseFolder(const fs::path& path, bool confined) {
  Layers.push_back(TLayer{-1, static_cast<int>(Folders.size())});
  Folders.emplace_back(path, confined ? &Warn : nullptr);
}

std::optional<TSearchPath::TImpl::THit> TSearchPath::TImpl::Lookup(
    const std::string& name) const {
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

TSearchPath::TSearchPath(const std::vector<std::string>& dataPaths, const std::string& baseDir,
                         TWarningSink warn, platform::TBudget* budget)
    : Impl(std::make_unique<TImpl>()) {
  // libzip turns every entry's DOS time into a time_t with mktime while it reads the central
  // directory. With TZ unset, the C library checks /etc/localtime again on every call: one stat
  // per entry, most of the time the index takes. Naming the same zone file explicitly lets it
  // read the zone once; the local time stays what it was.
  if (!std::getenv("TZ")) setenv("TZ", ":/etc/localtime", 0);
  Impl->Warn = warn ? std::move(warn) : [](const std::string&) {};
  Impl->Budget = budget;
  for (const std::string& path : dataPaths) {
    std::error_code ec;
    if (fs::is_directory(path, ec))
      Impl->AddFolder(path);
    else if (fs::is_regular_file(path, ec))
      Impl->AddArchive(path);
    else
      Impl->Warn(path + ": skipped, neither a folder nor a .pk3 file");
  }
  if (!baseDir.empty()) Impl->AddLooseFolder(baseDir, false);
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
  std::optional<TImpl::TOutcome> read;
  if (const std::optional<std::string> key = IndexKey(name)) read = Impl->TakeReadAhead(*key);
  if (!read) {
    const auto hit = Impl->Lookup(name);
    if (!hit) return std::nullopt;
    read = Impl->ReadHit(*hit, Impl->Warn);
  }
  if (read->OverBudget) throw platform::EBudgetSpent(Printable(name) + ": left out, the budget is spent");
  return std::move(read->Bytes);
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
