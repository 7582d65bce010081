#include "level/ExportPlan.h"

#include <algorithm>
#include <map>
#include <optional>

#include "level/Patch.h"
#include "level/VertexLight.h"

std::int64_t DrawnTriangles(const TBSPFace& face, bool drawn, std::int32_t tessellation) {
  if (!drawn) return 0;
  switch (face.FaceType) {
    case kPolygonFace:
      return face.NumMeshVertices > 0 ? face.NumMeshVertices / 3 : std::max(0, face.NumVertices - 2);
    case kPatchFace: return PatchTriangleCount(face.PatchSize[0], face.PatchSize[1], tessellation);
    case kMeshFace: return face.NumMeshVertices / 3;
    default: return 0;
  }
}

namespace {

// The material of an exported face, or nothing when the export leaves it out.
std::optional<TExportMaterial> MaterialOf(const TExportSource& source, std::size_t f) {
  const TBSPFace& face = source.Faces[f];
  const std::int32_t t = face.TextureIndex;
  // Only faces in a texture group are drawn at all.
  if (t < 0 || static_cast<std::size_t>(t) >= source.Textures.size()) return std::nullopt;
  const bool drawn = source.Surfaces ? source.Surfaces->Drawn[f] != 0 : face.FaceType == kPolygonFace;
  if (DrawnTriangles(face, drawn, source.Tessellation) == 0) return std::nullopt;
  if (source.Textures[static_cast<std::size_t>(t)].Flags & (kSurfaceSky | kSurfaceNoDraw)) return std::nullopt;
  const bool shaded = !source.States.empty();
  if (shaded && !source.States[static_cast<std::size_t>(t)].Drawn) return std::nullopt;
  if (!source.FaceModels.empty() && source.FaceModels[f] != 0 && !source.BrushModels) return std::nullopt;
  const std::int32_t m = face.LightmapIndex;
  const shaders::TDrawState* state = shaded ? &source.States[static_cast<std::size_t>(t)] : nullptr;
  if (source.VertexLight && m == kVertexLitFace &&
      (!state || (!state->Blended && (state->Lightmap || state->VertexColours))))
    return TExportMaterial{t, kVertexLitAtlas};
  const std::int32_t page = source.PageSlots.empty() ? m
                            : m >= 0 && static_cast<std::size_t>(m) < source.PageSlots.size()
                                ? source.PageSlots[static_cast<std::size_t>(m)]
                                : -1;
  const bool lightmapped = m >= 0 && m < source.LightmapCount && (!state || state->Lightmap) && page >= 0;
  return TExportMaterial{t, lightmapped ? page / source.PagesPerAtlas : -1};
}

}  // namespace

TExportPlan PlanExport(const TExportSource& source) {
  TExportPlan plan;
  plan.FaceMaterial.assign(source.Faces.size(), -1);
  std::vector<std::optional<TExportMaterial>> chosen(source.Faces.size());
  std::map<TExportMaterial, std::int32_t> index;
  for (std::size_t f = 0; f < source.Faces.size(); ++f) {
    chosen[f] = MaterialOf(source, f);
    if (chosen[f]) index.emplace(*chosen[f], 0);
  }
  for (auto& [material, number] : index) {
    number = plan.Materials.size() < source.MostMaterials ? static_cast<std::int32_t>(plan.Materials.size()) : -1;
    (number >= 0 ? plan.Materials : plan.LeftOut).push_back(material);
  }
  for (std::size_t f = 0; f < chosen.size(); ++f) {
    if (!chosen[f] || (plan.FaceMaterial[f] = index.at(*chosen[f])) < 0) continue;
    ++plan.Faces;
    plan.Triangles += DrawnTriangles(source.Faces[f], true, source.Tessellation);
  }
  return plan;
}
