#pragma once
// What an export of a level holds, decided from the file's records alone, so that --info can count
// it without loading an image: the faces a frame with the same options draws (polygons, with
// --surfaces all also curved surfaces and meshes), less sky and nodraw surfaces, each in one
// material, a pair of surface texture and lightmap atlas. Pure: records in, a plan out.
#include <compare>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "level/Q3BSP.h"
#include "level/Q3BSP_surfaces.h"
#include "shaders/Shaders.h"

// Surface flags that the map compiler writes into a texture record from its shader's surfaceparms:
// they hold without the shader scripts too.
inline constexpr std::int32_t kSurfaceSky = 0x4, kSurfaceNoDraw = 0x80;

// An export of more triangles than this is refused before anything large is built: 10 million
// triangles take about 1 GB while they are gathered and written, and no level of the game comes
// near (OpenArena's largest: about 190,000 at --tess 8, 12 million at --tess 64).
inline constexpr std::int64_t kMostExportTriangles = 10'000'000;

inline constexpr std::int32_t kVertexLitAtlas = -2;

struct TExportMaterial {
  std::int32_t Texture = 0;
  std::int32_t Atlas = -1;  // the lightmap atlas its faces use; -1: drawn without a lightmap;
                            // kVertexLitAtlas: lit by its vertex colours (--vertex-light)
  auto operator<=>(const TExportMaterial&) const = default;
};

struct TExportSource {
  std::span<const TBSPFace> Faces;
  std::span<const TBSPTexture> Textures;
  // --shaders: per texture, the draw state; empty without the scripts.
  std::span<const shaders::TDrawState> States;
  // --surfaces all: the plan of the load at Tessellation; null for polygons only.
  const TSurfacePlan* Surfaces = nullptr;
  std::int32_t Tessellation = kDefaultTessellation;
  // Per face, its model (FaceModels of level/BrushModels.h); empty: every face is the world's.
  std::span<const std::int32_t> FaceModels;
  // Faces of brush models are exported too (the viewer draws them only when it draws brush models).
  bool BrushModels = false;
  std::int32_t LightmapCount = 0;
  std::int32_t PagesPerAtlas = 1;
  // Per lightmap, its page, or -1 for none (lightmap files that cannot be used); empty: lightmap
  // m is page m.
  std::span<const std::int32_t> PageSlots = {};
  // --vertex-light: faces with lightmap index -3 that the vertex pass draws get materials of their
  // own, with kVertexLitAtlas.
  bool VertexLight = false;
  // The most materials the export keeps: the faces of the rest are left out.
  std::size_t MostMaterials = SIZE_MAX;
};

struct TExportPlan {
  std::vector<std::int32_t> FaceMaterial;  // per face: index into Materials; -1: not exported
  std::vector<TExportMaterial> Materials;  // in ascending order
  std::int64_t Triangles = 0;
  std::int32_t Faces = 0;
  std::vector<TExportMaterial> LeftOut;  // past MostMaterials, in ascending order
};

TExportPlan PlanExport(const TExportSource& source);

// The triangles a frame draws the face with: a polygon's mesh vertices / 3 (or a fan of
// NumVertices - 2 without any); with a surface plan a drawn curved surface's tessellation and a
// drawn mesh's mesh vertices / 3; 0 for anything else.
std::int64_t DrawnTriangles(const TBSPFace& face, bool drawn, std::int32_t tessellation);
