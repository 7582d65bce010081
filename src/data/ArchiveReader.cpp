// Reading one file of the search path: a loose file from its folder, or an archive entry through
// libzip, inflated whole with libdeflate where it can be.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "data/SearchPathInternal.h"

namespace fs = std::filesystem;

namespace data {
namespace {

// Bytes handed to zip_fread at a time; the buffer grows with what really comes out, so a declared
// size costs nothing until the data is there.
constexpr std::size_t kReadChunk = 256 * 1024;

std::string HumanSize(std::uint64_t bytes) { return std::to_string(bytes) + " bytes"; }

}  // namespace

TSearchPath::TImpl::TOutcome TSearchPath::TImpl::ReadLoose(const fs::path& file,
                                                         const TWarningSink& warn) const {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(file, ec);
  if (ec) {
    warn(file.string() + ": cannot read the file (" + ec.message() + ")");
    return {};
  }
  if (size > kMaxEntryBytes) {
    warn(file.string() + ": " + HumanSize(size) + ", more than the " +
         HumanSize(kMaxEntryBytes) + " a game file may hold");
    return {};
  }
  if (Budget && !Budget->Take(platform::TBudgetKind::ReadFromDisk, size, file.string()))
    return {std::nullopt, true};
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(file.c_str(), "rb"),
                                                         std::fclose);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!stream || (!bytes.empty() &&
                  std::fread(bytes.data(), 1, bytes.size(), stream.get()) != bytes.size())) {
    warn(file.string() + ": cannot read the file");
    return {};
  }
  return {std::move(bytes)};
}

std::optional<TSearchPath::TImpl::TRead> TSearchPath::TImpl::ReadWhole(
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

libdeflate_decompressor* TSearchPath::TImpl::Decompressor() const {
  if (!Inflater) Inflater.reset(libdeflate_alloc_decompressor());
  if (!Inflater) throw std::bad_alloc();
  return Inflater.get();
}

TSearchPath::TImpl::TOutcome TSearchPath::TImpl::ReadArchived(const TIndexed& entry,
                                                            const TWarningSink& warn) const {
  const std::lock_guard<std::mutex> lock(ArchiveLock);
  const TArchive& archive = Archives[static_cast<std::size_t>(entry.Archive)];
  const std::string where = archive.Path + ": " + Printable(entry.Name) + ": ";
  zip_stat_t stat;
  if (zip_stat_index(archive.Zip.get(), entry.Entry, 0, &stat) != 0) {
    warn(where + zip_strerror(archive.Zip.get()));
    return {};
  }
  if (!(stat.valid & ZIP_STAT_SIZE) || stat.size > kMaxEntryBytes) {
    warn(where + "declares " + HumanSize(stat.size) + ", more than the " +
         HumanSize(kMaxEntryBytes) + " a game file may hold");
    return {};
  }
  if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
    warn(where + "encrypted, cannot be read");
    return {};
  }
  if ((stat.valid & ZIP_STAT_COMP_METHOD) &&
      !zip_compression_method_supported(static_cast<zip_int32_t>(stat.comp_method), 0)) {
    warn(where + "compression method " + std::to_string(stat.comp_method) + " not supported");
    return {};
  }
  // The declared size is what inflating it allocates: taken from the budget before anything is.
  if (Budget && !Budget->Take(platform::TBudgetKind::Inflated, stat.size, Printable(entry.Name)))
    return {std::nullopt, true};
  if (auto whole = ReadWhole(archive, entry, stat, where, warn)) return {std::move(*whole)};
  std::unique_ptr<zip_file_t, TZipFileCloser> file(zip_fopen_index(archive.Zip.get(), entry.Entry, 0));
  if (!file) {
    warn(where + zip_strerror(archive.Zip.get()));
    return {};
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
      return {};
    }
    if (n == 0) break;
    got += static_cast<std::uint64_t>(n);
  }
  if (got != stat.size) {
    warn(where + (got > stat.size ? "inflates to more than" : "inflates to " + HumanSize(got) + ", not") +
         " the declared " + HumanSize(stat.size));
    return {};
  }
  bytes.resize(static_cast<std::size_t>(got));
  return {std::move(bytes)};
}

TSearchPath::TImpl::TOutcome TSearchPath::TImpl::ReadHit(const THit& hit,
                                                       const TWarningSink& warn) const {
  return hit.Archived ? ReadArchived(*hit.Archived, warn) : ReadLoose(hit.File, warn);
}

}  // namespace data
