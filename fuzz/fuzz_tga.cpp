// Any bytes as a TGA file: the decoder answers with an image of exactly its size or an error,
// and never reads or writes outside its buffers.
#include <cstddef>
#include <cstdint>

#include "textures/ImageDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // With and without the greyscale types (--greyscale-tga).
  for (const bool greyscale : {false, true}) {
    const auto decoded = textures::DecodeTGA({data, size}, 1u << 22, textures::kNoSideLimit, greyscale);
    if (decoded.Ok()) {
      const textures::TImage& image = decoded.Image;
      const std::size_t channels = image.Format == textures::kRGBA ? 4 : 3;
      if (image.Pixels.size() != std::size_t{image.Width} * image.Height * channels) __builtin_trap();
    }
  }
  return 0;
}
