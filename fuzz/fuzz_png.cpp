// Any bytes as a picture file of each format taken top row first (the lightmap files' decoder;
// for PNG the whole of libpng's reading): an error, or a picture of exactly its size.
#include <cstddef>
#include <cstdint>

#include "textures/TopFirstPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const char* name : {"lm.png", "lm.tga"}) {
    const textures::TTopFirstPicture picture = textures::DecodeTopFirstRGB({data, size}, name, 4096, 1u << 22);
    if (picture.Ok() && picture.Rgb.size() != std::size_t{picture.Width} * picture.Height * 3) __builtin_trap();
  }
  return 0;
}
