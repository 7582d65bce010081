// LoadBSP, the façade over both sides of a load: the level model is built by level/Q3BSP_load.cpp,
// and between its steps the surface images and the lightmaps are uploaded here, in the order the
// load has always made its GL calls: every surface image, then every lightmap, one after the other.
#include <GL/glu.h>

#include <cstring>
#include <string>
#include <vector>

#include "gl/OpenGL.h"
#include "gl/Textures.h"
#include "level/BSPFile.h"
#include "level/Q3BSP.h"
#include "level/Q3BSP_lightmaps.h"
#include "level/Q3BSP_load.h"
#include "level/Things.h"
#include "platform/ByteReader.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "render/Q3BSP_images.h"
#include "render/ItemModels.h"
#include "render/Q3BSP_lighting.h"
#include "render/Q3BSP_shaders.h"
#include "textures/PixelBudget.h"

namespace {

// Game data holds thousands of files from many archives: there an image that is named but cannot
// be had at all (an entry over the size limit, a read error; the search path has said which)
// costs only itself, with one message naming it, and its surfaces go without an image. Bytes that
// are had but end too early, and the plain load, keep the loaders' end.
void LoadSurfaceImage(TImageOnce& images, const std::string& name, GLuint& slot, bool gameData) {
  if (!gameData) return images.Load(name, slot);
  try {
    images.Load(name, slot);
  } catch (const platform::EBudgetSpent&) {
    // left out: the budget's warning names it
  } catch (const platform::EUnreadableFile& e) {
    platform::ShowMessage("Couldn't load \"" + name + "\": " + e.what(), "Surface image");
  }
}

// Each texture's image: through the shader scripts with --shaders, else its own name + ".jpg" and
// + ".tga", each when that file exists.
void LoadSurfaceImages(TQuake3BSP& level, TLevelLoad& load) {
  const TLevelOptions& options = load.Options;
  const std::vector<TBSPTexture>& textures = load.File.Textures;
  if (options.Shaders)
    return LoadShadedSurfaces(level, textures, options.ShaderSource, &load.Budget,
                              options.Items ? &load.ShaderTable : nullptr);
  TImageOnce images;
  for (std::size_t t = 0; t < textures.size(); ++t) {
    const std::string baseName = TextureBaseName(textures[t]);
    // Both images load when both exist; the .tga one, loaded last, ends up in the slot. The .jpg
    // texture it replaces stays with the context, as every texture does.
    for (const char* extension : {".jpg", ".tga"})
      if (platform::FileExists(baseName + extension))
        LoadSurfaceImage(images, baseName + extension, level.SurfaceTextures[t], options.Files != nullptr);
  }
}

// Each lightmap is exported and uploaded before the next is taken; a failed export ends the
// load at that lightmap.
void UploadLightmaps(TQuake3BSP& level, const std::vector<TBSPLightmap>& lightmaps) {
  level.LightmapTextures.assign(static_cast<std::size_t>(level.LightmapCount), 0);
  for (std::int32_t m = 0; m < level.LightmapCount; ++m)
    level.CreateLightmapTexture(level.LightmapTextures[static_cast<std::size_t>(m)],
                                lightmaps[static_cast<std::size_t>(m)], 127, 127, m);
}

// Everything of a load after the file has been read and parsed into `load`.
void LoadFromRecords(TQuake3BSP& level, TLevelLoad& load, const std::string& fileName) {
  const TLevelOptions& options = load.Options;
  BuildLevelModel(level, load);
  PrepareSurfaceImages(level, load);
  LoadSurfaceImages(level, load);
  load.Timings.SurfaceImagesMs = load.Stopwatch.LapMs();
  GroupTextureFaces(level);
  UploadLightmaps(level, load.File.Lightmaps);
  UploadLightmapFiles(level, load, fileName);  // --external-lightmaps (Q3BSP_lightmapfiles.cpp)
  load.Timings.LightmapsMs = load.Stopwatch.LapMs();
  FinishLevelModel(level, load);
  // The entities and what the opt-in extensions build from them; no GL call without them.
  LoadLevelThings(level, *load.Bytes, load.File.Lumps, options);
  if (options.Portals && options.Shaders) level.Shading.PortalViews = FindPortalViews(level, level.Things.Entities.Entities);
  if (options.WorldFog)
    level.Shading.WorldFog = ReadWorldFog(level.Things.Entities.Entities, level.Things.Warnings).value_or(TWorldFog{});
  if (options.Items) {
    LoadItemModels(level, load);
    load.Budget.Report();  // what the items' pixels and geometry left out
  }
}

}  // namespace

bool TQuake3BSP::LoadBSP(const std::string& fileName, const TLevelOptions& options) {
  TLevelLoad load(options);
  // Every picture this load decodes (surface images, lightmap files, model skins) counts against
  // the run's budget of pixels; the design's run without arguments has none and keeps the loaders'
  // end.
  const textures::TScopedPixelBudget pixels(options.Budget);
  if (!ReadLevelFile(load, fileName)) return false;
  LoadFromRecords(*this, load, fileName);
  return true;
}

bool TQuake3BSP::LoadBSP(const std::string& fileName, const TLevelOptions& options, std::vector<std::uint8_t> bytes,
                         TBSPFile&& records) {
  TLevelLoad load(options);
  const textures::TScopedPixelBudget pixels(options.Budget);
  load.Bytes = std::move(bytes);
  load.File = std::move(records);
  LoadFromRecords(*this, load, fileName);
  return true;
}

void TQuake3BSP::CreateLightmapTexture(std::uint32_t& textureSlot, const TBSPLightmap& lightmap,
                                       std::int32_t highestX, std::int32_t highestY,
                                       std::int32_t number) {
  CheckLightmapIndices(highestX, highestY);
  // A copy: the brightening happens in place and the caller's block stays as it was.
  std::vector<std::uint8_t> pixels(sizeof(TBSPLightmap));
  std::memcpy(pixels.data(), &lightmap, sizeof(TBSPLightmap));

  // Lives until the context ends, like every texture of the level. When the export below fails,
  // the slot keeps this name of a texture that never got an image.
  glGenTextures(1, &textureSlot);
  glBindTexture(GL_TEXTURE_2D, textureSlot);
  ExportLightmap(pixels.data(), highestX, highestY, number);
  OpenGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  OpenGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  // The environment of the context, not of the texture: the renderer's passes rely on MODULATE.
  OpenGL.glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
  gluBuild2DMipmaps(GL_TEXTURE_2D, 3, highestX + 1, highestY + 1, GL_RGB, GL_UNSIGNED_BYTE,
                    pixels.data());
}
