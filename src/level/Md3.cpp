// MD3 models read from their bytes: every count checked against the format's limits and every
// run against the file before anything is allocated for it.
#include "level/Md3.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr std::size_t kHeaderSize = 108, kSurfaceHeaderSize = 108, kFrameSize = 56, kShaderSize = 68,
                      kTriangleSize = 12, kCoordSize = 8, kVertexSize = 8;

class TBytes {
 public:
  explicit TBytes(std::span<const std::uint8_t> bytes) : Bytes(bytes) {}
  std::int32_t Int(std::size_t at) const { return Get<std::int32_t>(at); }
  template <class T>
  T Get(std::size_t at) const {
    T value;
    std::memcpy(&value, Bytes.data() + at, sizeof value);
    return value;
  }
  std::string Text(std::size_t at, std::size_t most) const {
    const char* first = reinterpret_cast<const char*>(Bytes.data()) + at;
    return std::string(first, strnlen(first, most));
  }
  // `count` records of `size` bytes from `start + offset` lie inside the bytes.
  bool Holds(std::int64_t start, std::int64_t offset, std::int64_t count, std::int64_t size) const {
    const std::int64_t first = start + offset;
    return offset >= 0 && count >= 0 && first >= 0 && first + count * size <= static_cast<std::int64_t>(Bytes.size());
  }

 private:
  std::span<const std::uint8_t> Bytes;
};

struct TSurfaceHeader {
  std::string Name;
  std::int32_t Frames, Shaders, Vertices, Triangles, TrianglesAt, ShadersAt, CoordsAt, VerticesAt, End;
};

TSurfaceHeader ReadSurfaceHeader(const TBytes& in, std::size_t at) {
  return {in.Text(at + 4, 64), in.Int(at + 72), in.Int(at + 76), in.Int(at + 80), in.Int(at + 84),
          in.Int(at + 88),     in.Int(at + 92), in.Int(at + 96), in.Int(at + 100), in.Int(at + 104)};
}

// The surface at `at`, or the reason it cannot be drawn.
std::string ReadSurface(const TBytes& in, std::int64_t at, const TSurfaceHeader& h, TMd3Surface& surface) {
  if (h.Frames < 1 || h.Frames > kMd3MostFrames) return "frame count " + std::to_string(h.Frames) + " outside 1..1024";
  if (h.Shaders < 0 || h.Shaders > kMd3MostShaders) return "shader count " + std::to_string(h.Shaders) + " outside 0..256";
  if (h.Vertices < 0 || h.Vertices > kMd3MostVertices) return "vertex count " + std::to_string(h.Vertices) + " outside 0..4096";
  if (h.Triangles < 0 || h.Triangles > kMd3MostTriangles)
    return "triangle count " + std::to_string(h.Triangles) + " outside 0..8192";
  if (!in.Holds(at, h.ShadersAt, h.Shaders, kShaderSize)) return "its shaders lie outside the file";
  if (!in.Holds(at, h.TrianglesAt, h.Triangles, kTriangleSize)) return "its triangles lie outside the file";
  if (!in.Holds(at, h.CoordsAt, h.Vertices, kCoordSize)) return "its texture coordinates lie outside the file";
  if (!in.Holds(at, h.VerticesAt, h.Vertices, kVertexSize)) return "its vertices lie outside the file";
  surface.Name = h.Name;
  if (h.Shaders > 0) surface.Shader = in.Text(static_cast<std::size_t>(at + h.ShadersAt), 64);
  const std::size_t vertexCount = static_cast<std::size_t>(h.Vertices);
  surface.Indices.resize(static_cast<std::size_t>(h.Triangles) * 3);
  for (std::size_t i = 0; i < surface.Indices.size(); ++i) {
    const std::int32_t index = in.Int(static_cast<std::size_t>(at + h.TrianglesAt) + 4 * i);
    if (index < 0 || static_cast<std::size_t>(index) >= vertexCount)
      return "triangle " + std::to_string(i / 3) + " names vertex " + std::to_string(index) + " of " +
             std::to_string(vertexCount);
    surface.Indices[i] = static_cast<std::uint32_t>(index);
  }
  surface.Coords.resize(vertexCount);
  surface.Positions.resize(vertexCount);
  surface.Normals.resize(vertexCount);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    const std::size_t coord = static_cast<std::size_t>(at + h.CoordsAt) + kCoordSize * v;
    surface.Coords[v] = {in.Get<float>(coord), in.Get<float>(coord + 4)};
    if (!std::isfinite(surface.Coords[v].S) || !std::isfinite(surface.Coords[v].T))
      return "vertex " + std::to_string(v) + " has texture coordinates that are not numbers";
    const std::size_t vertex = static_cast<std::size_t>(at + h.VerticesAt) + kVertexSize * v;
    surface.Positions[v] = {in.Get<std::int16_t>(vertex) * kMd3PositionScale,
                            in.Get<std::int16_t>(vertex + 2) * kMd3PositionScale,
                            in.Get<std::int16_t>(vertex + 4) * kMd3PositionScale};
    surface.Normals[v] = Md3Normal(in.Get<std::uint16_t>(vertex + 6));
  }
  return {};
}

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

TVector Md3Normal(std::uint16_t packed) {
  const double turn = 2 * std::numbers::pi / 255;
  const double latitude = ((packed >> 8) & 255) * turn, longitude = (packed & 255) * turn;
  return {static_cast<float>(std::cos(latitude) * std::sin(longitude)),
          static_cast<float>(std::sin(latitude) * std::sin(longitude)), static_cast<float>(std::cos(longitude))};
}

TMd3Model ParseMd3(std::span<const std::uint8_t> bytes) {
  const TBytes in(bytes);
  if (bytes.size() < kHeaderSize) throw EMd3Error("not an MD3 model (" + std::to_string(bytes.size()) + " bytes)");
  if (std::memcmp(bytes.data(), "IDP3", 4) != 0) throw EMd3Error("not an MD3 model (no IDP3 at its start)");
  if (in.Int(4) != 15) throw EMd3Error("MD3 version " + std::to_string(in.Int(4)) + ", not 15");
  const std::int32_t frames = in.Int(76), tags = in.Int(80), surfaces = in.Int(84);
  if (frames < 1 || frames > kMd3MostFrames) throw EMd3Error("frame count " + std::to_string(frames) + " outside 1..1024");
  if (tags < 0 || tags > kMd3MostTags) throw EMd3Error("tag count " + std::to_string(tags) + " outside 0..16");
  if (surfaces < 0 || surfaces > kMd3MostSurfaces)
    throw EMd3Error("surface count " + std::to_string(surfaces) + " outside 0..32");
  if (!in.Holds(0, in.Int(92), frames, kFrameSize)) throw EMd3Error("its frames lie outside the file");

  TMd3Model model;
  std::int64_t at = in.Int(100);
  for (std::int32_t s = 0; s < surfaces; ++s) {
    const std::string title = "surface " + std::to_string(s);
    if (!in.Holds(at, 0, 1, kSurfaceHeaderSize)) {
      model.Warnings.push_back(title + " and those after it lie outside the file: skipped");
      break;
    }
    const TSurfaceHeader header = ReadSurfaceHeader(in, static_cast<std::size_t>(at));
    TMd3Surface surface;
    const std::string problem = ReadSurface(in, at, header, surface);
    if (problem.empty())
      model.Surfaces.push_back(std::move(surface));
    else
      model.Warnings.push_back(title + " (" + header.Name + "): " + problem + ": skipped");
    // The next surface follows this one's end; an end that does not move forward ends the chain.
    if (header.End < static_cast<std::int32_t>(kSurfaceHeaderSize)) {
      if (s + 1 < surfaces) model.Warnings.push_back("surfaces after " + title + ": its size is unusable: skipped");
      break;
    }
    at += header.End;
  }
  return model;
}

namespace {

std::map<std::string, std::string> SkinLines(std::string_view text, const std::set<std::string>* surfaces) {
  std::map<std::string, std::string> images;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) continue;
    const std::string_view image = Trimmed(line.substr(comma + 1));
    if (image.empty()) continue;
    std::string surface(Trimmed(line.substr(0, comma)));
    for (char& c : surface)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!surfaces || surfaces->contains(surface)) images.emplace(std::move(surface), std::string(image));
  }
  return images;
}

}  // namespace

std::map<std::string, std::string> ParseSkin(std::string_view text) { return SkinLines(text, nullptr); }

std::map<std::string, std::string> ParseSkin(std::string_view text, const std::set<std::string>& surfaces) {
  return SkinLines(text, &surfaces);
}
