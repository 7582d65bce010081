#include "render/TurbCoords.h"

std::optional<shaders::TVertexTexMods> VertexTurbFor(const TQuake3BSP& level, const shaders::TShader& shader,
                                                     const shaders::TPlannedStage& stage, double seconds) {
  if (!level.Shading.VertexTurb || stage.Stage >= shader.Stages.size()) return std::nullopt;
  const std::vector<shaders::TTcMod>& mods = shader.Stages[stage.Stage].TcMods;
  if (!shaders::HasTurb(mods)) return std::nullopt;
  // The lightmap's coordinates run as the script's; the surface's had their t turned at load.
  return shaders::TVertexTexMods(mods, seconds, !stage.LightmapCoords);
}

const TTexCoord* JoinedTurbCoords(const TQuake3BSP& level, const TShadedGroup& group,
                                  const shaders::TVertexTexMods& mods, const TTexCoord* coords,
                                  const TVector* positions, AGLNrf2& out) {
  const TShadedArrays& arrays = level.Shading.Arrays;
  if (out.size() != arrays.Positions.size()) out.resize(arrays.Positions.size());
  for (const std::int32_t f : group.Faces) {
    const std::size_t first = arrays.First[static_cast<std::size_t>(f)];
    const std::size_t end = first + level.FaceVertices[static_cast<std::size_t>(f)].size();
    for (std::size_t i = first; i < end && i < out.size(); ++i) out[i] = mods.Apply(positions[i], coords[i]);
  }
  return out.data();
}

const TTexCoord* FaceTurbCoords(const shaders::TVertexTexMods& mods, const AGLNrf2& coords,
                                const AGLNrf3& positions, AGLNrf2& out) {
  out.resize(coords.size());
  for (std::size_t i = 0; i < coords.size() && i < positions.size(); ++i) out[i] = mods.Apply(positions[i], coords[i]);
  return out.data();
}
