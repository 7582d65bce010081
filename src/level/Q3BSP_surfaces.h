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
#include "platform/Budget.h"

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
// With `mostBytes`, the curved surfaces together also keep within that much memory
// (PatchBytes each); the surfaces past it are left out in face order, without a warning of their
// own: the run's budget names them.
struct TSurfacePlan {
  std::vector<std::uint8_t> Drawn;    // per face, 1 when drawn
  std::int32_t Tessellated = 0;       // curved surfaces drawn
  std::int32_t NotDrawn = 0;          // curved surfaces refused (also those over the budget)
  std::int64_t PatchTriangles = 0;    // of the curved surfaces drawn
  std::uint64_t PatchBytes = 0;       // their memory
  std::vector<std::string> Warnings;  // one per refused curved surface, naming the face
  std::vector<std::int32_t> OverBudget;  // faces left out for the memory
};
TSurfacePlan PlanSurfaces(std::span<const TBSPFace> faces, std::int32_t n,
                          std::uint64_t mostBytes = UINT64_MAX);

// The memory of a w x h grid tessellated at n in the level's arrays: 44 bytes per vertex
// (position, normal, two coordinate pairs, colour) and 12 per triangle (three indices).
std::uint64_t PatchBytes(std::int32_t width, std::int32_t height, std::int32_t n);

// The memory the curved surfaces of a level file of `fileSize` bytes may take: what is left of
// the budget, and at most its figure per byte of the file.
std::uint64_t TessellationAllowance(const platform::TBudgetLimits& limits, std::uint64_t left,
                                    std::uint64_t fileSize);

// After the plain per-face arrays are built: each planned curved surface's arrays and
// FaceIndices replaced by its tessellation (the texture's t negated as for every face), the
// refused ones left without FaceIndices; fills level.Surfaces. With a budget, the memory is
// taken from it (within TessellationAllowance of `fileSize`) and the surfaces left out are noted.
// With skipNoDraw (--skip-nodraw), curved surfaces of nodraw textures are not planned at all.
void TessellatePatches(TQuake3BSP& level, const TBSPFile& file, std::int32_t n,
                       platform::TBudget* budget = nullptr, std::uint64_t fileSize = 0, bool skipNoDraw = false);

// Whether a frame with TSurfaceSet::All draws the loaded face: a polygon always (by its triangles
// or as a fan), any other type when it has triangles.
bool SurfaceDrawn(const TQuake3BSP& level, std::size_t face);

// Whether a frame draws the face: with every surface SurfaceDrawn, else polygons alone.
bool FrameDrawsFace(const TQuake3BSP& level, std::size_t face, bool allSurfaces);

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
