// Any bytes as a BMP file: an RGB image of exactly its size or an error, never an access outside.
#include <cstddef>
#include <cstdint>

#include "textures/ImageDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto decoded = textures::DecodeBMP({data, size}, 1u << 22);
  if (decoded.Ok()) {
    const textures::TImage& image = decoded.Image;
    if (image.Format != textures::kRGB || image.Pixels.size() != std::size_t{image.Width} * image.Height * 3)
      __builtin_trap();
  }
  return 0;
}
