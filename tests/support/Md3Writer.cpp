#include "support/Md3Writer.h"

#include <cmath>
#include <cstring>

namespace testsupport {
namespace {

void Append(std::vector<std::uint8_t>& out, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out.insert(out.end(), bytes, bytes + size);
}
template <class T>
void Append(std::vector<std::uint8_t>& out, T value) {
  Append(out, &value, sizeof value);
}
void AppendName(std::vector<std::uint8_t>& out, const std::string& name) {
  char padded[64] = {};
  std::memcpy(padded, name.data(), std::min<std::size_t>(name.size(), 63));
  Append(out, padded, 64);
}

std::vector<std::uint8_t> SurfaceBytes(const TMd3SurfaceSpec& s, std::int32_t frames) {
  const std::int32_t vertices = static_cast<std::int32_t>(s.Positions.size());
  const std::int32_t triangles = static_cast<std::int32_t>(s.Indices.size() / 3);
  const std::int32_t shadersAt = 108, trianglesAt = shadersAt + 68, coordsAt = trianglesAt + 12 * triangles,
                     verticesAt = coordsAt + 8 * vertices, end = verticesAt + 8 * vertices * frames;
  std::vector<std::uint8_t> out;
  Append(out, "IDP3", 4);
  AppendName(out, s.Name);
  for (const std::int32_t value : {0, frames, 1, vertices, triangles, trianglesAt, shadersAt, coordsAt, verticesAt, end})
    Append(out, value);
  AppendName(out, s.Shader);
  Append(out, std::int32_t{0});
  for (const std::uint32_t index : s.Indices) Append(out, static_cast<std::int32_t>(index));
  for (const TTexCoord& coord : s.Coords) Append(out, coord);
  for (std::int32_t f = 0; f < frames; ++f)
    for (const TVector& p : s.Positions) {
      for (const float v : {p.X, p.Y, p.Z}) Append(out, static_cast<std::int16_t>(std::lround(v * 64)));
      Append(out, std::uint16_t{0});  // latitude 0, longitude 0: straight up
    }
  return out;
}

}  // namespace

TMd3SurfaceSpec TMd3Writer::Square(float size, const std::string& shader) {
  const float h = size / 2;
  TMd3SurfaceSpec square;
  square.Shader = shader;
  square.Positions = {{-h, -h, 0}, {h, -h, 0}, {h, h, 0}, {-h, h, 0}};
  square.Coords = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
  square.Indices = {0, 3, 2, 0, 2, 1};  // clockwise seen from +z
  return square;
}

std::size_t TMd3Writer::SurfaceAt(std::size_t surface) const {
  std::size_t at = 108 + 56 * static_cast<std::size_t>(Frames);
  for (std::size_t s = 0; s < surface; ++s) at += SurfaceBytes(Surfaces[s], Frames).size();
  return at;
}

std::vector<std::uint8_t> TMd3Writer::Bytes() const {
  std::vector<std::uint8_t> surfaces;
  for (const TMd3SurfaceSpec& s : Surfaces) {
    const std::vector<std::uint8_t> bytes = SurfaceBytes(s, Frames);
    surfaces.insert(surfaces.end(), bytes.begin(), bytes.end());
  }
  const std::int32_t framesAt = 108, surfacesAt = framesAt + 56 * Frames,
                     end = surfacesAt + static_cast<std::int32_t>(surfaces.size());
  std::vector<std::uint8_t> out;
  Append(out, "IDP3", 4);
  Append(out, std::int32_t{15});
  AppendName(out, "models/test/model.md3");
  for (const std::int32_t value : {0, Frames, 0, static_cast<std::int32_t>(Surfaces.size()), 0, framesAt, 0, surfacesAt, end})
    Append(out, value);
  for (std::int32_t f = 0; f < Frames; ++f) {
    for (const float v : {-64.0f, -64.0f, -64.0f, 64.0f, 64.0f, 64.0f, 0.0f, 0.0f, 0.0f, 111.0f}) Append(out, v);
    AppendName(out, "frame");  // 16 bytes are the frame's name: the rest is cut below
    out.resize(out.size() - 48);
  }
  out.insert(out.end(), surfaces.begin(), surfaces.end());
  return out;
}

void PutInt32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value) {
  std::memcpy(bytes.data() + at, &value, 4);
}

void PutFloat(std::vector<std::uint8_t>& bytes, std::size_t at, float value) {
  std::memcpy(bytes.data() + at, &value, 4);
}

}  // namespace testsupport
