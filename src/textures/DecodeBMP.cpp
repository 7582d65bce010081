// Windows bitmap decoding: the 14 + 40 byte headers, a skipped colour table, then 24-bit rows.
#include <cstring>

#include "textures/ImageDecode.h"
#include "textures/PixelSwap.h"

namespace textures {
namespace {

constexpr std::size_t kHeadersSize = 14 + 40;

std::int32_t ReadInt32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  const std::uint32_t v = std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8 |
                          std::uint32_t{bytes[offset + 2]} << 16 | std::uint32_t{bytes[offset + 3]} << 24;
  return static_cast<std::int32_t>(v);
}

std::uint32_t ReadUInt32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(ReadInt32(bytes, offset));
}

std::uint16_t ReadUInt16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

}  // namespace

TDecoded<TBMPError> DecodeBMP(std::span<const std::uint8_t> bytes, std::size_t maxPixels,
                              std::uint32_t maxSide) {
  TDecoded<TBMPError> result;
  auto fail = [&result](TBMPError error) {
    result.Error = error;
    result.Image = {};
    return result;
  };
  if (bytes.size() < kHeadersSize) return fail(TBMPError::ShortHeader);
  // The file header, biSize, biPlanes, biCompression and the rest are not consulted.
  const std::int32_t width = ReadInt32(bytes, 18);
  const std::int32_t height = ReadInt32(bytes, 22);
  const std::uint16_t bitCount = ReadUInt16(bytes, 28);
  const std::uint32_t sizeImage = ReadUInt32(bytes, 34);
  const std::uint32_t coloursUsed = ReadUInt32(bytes, 46);

  // Rows stored top row first would come out upside down, and sizes past 16 bits would be cut
  // when the texture is made; both are refused.
  if (width < 0 || width > 65535) return fail(TBMPError::BadSize);
  if (height < 0) return fail(TBMPError::TopDown);
  if (height > 65535) return fail(TBMPError::BadSize);
  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t h = static_cast<std::size_t>(height);
  if (w > maxSide || h > maxSide || !FitsInMemory(w, h, 3, maxPixels)) {
    fail(TBMPError::TooLarge);
    result.Image.Width = static_cast<std::uint16_t>(w);
    result.Image.Height = static_cast<std::uint16_t>(h);
    return result;
  }

  const std::uint64_t paletteEnd = kHeadersSize + 4ull * coloursUsed;
  if (paletteEnd > bytes.size()) return fail(TBMPError::ShortPalette);

  // Each stored row is padded to a multiple of 4 bytes; a size of 0 means "compute it".
  const std::uint64_t storedRow = (std::uint64_t{w} * bitCount + 31) / 32 * 4;
  const std::uint64_t dataSize = sizeImage != 0 ? sizeImage : storedRow * h;
  const std::size_t rowBytes = w * 3;
  const std::size_t paddedRow = (rowBytes + 3) & ~std::size_t{3};
  if (dataSize < std::uint64_t{paddedRow} * h) return fail(TBMPError::DataTooSmall);
  if (dataSize > bytes.size() - paletteEnd) return fail(TBMPError::ShortData);

  const std::uint8_t* data = bytes.data() + paletteEnd;
  TImage& image = result.Image;
  image.Width = static_cast<std::uint16_t>(w);
  image.Height = static_cast<std::uint16_t>(h);
  image.Format = kRGB;
  image.Pixels.resize(rowBytes * h);
  for (std::size_t row = 0; row < h && rowBytes != 0; ++row)
    std::memcpy(image.Pixels.data() + row * rowBytes, data + row * paddedRow, rowBytes);
  SwapRedBlue(image.Pixels.data(), w * h);
  return result;
}

}  // namespace textures
