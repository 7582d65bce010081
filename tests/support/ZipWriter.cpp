#include "support/ZipWriter.h"

#include <zip.h>
#include <zlib.h>

#include <memory>
#include <stdexcept>

namespace testsupport {

void WriteZip(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) throw std::runtime_error("cannot create " + path);
  for (const auto& [name, content] : entries) {
    // libzip copies nothing until zip_close, so the buffers must live until then: entries does.
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(source);
      zip_discard(archive);
      throw std::runtime_error("cannot add " + name);
    }
  }
  if (zip_close(archive) != 0) {
    zip_discard(archive);
    throw std::runtime_error("cannot write " + path);
  }
}

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

std::string RawDeflate(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

}  // namespace

TRawEntry DeflatedEntry(const std::string& name, const std::string& data) {
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
  return {name, RawDeflate(data), 8, 0, static_cast<std::int64_t>(crc), static_cast<std::int64_t>(data.size())};
}

std::vector<std::uint8_t> RawZip(const std::vector<TRawEntry>& entries) {
  std::vector<std::uint8_t> out, directory;
  std::vector<std::uint32_t> offsets;
  for (const TRawEntry& given : entries) {
    // An entry sharing another's data takes its fields and its local header.
    const TRawEntry& e = given.DataOf >= 0 ? entries.at(static_cast<std::size_t>(given.DataOf)) : given;
    const std::uint32_t crc =
        e.Crc >= 0 ? static_cast<std::uint32_t>(e.Crc)
                   : static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.Data.data()),
                                                      static_cast<uInt>(e.Data.size())));
    const std::uint32_t size = e.Size >= 0 ? static_cast<std::uint32_t>(e.Size)
                                           : static_cast<std::uint32_t>(e.Data.size());
    const std::uint32_t offset = given.DataOf >= 0 ? offsets[static_cast<std::size_t>(given.DataOf)]
                                                   : static_cast<std::uint32_t>(out.size());
    offsets.push_back(offset);
    if (given.DataOf < 0) {
      Put32(out, 0x04034b50);
      Put16(out, 20);
      Put16(out, e.Flags);
      Put16(out, e.Method);
      Put32(out, 0);  // time, date
      Put32(out, crc);
      Put32(out, static_cast<std::uint32_t>(e.Data.size()));
      Put32(out, size);
      Put16(out, static_cast<std::uint32_t>(e.Name.size()));
      Put16(out, 0);
      out.insert(out.end(), e.Name.begin(), e.Name.end());
      out.insert(out.end(), e.Data.begin(), e.Data.end());
    }

    Put32(directory, 0x02014b50);
    Put16(directory, 20);
    Put16(directory, 20);
    Put16(directory, e.Flags);
    Put16(directory, e.Method);
    Put32(directory, 0);
    Put32(directory, crc);
    Put32(directory, static_cast<std::uint32_t>(e.Data.size()));
    Put32(directory, size);
    Put16(directory, static_cast<std::uint32_t>(given.Name.size()));
    Put16(directory, 0);  // extra
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, 0);  // external attributes
    Put32(directory, offset);
    directory.insert(directory.end(), given.Name.begin(), given.Name.end());
  }
  const std::uint32_t directoryOffset = static_cast<std::uint32_t>(out.size());
  out.insert(out.end(), directory.begin(), directory.end());
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put32(out, static_cast<std::uint32_t>(directory.size()));
  Put32(out, directoryOffset);
  Put16(out, 0);
  return out;
}

}  // namespace testsupport
