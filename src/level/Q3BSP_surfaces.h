#pragma once
// Curved surfaces and meshes in the level model (--surfaces all): which faces a frame draws, the
// curved surfaces tessellated into the per-face arrays at load time, and the triangles drawn.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "level/BSPFile.h"
#include "level/Patch.h"
#include "level/Q3BSP.h"

inline constexpr std::int32_t kPolygonFace = 1, kPatchFace = 2, kMeshFace = 3, kBillboardFace = 4;

// All curved surfaces of a level together are tessellated into at most this many triangles; a
// surface that would pass it is not drawn (with a warning). Memory stays bounded whatever the
// file: a triangle costs at most 12 bytes of indices and 2 x 44 bytes of vertex arrays.
// (OpenArena's most curved level needs 12 million at N = 64, 190,000 at N = 8.)
inline constexpr std::int64_t kMostPatchTriangles = std::int64_t{1} << 24;

// The faces a frame with TSurfaceSet::All draws at tessellation n, decided from the records
// alone: every polygon; a mesh with at least three mesh vertices; a curved surface whose grid
// passes PatchGridProblem and whose triangles keep the level within kMostPatchTriangles (in face
// order). Billboards and unknown types are never drawn. Raises std::invalid_argument for n
// outside 1 .. kMostTessellation (the command line never passes one).
struct TSurfacePlan {
  std::vector<std::uint8_t> Drawn;    // per face, 1 when drawn
  std::int32_t Tessellated = 0;       // curved surfaces drawn
  std::int32_t NotDrawn = 0;          // curved surfaces refused
  std::int64_t PatchTriangles = 0;    // of the curved surfaces drawn
  std::vector<std::string> Warnings;  // one per refused curved surface, naming the face
};
TSurfacePlan PlanSurfaces(std::span<const TBSPFace> faces, std::int32_t n);

// After the plain per-face arrays are built: each planned curved surface's arrays and
// FaceIndices replaced by its tessellation (the texture's t negated as for every face), the
// refused ones left without FaceIndices; fills level.Surfaces.
void TessellatePatches(TQuake3BSP& level, const TBSPFile& file, std::int32_t n);

// Whether a frame with TSurfaceSet::All draws the loaded face: a polygon always (by its triangles
// or as a fan), any other type when it has triangles.
bool SurfaceDrawn(const TQuake3BSP& level, std::size_t face);

// The triangles the last frame drew in its texture pass (the lightmap pass draws no others):
// visible faces of texture groups that a frame with these options draws.
std::int64_t FrameTriangleCount(const TQuake3BSP& level, const TRenderOptions& options);

// Triangles per face type: the file's own (a polygon's or mesh's mesh vertices / 3, a polygon
// without any as a fan of NumVertices - 2; a curved surface's control grid as 2 (w - 1)(h - 1)),
// or after tessellation at n (curved surfaces as the plan draws them).
struct TTriangleCounts {
  std::int64_t Polygon = 0, Patch = 0, Mesh = 0;
};
TTriangleCounts FileTriangles(std::span<const TBSPFace> faces);
TTriangleCounts TessellatedTriangles(std::span<const TBSPFace> faces, const TSurfacePlan& plan);
