#pragma once
// MD3 models (the game's item, weapon and decoration models): the first frame of each surface as
// triangles, with texture coordinates, normals and the surface's shader name. Pure: bytes in,
// checked records out, bounded for hostile files. Also the .skin files that name a surface's
// image instead.
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "genom/genom.h"

// A file that is no usable MD3 model at all; the text says why.
class EMd3Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The format's own limits; a count above them is refused.
inline constexpr std::int32_t kMd3MostFrames = 1024, kMd3MostTags = 16, kMd3MostSurfaces = 32,
                              kMd3MostShaders = 256, kMd3MostVertices = 4096, kMd3MostTriangles = 8192;
// One vertex coordinate unit is 1/64 of a level unit.
inline constexpr float kMd3PositionScale = 1.0f / 64.0f;

struct TMd3Surface {
  std::string Name;
  std::string Shader;  // the first shader name, as written (may carry an image extension)
  AGLNrf3 Positions;   // frame 0, in model units
  AGLNrf3 Normals;     // unit length
  AGLNrf2 Coords;      // as stored (t runs down the image)
  std::vector<std::uint32_t> Indices;  // three per triangle, each below Positions.size()
};

struct TMd3Model {
  std::vector<TMd3Surface> Surfaces;
  // Surfaces that were skipped, with the reason ("surface 2 (flag): ...").
  std::vector<std::string> Warnings;
};

// Reads frame 0 of every surface. Raises EMd3Error when the header is not an MD3 one (ident
// "IDP3", version 15), a count lies outside the format's limits, or the frames lie outside the
// file. A surface whose own header, triangles, texture coordinates or vertices lie outside the
// file or outside its counts, that names a vertex it does not have, or whose texture coordinates
// are not finite, is skipped with a warning (and the surfaces after one whose size is unusable).
TMd3Model ParseMd3(std::span<const std::uint8_t> bytes);

// The normal packed in an MD3 vertex: latitude in the high byte, longitude in the low one, each a
// fraction of a full turn in 255ths.
TVector Md3Normal(std::uint16_t packed);

// A .skin file: "surface,image" lines; lines without an image (tags) and blank ones are ignored.
// Surface names are kept in lower case.
std::map<std::string, std::string> ParseSkin(std::string_view text);
// The same, keeping only the lines of the named surfaces (lower case): a skin file may be as
// large as any file, its model has a handful of surfaces.
std::map<std::string, std::string> ParseSkin(std::string_view text, const std::set<std::string>& surfaces);
