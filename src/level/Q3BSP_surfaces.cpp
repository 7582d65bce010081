#include "level/Q3BSP_surfaces.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "level/NoDraw.h"
#include "level/Patch.h"

namespace {

std::int64_t PolygonTriangles(const TBSPFace& face) {
  return face.NumMeshVertices > 0 ? face.NumMeshVertices / 3 : std::max(0, face.NumVertices - 2);
}

}  // namespace

std::uint64_t PatchBytes(std::int32_t width, std::int32_t height, std::int32_t n) {
  const std::uint64_t columns = static_cast<std::uint64_t>((width - 1) / 2) * static_cast<std::uint64_t>(n) + 1;
  const std::uint64_t rows = static_cast<std::uint64_t>((height - 1) / 2) * static_cast<std::uint64_t>(n) + 1;
  return 44 * columns * rows + 12 * static_cast<std::uint64_t>(PatchTriangleCount(width, height, n));
}

std::uint64_t TessellationAllowance(const platform::TBudgetLimits& limits, std::uint64_t left,
                                    std::uint64_t fileSize) {
  const std::uint64_t perFile = limits.TessellationPerFileByte;
  const std::uint64_t ofFile = fileSize > UINT64_MAX / perFile ? UINT64_MAX : fileSize * perFile;
  return std::min(left, ofFile);
}

TSurfacePlan PlanSurfaces(std::span<const TBSPFace> faces, std::int32_t n, std::uint64_t mostBytes) {
  if (n < 1 || n > kMostTessellation)
    throw std::invalid_argument("tessellation " + std::to_string(n) + " is not from 1 to " +
                                std::to_string(kMostTessellation));
  TSurfacePlan plan;
  plan.Drawn.assign(faces.size(), 0);
  for (std::size_t f = 0; f < faces.size(); ++f) {
    const TBSPFace& face = faces[f];
    switch (face.FaceType) {
      case kPolygonFace: plan.Drawn[f] = 1; break;
      case kMeshFace: plan.Drawn[f] = face.NumMeshVertices >= 3; break;
      case kPatchFace: {
        std::optional<std::string> problem = PatchGridProblem(face);
        const std::int64_t triangles =
            problem ? 0 : PatchTriangleCount(face.PatchSize[0], face.PatchSize[1], n);
        if (!problem && plan.PatchTriangles + triangles > kMostPatchTriangles)
          problem = std::to_string(triangles) + " triangles would take the level past " +
                    std::to_string(kMostPatchTriangles);
        if (problem) {
          ++plan.NotDrawn;
          plan.Warnings.push_back("Face " + std::to_string(f) + ": curved surface not drawn: " +
                                  *problem);
          break;
        }
        const std::uint64_t bytes = PatchBytes(face.PatchSize[0], face.PatchSize[1], n);
        if (bytes > mostBytes - plan.PatchBytes) {
          ++plan.NotDrawn;
          plan.OverBudget.push_back(static_cast<std::int32_t>(f));
          break;
        }
        plan.Drawn[f] = 1;
        ++plan.Tessellated;
        plan.PatchTriangles += triangles;
        plan.PatchBytes += bytes;
        break;
      }
      default: break;
    }
  }
  return plan;
}

void TessellatePatches(TQuake3BSP& level, const TBSPFile& file, std::int32_t n,
                       platform::TBudget* budget, std::uint64_t fileSize, bool skipNoDraw) {
  using platform::TBudgetKind;
  const std::uint64_t allowance =
      budget ? TessellationAllowance(budget->Limits(), budget->Left(TBudgetKind::Tessellation), fileSize)
             : UINT64_MAX;
  TSurfacePlan plan = skipNoDraw ? PlanSurfaces(WithoutNoDrawPatches(level.Faces, file.Textures), n, allowance)
                                  : PlanSurfaces(level.Faces, n, allowance);
  if (budget) {
    budget->Take(TBudgetKind::Tessellation, plan.PatchBytes, "");
    for (const std::int32_t face : plan.OverBudget)
      budget->LeftOut(TBudgetKind::Tessellation, "face " + std::to_string(face));
  }
  for (std::size_t f = 0; f < level.Faces.size(); ++f) {
    const TBSPFace& face = level.Faces[f];
    if (face.FaceType != kPatchFace) continue;
    if (!plan.Drawn[f]) {
      level.FaceIndices[f].clear();
      continue;
    }
    TPatchMesh mesh = TessellatePatch(
        std::span(file.Vertices).subspan(static_cast<std::size_t>(face.FirstVertex),
                                         static_cast<std::size_t>(face.NumVertices)),
        face.PatchSize[0], face.PatchSize[1], n);
    // The same conversion as the plain arrays get.
    const std::size_t count = mesh.Vertices.size();
    level.FaceVertices[f].resize(count);
    level.FaceNormals[f].resize(count);
    level.FaceTexCoords[f].resize(count);
    level.FaceLightmapCoords[f].resize(count);
    level.FaceColors[f].resize(count);
    for (std::size_t j = 0; j < count; ++j) {
      const TBSPVertex& vertex = mesh.Vertices[j];
      level.FaceVertices[f][j] = vertex.Position;
      level.FaceNormals[f][j] = vertex.Normal;
      level.FaceTexCoords[f][j] = {vertex.TexCoord.S, -vertex.TexCoord.T};
      level.FaceLightmapCoords[f][j] = vertex.LightmapCoord;
      std::memcpy(level.FaceColors[f][j].data(), vertex.Color, 4);
    }
    level.FaceIndices[f] = std::move(mesh.Indices);
  }
  level.Surfaces.Tessellation = n;
  level.Surfaces.Tessellated = plan.Tessellated;
  level.Surfaces.NotDrawn = plan.NotDrawn;
  level.Surfaces.Triangles = plan.PatchTriangles;
  level.Surfaces.Warnings = std::move(plan.Warnings);
}

bool SurfaceDrawn(const TQuake3BSP& level, std::size_t face) {
  const std::int32_t type = level.Faces[face].FaceType;
  if (type == kPolygonFace) return true;
  return (type == kPatchFace || type == kMeshFace) && level.FaceIndices[face].size() >= 3;
}

bool FrameDrawsFace(const TQuake3BSP& level, std::size_t face, bool allSurfaces) {
  return allSurfaces ? SurfaceDrawn(level, face) : level.Faces[face].FaceType == kPolygonFace;
}

std::int64_t FrameTriangleCount(const TQuake3BSP& level, const TRenderOptions& options) {
  std::int64_t triangles = 0;
  for (const std::vector<std::int32_t>& group : level.TextureFaces) {
    for (const std::int32_t f : group) {
      const std::size_t face = static_cast<std::size_t>(f);
      if (level.FaceVisible[face] == 0) continue;
      if (!FrameDrawsFace(level, face, options.Surfaces == TSurfaceSet::All)) continue;
      const std::size_t indices = level.FaceIndices[face].size();
      triangles += indices > 0 ? static_cast<std::int64_t>(indices / 3)
                               : std::max(0, level.Faces[face].NumVertices - 2);
    }
  }
  return triangles;
}

TTriangleCounts FileTriangles(std::span<const TBSPFace> faces) {
  TTriangleCounts counts;
  for (const TBSPFace& face : faces) {
    switch (face.FaceType) {
      case kPolygonFace: counts.Polygon += PolygonTriangles(face); break;
      case kMeshFace: counts.Mesh += face.NumMeshVertices / 3; break;
      case kPatchFace: {
        const std::int64_t w = face.PatchSize[0], h = face.PatchSize[1];
        // Only a grid that matches the face's vertices is a grid at all (and then w x h is small).
        if (w >= 2 && h >= 2 && w * h == face.NumVertices) counts.Patch += 2 * (w - 1) * (h - 1);
        break;
      }
      default: break;
    }
  }
  return counts;
}

TTriangleCounts TessellatedTriangles(std::span<const TBSPFace> faces, const TSurfacePlan& plan) {
  TTriangleCounts counts = FileTriangles(faces);
  counts.Patch = plan.PatchTriangles;
  for (std::size_t f = 0; f < faces.size(); ++f)
    if (faces[f].FaceType == kMeshFace && !plan.Drawn[f]) counts.Mesh -= faces[f].NumMeshVertices / 3;
  return counts;
}
