#pragma once
// A writer of synthetic MD3 models for tests: surfaces of vertices (level units), texture
// coordinates and triangles, then the bytes; the counts and offsets it wrote can be bent after.
#include <cstdint>
#include <string>
#include <vector>

#include "genom/genom.h"

namespace testsupport {

struct TMd3SurfaceSpec {
  std::string Name = "body";
  std::string Shader = "models/test/skin";
  std::vector<TVector> Positions;
  std::vector<TTexCoord> Coords;
  std::vector<std::uint32_t> Indices;
};

class TMd3Writer {
 public:
  std::vector<TMd3SurfaceSpec> Surfaces;
  std::int32_t Frames = 1;

  // A flat square of side `size` in the z = 0 plane, centred on the origin, facing +z as the game
  // winds a model's outside.
  static TMd3SurfaceSpec Square(float size, const std::string& shader = "models/test/skin");

  std::vector<std::uint8_t> Bytes() const;

  // Where the header's and each surface's fields lie in Bytes(), to bend them.
  static constexpr std::size_t kFrameCountAt = 76, kSurfaceCountAt = 84, kSurfacesAt = 100;
  std::size_t SurfaceAt(std::size_t surface) const;  // the surface header's offset
  static constexpr std::size_t kSurfaceVertexCountAt = 80, kSurfaceTriangleCountAt = 84,
                               kSurfaceCoordsAt = 96, kSurfaceEndAt = 104;  // within a surface header
};

// Writes a little-endian int32 or float into bytes at `at`.
void PutInt32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value);
void PutFloat(std::vector<std::uint8_t>& bytes, std::size_t at, float value);

}  // namespace testsupport
