// Truevision TGA decoding: true-colour images of 24 or 32 bits, stored or run-length encoded, and
// when the caller accepts them 8-bit greyscale images the same two ways.
#include <algorithm>
#include <utility>
#include <vector>

#include "textures/ImageDecode.h"
#include "textures/PixelSwap.h"

namespace textures {
namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::uint8_t kUncompressed = 2;
constexpr std::uint8_t kRunLength = 10;
constexpr std::uint8_t kGreyUncompressed = 3;
constexpr std::uint8_t kGreyRunLength = 11;

void CopyPixel(const std::uint8_t* source, std::uint8_t* destination, int bytesPerPixel) {
  // A grey pixel is one byte with nothing to exchange.
  if (bytesPerPixel == 1) *destination = *source;
  else CopyPixelSwapped(source, destination, bytesPerPixel);
}

// One grey byte per pixel into red, green and blue alike.
std::vector<std::uint8_t> GreyToRGB(const std::vector<std::uint8_t>& grey) {
  std::vector<std::uint8_t> rgb(grey.size() * 3);
  for (std::size_t p = 0; p < grey.size(); ++p) rgb[3 * p] = rgb[3 * p + 1] = rgb[3 * p + 2] = grey[p];
  return rgb;
}

// Packets run on across row ends; only the count of decoded pixels matters. A packet reaching
// past the last pixel is cut there, and data that ends before the last pixel refuses the image
// (nothing past the compressed bytes is read, and no half-decoded picture is shown).
bool DecodeRunLength(std::span<const std::uint8_t> packed, int bytesPerPixel, std::size_t pixelCount,
                     std::uint8_t* out) {
  const std::size_t b = static_cast<std::size_t>(bytesPerPixel);
  std::size_t i = 0;
  std::size_t n = 0;
  while (n < pixelCount) {
    if (i >= packed.size()) return false;
    const std::uint8_t header = packed[i++];
    if (header < 128) {
      const std::size_t count = std::min<std::size_t>(header + 1u, pixelCount - n);
      if (packed.size() - i < count * b) return false;
      for (std::size_t j = 0; j < count; ++j, ++n) CopyPixel(&packed[i + j * b], out + n * b, bytesPerPixel);
      i += count * b;
    } else {
      const std::size_t count = std::min<std::size_t>(header - 127u, pixelCount - n);
      if (packed.size() - i < b) return false;
      for (std::size_t j = 0; j < count; ++j, ++n) CopyPixel(&packed[i], out + n * b, bytesPerPixel);
      i += b;
    }
  }
  return true;
}

}  // namespace

TDecoded<TTGAError> DecodeTGA(std::span<const std::uint8_t> bytes, std::size_t maxPixels,
                              std::uint32_t maxSide, bool greyscale) {
  TDecoded<TTGAError> result;
  if (bytes.size() < kHeaderSize) {
    result.Error = TTGAError::ShortHeader;
    return result;
  }
  const std::uint8_t idLength = bytes[0];
  const std::uint8_t colourMapType = bytes[1];
  const std::uint8_t imageType = bytes[2];
  // The checks run in this order so that a colour-mapped image (type 1) is reported by its type.
  const bool grey = greyscale && (imageType == kGreyUncompressed || imageType == kGreyRunLength);
  if (imageType != kUncompressed && imageType != kRunLength && !grey) {
    result.Error = TTGAError::NotTrueColour;
    return result;
  }
  if (colourMapType != 0) {
    result.Error = TTGAError::ColourMapped;
    return result;
  }
  const std::uint16_t width = static_cast<std::uint16_t>(bytes[12] | bytes[13] << 8);
  const std::uint16_t height = static_cast<std::uint16_t>(bytes[14] | bytes[15] << 8);
  const std::uint8_t depth = bytes[16];
  if (grey ? depth != 8 : depth != 24 && depth != 32) {
    result.Error = TTGAError::BadDepth;
    return result;
  }
  const int bytesPerPixel = depth / 8;
  // A grey image is made RGB: three bytes a pixel in the end.
  if (width > maxSide || height > maxSide || !FitsInMemory(width, height, grey ? 3u : static_cast<std::uint64_t>(bytesPerPixel), maxPixels)) {
    result.Error = TTGAError::TooLarge;
    result.Image.Width = width;
    result.Image.Height = height;
    return result;
  }
  if (bytes.size() - kHeaderSize < idLength) {
    result.Error = TTGAError::ShortData;
    return result;
  }
  const std::span<const std::uint8_t> data = bytes.subspan(kHeaderSize + idLength);
  const std::size_t pixelCount = std::size_t{width} * height;
  const std::size_t size = pixelCount * static_cast<std::size_t>(bytesPerPixel);

  TImage& image = result.Image;
  image.Width = width;
  image.Height = height;
  image.Format = depth == 32 ? kRGBA : kRGB;
  if (imageType == kUncompressed || imageType == kGreyUncompressed) {
    if (data.size() < size) {
      result.Error = TTGAError::ShortData;
      return result;
    }
    image.Pixels.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size));
    if (!grey)
      for (std::size_t p = 0; p < size; p += static_cast<std::size_t>(bytesPerPixel))
        std::swap(image.Pixels[p], image.Pixels[p + 2]);
  } else {
    // A run packet of 1 + b bytes gives at most 128 pixels: a header that promises more than the
    // data can hold is refused before its buffer is allocated.
    const std::size_t mostPixels = data.size() / (1u + static_cast<std::size_t>(bytesPerPixel)) * 128u;
    if (pixelCount > mostPixels) {
      result.Error = TTGAError::ShortData;
      return result;
    }
    image.Pixels.resize(size);
    if (!DecodeRunLength(data, bytesPerPixel, pixelCount, image.Pixels.data())) {
      result.Error = TTGAError::ShortData;
      result.Image = {};
      return result;
    }
  }
  if (grey) image.Pixels = GreyToRGB(image.Pixels);
  return result;
}

}  // namespace textures
