#include "level/VertexLight.h"

#include <cstring>
#include <span>
#include <vector>

#include "level/GameLight.h"
#include "level/Patch.h"
#include "level/Q3BSP_lightmaps.h"
#include "level/Q3BSP_surfaces.h"

namespace {


// A tessellated curved surface: its control grid with brightened colours, evaluated as its
// positions were (the same grid, size and segment count give the same vertices in the same order).
AGLbyt4 TessellatedColours(const TBSPFace& face, const TBSPFile& file, std::int32_t segments, bool game) {
  std::vector<TBSPVertex> grid(file.Vertices.begin() + face.FirstVertex,
                               file.Vertices.begin() + face.FirstVertex + face.NumVertices);
  for (TBSPVertex& vertex : grid) std::memcpy(vertex.Color, LitVertexColour(vertex.Color, game).data(), 4);
  const TPatchMesh mesh = TessellatePatch(grid, face.PatchSize[0], face.PatchSize[1], segments);
  AGLbyt4 colours(mesh.Vertices.size());
  for (std::size_t j = 0; j < colours.size(); ++j) std::memcpy(colours[j].data(), mesh.Vertices[j].Color, 4);
  return colours;
}

}  // namespace

void BuildVertexLightColours(TQuake3BSP& level, const TBSPFile& file) {
  TLevelLighting& lighting = level.Lighting;
  lighting.FaceColours.assign(level.Faces.size(), {});
  for (std::size_t f = 0; f < level.Faces.size(); ++f) {
    const TBSPFace& face = level.Faces[f];
    if (face.LightmapIndex != kVertexLitFace) continue;
    // Tessellated at load: the curved surface's arrays hold its evaluated vertices and its
    // triangles (a refused one keeps its control points and has none).
    const bool tessellated = face.FaceType == kPatchFace && level.Surfaces.Tessellation > 0 &&
                             !level.FaceIndices[f].empty();
    if (tessellated) {
      lighting.FaceColours[f] = TessellatedColours(face, file, level.Surfaces.Tessellation, lighting.GameLight);
      continue;
    }
    const AGLbyt4& colours = level.FaceColors[f];
    lighting.FaceColours[f].resize(colours.size());
    for (std::size_t j = 0; j < colours.size(); ++j) lighting.FaceColours[f][j] = LitVertexColour(colours[j].data(), lighting.GameLight);
  }
}

void GroupVertexLitFaces(TQuake3BSP& level, bool shaded) {
  TLevelLighting& lighting = level.Lighting;
  for (std::size_t f = 0; f < level.Faces.size(); ++f) {
    if (level.Faces[f].LightmapIndex != kVertexLitFace) continue;
    const std::int32_t face = static_cast<std::int32_t>(f);
    if (!shaded) {
      lighting.VertexLitFaces.push_back(face);
      continue;
    }
    const std::int32_t t = level.Faces[f].TextureIndex;
    if (t < 0 || t >= level.TextureCount || static_cast<std::size_t>(t) >= level.Shading.States.size()) continue;
    const shaders::TDrawState& state = level.Shading.States[static_cast<std::size_t>(t)];
    if (!state.Drawn || state.Blended || !(state.Lightmap || state.VertexColours)) continue;
    (state.TwoSided ? lighting.TwoSidedShadedFaces : lighting.OneSidedShadedFaces).push_back(face);
  }
}
