// The MD3 reader over arbitrary bytes: it may refuse them, but only with its own error, and every
// surface it keeps must be safe to walk: each index names one of the surface's vertices.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "level/Md3.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const TMd3Model model = ParseMd3(std::span<const std::uint8_t>(data, size));
    volatile float sink = 0;
    for (const TMd3Surface& surface : model.Surfaces) {
      if (surface.Positions.size() != surface.Coords.size() || surface.Normals.size() != surface.Coords.size() ||
          surface.Indices.size() % 3 != 0)
        __builtin_trap();
      for (const std::uint32_t index : surface.Indices)
        sink = sink + surface.Positions.at(index).X + surface.Coords.at(index).S;
      for (const TTexCoord& coord : surface.Coords)
        if (!std::isfinite(coord.S) || !std::isfinite(coord.T)) __builtin_trap();
    }
  } catch (const EMd3Error&) {
  }
  return 0;
}
