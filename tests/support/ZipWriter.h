#pragma once
// Zip archives for the tests: proper ones written by libzip, and hand-made ones byte by byte so
// that every field can lie (names, sizes, CRC, flags, method).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Writes an archive with libzip: each (name, content) deflated.
void WriteZip(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& entries);

struct TRawEntry {
  std::string Name;       // written as is, NUL bytes included
  std::string Data;       // the stored bytes
  std::uint16_t Method = 0;      // 0 stored, 8 deflate, ...
  std::uint16_t Flags = 0;       // bit 0: encrypted
  std::int64_t Crc = -1;         // -1: the right CRC of Data
  std::int64_t Size = -1;        // declared uncompressed size; -1: Data's size
  int DataOf = -1;  // >= 0: no data of its own, the directory points at that earlier entry's
};

// A stored zip built byte by byte from the entries.
std::vector<std::uint8_t> RawZip(const std::vector<TRawEntry>& entries);

// An entry holding `data` deflated (method 8), with its CRC and size.
TRawEntry DeflatedEntry(const std::string& name, const std::string& data);

}  // namespace testsupport
