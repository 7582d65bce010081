#include "level/NoDraw.h"

#include <algorithm>

#include "level/ExportPlan.h"

bool NoDrawFace(const TBSPFace& face, std::span<const TBSPTexture> textures) {
  const std::int32_t t = face.TextureIndex;
  return t >= 0 && static_cast<std::size_t>(t) < textures.size() &&
         (textures[static_cast<std::size_t>(t)].Flags & kSurfaceNoDraw) != 0;
}

std::vector<TBSPFace> WithoutNoDrawPatches(std::span<const TBSPFace> faces, std::span<const TBSPTexture> textures) {
  std::vector<TBSPFace> planned(faces.begin(), faces.end());
  for (TBSPFace& face : planned)
    if (face.FaceType == kPatchFace && NoDrawFace(face, textures)) face.FaceType = 0;
  return planned;
}

void LeaveOutNoDrawFaces(TQuake3BSP& level, std::span<const TBSPTexture> textures) {
  const auto leaveOut = [&](std::vector<std::vector<std::int32_t>>& groups, std::vector<std::int32_t>& counts) {
    for (std::size_t g = 0; g < groups.size(); ++g) {
      std::erase_if(groups[g], [&](std::int32_t f) { return NoDrawFace(level.Faces[static_cast<std::size_t>(f)], textures); });
      if (g < counts.size()) counts[g] = static_cast<std::int32_t>(groups[g].size());
    }
  };
  leaveOut(level.TextureFaces, level.TextureFaceCounts);
  leaveOut(level.LightmapFaces, level.LightmapFaceCounts);
}
