#pragma once
// A picture file of any format the program decodes (TGA, PNG, JPEG), as packed RGB rows with the
// picture's top row first whatever order the format stores them in: the form of pictures whose
// rows are addressed as the picture shows them (lightmap files). No GL.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "textures/ImageDecode.h"

namespace textures {

struct TTopFirstPicture {
  std::uint32_t Width = 0, Height = 0;
  std::vector<std::uint8_t> Rgb;  // Height rows of Width x 3 bytes, the top row first; no alpha
  std::string Error;              // why the picture cannot be had; empty when it can
  bool LeftOutByBudget = false;   // refused by the run's budget of decoded pixels, which says so
  bool Ok() const { return Error.empty(); }
};

// Decodes by the name's extension (.tga, .png, .jpg or .jpeg, any case). A TGA's rows are taken
// top first when its descriptor says so (bit 5), else bottom first; PNG and JPEG store the top
// row first. Sides above maxSide, or more pixels than maxPixels, are refused from the header.
TTopFirstPicture DecodeTopFirstRGB(std::span<const std::uint8_t> bytes, const std::string& fileName,
                                   std::uint32_t maxSide, std::size_t maxPixels = kNoPixelLimit);

}  // namespace textures
