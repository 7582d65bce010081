// Any bytes as a JPEG file through libjpeg: an RGBA image with alpha 255 of exactly its size, or
// an error value; libjpeg's fatal errors must come back through the error manager, not abort.
// Pictures above a million pixels are refused up front so that each input stays quick.
#include <cstddef>
#include <cstdint>

#include "textures/ImageDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto decoded = textures::DecodeJPEG({data, size}, 1u << 20);
  if (decoded.Ok()) {
    const textures::TImage& image = decoded.Image;
    if (image.Format != textures::kRGBA || image.Pixels.size() != std::size_t{image.Width} * image.Height * 4)
      __builtin_trap();
    for (std::size_t i = 3; i < image.Pixels.size(); i += 4)
      if (image.Pixels[i] != 255) __builtin_trap();
  }
  return 0;
}
