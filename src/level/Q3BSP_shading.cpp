// What the shader scripts decide for a level, per texture and for the sky, before any image is
// read: the renderer then sets state once per texture group and never looks at a face's shader.
#include "level/Q3BSP_shading.h"

#include <utility>

#include "level/BSPFile.h"

namespace {

// The sky of the first sky texture that has faces and images: its far box (six images), else its
// cloud image (one), else nothing.
std::vector<std::string> SkyImages(const TLevelShading& shading, const std::vector<TBSPTexture>& textures,
                                   const shaders::TShaderTable& table, const shaders::TShaderSource& source) {
  for (std::size_t t = 0; t < textures.size(); ++t) {
    if (!shading.States[t].Sky) continue;
    const shaders::TShader* shader = table.Find(TextureBaseName(textures[t]));
    if (const auto box = shaders::FindSkyBox(*shader, source.ImageExists))
      return std::vector<std::string>(box->begin(), box->end());
    for (const shaders::TStage& stage : shader->Stages) {
      if (stage.Map.empty() || stage.Map.front() == '$') continue;
      if (const auto image = shaders::FindImage(stage.Map, source.ImageExists)) return {*image};
    }
  }
  return {};
}

}  // namespace

TShadedImages DescribeShadedSurfaces(TQuake3BSP& level, const std::vector<TBSPTexture>& textures,
                                     const shaders::TShaderSource& given, platform::TBudget* budget,
                                     shaders::TShaderTable* keep) {
  const shaders::TShaderSource source = given.ScriptNames ? given : shaders::BaseFolderSource();
  shaders::TShaderTable table = shaders::LoadShaderTable(source, budget);
  TLevelShading& shading = level.Shading;
  shading.Problems = table.Problems;
  shading.ShaderCount = table.Shaders.size();
  shading.ScriptCount = table.ScriptCount;
  // Every texture described first, so that the images to load are known, in the order they load,
  // before the first one is read.
  TShadedImages images;
  std::vector<std::vector<std::string>>& surfaceImages = images.Surfaces;
  surfaceImages.resize(textures.size());
  std::vector<std::string> toRead;
  for (std::size_t t = 0; t < textures.size(); ++t) {
    shaders::TTextureSurface surface =
        shaders::DescribeTexture(TextureBaseName(textures[t]), table, source.ImageExists);
    shading.States.push_back(surface.State);
    shading.Origins.push_back(surface.Origin);
    // Only the images of surfaces that are drawn are loaded.
    if (surface.State.Drawn) surfaceImages[t] = std::move(surface.Images);
    toRead.insert(toRead.end(), surfaceImages[t].begin(), surfaceImages[t].end());
  }
  images.Sky = SkyImages(shading, textures, table, source);
  toRead.insert(toRead.end(), images.Sky.begin(), images.Sky.end());
  if (source.ReadAhead) source.ReadAhead(toRead);
  if (keep) *keep = std::move(table);
  return images;
}

void GroupShadedFaces(TQuake3BSP& level) {
  TLevelShading& shading = level.Shading;
  shading.OneSidedLightmapFaces.assign(level.LightmapFaces.size(), {});
  shading.TwoSidedLightmapFaces.assign(level.LightmapFaces.size(), {});
  for (std::size_t m = 0; m < level.LightmapFaces.size(); ++m) {
    for (const std::int32_t f : level.LightmapFaces[m]) {
      const std::int32_t t = level.Faces[static_cast<std::size_t>(f)].TextureIndex;
      if (t < 0 || t >= level.TextureCount) continue;
      const shaders::TDrawState& state = shading.States[static_cast<std::size_t>(t)];
      if (!state.Drawn || !state.Lightmap) continue;
      (state.TwoSided ? shading.TwoSidedLightmapFaces : shading.OneSidedLightmapFaces)[m].push_back(f);
    }
  }
  for (std::size_t t = 0; t < shading.Origins.size(); ++t) {
    if (shading.Origins[t] != shaders::TImageOrigin::None) continue;
    ++shading.TexturesWithoutImage;
    shading.FacesWithoutImage += level.TextureFaceCounts[t];
  }
}
