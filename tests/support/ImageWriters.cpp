#include "support/ImageWriters.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

namespace testsupport {
namespace {

void Put16(TBytes& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void Put32(TBytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

TBytes TGAHeader(int width, int height, const TTGAOptions& options) {
  TBytes out;
  out.push_back(static_cast<std::uint8_t>(options.ImageId.size()));
  out.push_back(options.ColourMapType);
  out.push_back(options.ImageType);
  Put16(out, 0);
  Put16(out, 0);
  out.push_back(0);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<unsigned>(width));
  Put16(out, static_cast<unsigned>(height));
  out.push_back(options.Depth);
  out.push_back(options.Descriptor);
  out.insert(out.end(), options.ImageId.begin(), options.ImageId.end());
  return out;
}

TBytes MakeTGA(int width, int height, const TBytes& pixels, const TTGAOptions& options) {
  TBytes out = TGAHeader(width, height, options);
  if (options.ImageType != 10 && options.ImageType != 11) {
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }
  const std::size_t b = options.Depth / 8;
  const std::size_t count = pixels.size() / b;
  auto same = [&](std::size_t i, std::size_t j) {
    return std::equal(pixels.begin() + i * b, pixels.begin() + (i + 1) * b, pixels.begin() + j * b);
  };
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = 1;
    while (i + run < count && run < 128 && same(i, i + run)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(127 + run));
      out.insert(out.end(), pixels.begin() + i * b, pixels.begin() + (i + 1) * b);
      i += run;
      continue;
    }
    std::size_t raw = 1;
    while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1))) ++raw;
    out.push_back(static_cast<std::uint8_t>(raw - 1));
    out.insert(out.end(), pixels.begin() + i * b, pixels.begin() + (i + raw) * b);
    i += raw;
  }
  return out;
}

TBytes MakeBMP(int width, int height, const TBytes& pixels, const TBMPOptions& options) {
  // A negative width or height is written as given; the pixel rows follow its magnitude.
  const std::size_t rowBytes = static_cast<std::size_t>(std::abs(width)) * 3;
  const std::size_t stored = options.PadRows ? (rowBytes + 3) & ~std::size_t{3} : rowBytes;
  const std::size_t rows = static_cast<std::size_t>(std::abs(height));
  const std::uint32_t dataOffset = 54 + 4 * options.ColoursUsed;
  TBytes out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<std::uint32_t>(dataOffset + stored * rows));
  Put32(out, 0);
  Put32(out, dataOffset);
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);
  Put16(out, options.BitCount);
  Put32(out, 0);
  Put32(out, options.SizeImageField);
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, options.ColoursUsed);
  Put32(out, 0);
  for (std::uint32_t c = 0; c < options.ColoursUsed; ++c) Put32(out, 0x00FF00FFu);
  for (std::size_t r = 0; r < rows; ++r) {
    const std::size_t start = r * rowBytes;
    for (std::size_t k = 0; k < rowBytes; ++k) out.push_back(start + k < pixels.size() ? pixels[start + k] : 0);
    for (std::size_t k = rowBytes; k < stored; ++k) out.push_back(0xEE);
  }
  return out;
}

namespace {

TBytes Compress(int width, int height, int components, J_COLOR_SPACE space, const TBytes& pixels,
                int quality, bool progressive) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(components);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + info.next_scanline * stride);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  TBytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace

TBytes MakeJPEG(int width, int height, int components, const TBytes& pixels, int quality,
                bool progressive) {
  return Compress(width, height, components, components == 1 ? JCS_GRAYSCALE : JCS_RGB, pixels,
                  quality, progressive);
}

TBytes MakeCMYKJPEG(int width, int height, const TBytes& pixels) {
  return Compress(width, height, 4, JCS_CMYK, pixels, 90, false);
}

TBytes MakeUnknownColourJPEG(int width, int height, int components, const TBytes& pixels) {
  return Compress(width, height, components, JCS_UNKNOWN, pixels, 90, false);
}

TBytes WithJPEGSize(TBytes jpeg, int width, int height) {
  for (std::size_t i = 0; i + 9 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      const std::uint8_t sizes[4] = {static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(height),
                                     static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width)};
      std::copy(sizes, sizes + 4, jpeg.begin() + static_cast<std::ptrdiff_t>(i + 5));
      break;
    }
  return jpeg;
}

TBytes MakePNG(int width, int height, int channels, const TBytes& pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = channels == 1 ? PNG_FORMAT_GRAY : channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr))
    throw std::runtime_error("cannot size the PNG");
  TBytes out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr))
    throw std::runtime_error("cannot write the PNG");
  out.resize(size);
  return out;
}

}  // namespace testsupport
