#include "level/ModelLoad.h"

#include <optional>
#include <utility>

#include "level/BSPFile.h"
#include "level/Q3BSP_load.h"
#include "level/Q3BSP_shading.h"
#include "level/Things.h"
#include "platform/Files.h"

namespace {

// The plain load's images: name.jpg, then name.tga, each when it exists.
TSurfaceImageNames PlainImageNames(const std::vector<TBSPTexture>& textures) {
  TSurfaceImageNames names(textures.size());
  for (std::size_t t = 0; t < textures.size(); ++t)
    for (const char* extension : {".jpg", ".tga"})
      if (platform::FileExists(TextureBaseName(textures[t]) + extension))
        names[t].push_back(TextureBaseName(textures[t]) + extension);
  return names;
}

}  // namespace

bool LoadLevelModel(TQuake3BSP& level, const std::string& fileName, const TLevelOptions& options,
                    const std::function<void(const TSurfaceImageNames&)>& readImages,
                    std::vector<TBSPLightmap>& lightmaps, const TAfterLevelModel& after) {
  TLevelLoad load(options);
  if (!ReadLevelFile(load, fileName)) return false;
  BuildLevelModel(level, load);
  PrepareSurfaceImages(level, load);
  const std::vector<TBSPTexture>& textures = load.File.Textures;
  std::optional<TShadedImages> shaded;
  if (options.Shaders)
    shaded = DescribeShadedSurfaces(level, textures, options.ShaderSource, nullptr, after ? &load.ShaderTable : nullptr);
  readImages(shaded ? shaded->Surfaces : PlainImageNames(textures));
  load.Timings.SurfaceImagesMs = load.Stopwatch.LapMs();
  GroupTextureFaces(level);
  level.LightmapTextures.assign(load.File.Lightmaps.size(), 0);
  lightmaps = std::move(load.File.Lightmaps);
  FinishLevelModel(level, load);
  if (after) {
    LoadLevelThings(level, *load.Bytes, load.File.Lumps, options);
    after(level, load, shaded ? &*shaded : nullptr);
  }
  return true;
}
