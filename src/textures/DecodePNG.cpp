// PNG decoding through libpng's simplified interface, which reads every colour type, bit depth
// and interlacing and converts to 8-bit RGB(A). Its errors come back as a result and a message:
// libpng's own error exit is taken inside the library and never crosses this code.
#include <algorithm>
#include <png.h>

#include <memory>

#include "textures/ImageDecode.h"

namespace textures {
namespace {

// Deflate turns at most about 1032 bytes into one; every PNG row holds a filter byte and at
// least one bit per pixel. A picture whose least raw size could not come out of the file's bytes
// is refused before its buffer is allocated and before any row is inflated.
constexpr std::uint64_t kMostInflation = 1032;

struct TImageFree {
  void operator()(png_image* image) const { png_image_free(image); }
};

}  // namespace

TPNGDecoded DecodePNG(std::span<const std::uint8_t> bytes, std::size_t maxPixels, std::uint32_t maxSide) {
  TPNGDecoded result;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  // Releases what libpng holds on every way out (a finished or failed read has freed it already,
  // which png_image_free allows).
  const std::unique_ptr<png_image, TImageFree> owner(&image);
  if (bytes.empty() || !png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    result.Error = TPNGError::Header;
    result.Message = image.message;
    return result;
  }
  const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  const std::uint64_t channels = alpha ? 4 : 3;
  if (image.width > maxSide || image.height > maxSide ||
      !FitsInMemory(image.width, image.height, channels, maxPixels)) {
    result.Error = TPNGError::TooLarge;
    result.Image.Width = static_cast<std::uint16_t>(std::min<png_uint_32>(image.width, 65535));
    result.Image.Height = static_cast<std::uint16_t>(std::min<png_uint_32>(image.height, 65535));
    return result;
  }
  const std::uint64_t leastRaw = std::uint64_t{image.height} * (1 + (std::uint64_t{image.width} + 7) / 8);
  if (leastRaw > kMostInflation * bytes.size()) {
    result.Error = TPNGError::TooLittleData;
    return result;
  }
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  TImage& out = result.Image;
  out.Width = static_cast<std::uint16_t>(image.width);
  out.Height = static_cast<std::uint16_t>(image.height);
  out.Format = alpha ? kRGBA : kRGB;
  out.Pixels.resize(PNG_IMAGE_SIZE(image));
  // A negative row stride stores the rows bottom-up from the start of the buffer.
  const png_int_32 stride = -static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image));
  if (!png_image_finish_read(&image, nullptr, out.Pixels.data(), stride, nullptr)) {
    result.Error = TPNGError::Decode;
    result.Message = image.message;
    result.Image = {};
  }
  return result;
}

}  // namespace textures
