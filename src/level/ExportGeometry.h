#pragma once
// The level's exported faces as glTF wants its geometry: one mesh for the world and one per brush
// model with faces to show, each with one indexed primitive per material (surface texture and
// lightmap atlas), in glTF's frame (Y up, metres) and wound so that culling the back faces keeps
// the faces the viewer keeps. Pure: the loaded level model in, arrays out.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "level/BrushModels.h"
#include "level/ExportPlan.h"
#include "level/LightmapAtlas.h"
#include "level/Q3BSP.h"

// Metres per level unit: an inch, as the game's units were drawn.
inline constexpr float kMetresPerUnit = 0.0254f;

// The level's (x, y, z), Z up, as glTF's (x, z, -y) scaled: a turn about X, so nothing is
// mirrored. A coordinate that is not finite (before or after scaling) becomes 0.
std::array<float, 3> GltfPoint(const TVector& point, float scale);

struct TExportPrimitive {
  std::int32_t Material = 0;
  std::vector<float> Positions, Normals;  // three per vertex
  std::vector<float> TexCoords;           // two per vertex: the surface image's (s, t) as stored
  std::vector<float> LightmapCoords;      // two per vertex in the atlas; empty without a lightmap
  // Four per vertex with kVertexLitAtlas: the brightened vertex colours of the vertex pass (alpha
  // 255); empty otherwise.
  std::vector<std::uint8_t> Colours;
  std::vector<std::uint32_t> Indices;     // three per triangle
  std::array<float, 3> Min{}, Max{};      // of Positions
};

struct TExportMesh {
  std::string Name;                   // "world", or "*k" for brush model k as entities name it
  std::array<float, 3> Translation{};  // where the node stands; Positions are relative to it
  std::vector<TExportPrimitive> Primitives;
};

// The meshes of the plan's faces: the world's first (even without primitives), then each brush
// model with exported faces, at the centre of its bounds. faceModels is per face (FaceModels);
// empty, every face is the world's.
std::vector<TExportMesh> BuildExportMeshes(const TQuake3BSP& level, const TExportPlan& plan,
                                           const TAtlasLayout& atlases,
                                           std::span<const std::int32_t> faceModels,
                                           std::span<const TBSPModel> models, float scale);
