// Lightmap files (--external-lightmaps) turned into the textures the lightmap pass binds.
#include <GL/glu.h>

#include <optional>
#include <vector>

#include "gl/OpenGL.h"
#include "level/LightmapFiles.h"
#include "level/Q3BSP_lightmaps.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "render/Q3BSP_lighting.h"
#include "textures/Textures.h"
#include "textures/TopFirstPicture.h"

namespace {

void Warn(TLevelLighting& lighting, const std::string& text) {
  lighting.Warnings.push_back(text);
  platform::ShowMessage(text, "Lightmap file");
}

// A new texture holding the brightened picture with its mipmaps, made with the calls and state of
// a lump lightmap's texture. Pictures are packed rows of any width: the unpack alignment is 1
// while they are read, and put back after.
GLuint UploadLightmapPicture(const textures::TTopFirstPicture& picture) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  OpenGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  OpenGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  OpenGL.glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
  GLint alignment = 4;
  OpenGL.glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  OpenGL.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, 3, static_cast<GLint>(picture.Width), static_cast<GLint>(picture.Height),
                    GL_RGB, GL_UNSIGNED_BYTE, picture.Rgb.data());
  OpenGL.glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  return name;
}

// Lightmap m from its file; a file that cannot be had leaves its slot 0 and its size 0 x 0.
void UploadLightmapFile(TQuake3BSP& level, std::size_t m) {
  TLevelLighting& lighting = level.Lighting;
  TLightmapFile& file = lighting.Files[m];
  const std::string withoutLightmap = "; the faces of lightmap " + std::to_string(m) + " are drawn without lightmap";
  std::optional<std::vector<std::uint8_t>> bytes = platform::ReadWholeFile(file.Name);
  if (!bytes) return Warn(lighting, file.Name + ": cannot be read" + withoutLightmap);
  textures::TTopFirstPicture picture = textures::DecodeTopFirstRGB(*bytes, file.Name, LargestTextureSide());
  bytes.reset();
  if (!picture.Ok()) return Warn(lighting, file.Name + ": " + picture.Error + withoutLightmap);
  BrightenLightmapBytes(picture.Rgb.data(), picture.Rgb.size());
  level.LightmapTextures[m] = UploadLightmapPicture(picture);
  file.Width = static_cast<std::int32_t>(picture.Width);
  file.Height = static_cast<std::int32_t>(picture.Height);
}

}  // namespace

void UploadLightmapFiles(TQuake3BSP& level, const TLevelLoad& load, const std::string& levelFileName) {
  const TLevelOptions& options = load.Options;
  if (!options.ExternalLightmaps || !WantsLightmapFiles(load.File.Lightmaps.size(), level.Faces)) return;
  TLevelLighting& lighting = level.Lighting;
  lighting.FromFiles = true;
  lighting.Folder = options.LightmapFolder.empty() ? LightmapFolderOf(levelFileName) : options.LightmapFolder;
  const TLightmapFileList list = FindLightmapFiles(
      lighting.Folder, level.Faces, [](const std::string& name) { return platform::FileExists(name); });
  // Game data inflates them on its own thread while this one decodes and uploads.
  if (options.Files && options.Files->ReadAhead) options.Files->ReadAhead(list.Names);
  level.LightmapCount = static_cast<std::int32_t>(list.Names.size());
  level.LightmapTextures.assign(list.Names.size(), 0);
  lighting.Files.resize(list.Names.size());
  for (std::size_t m = 0; m < list.Names.size(); ++m) {
    lighting.Files[m].Name = list.Names[m];
    UploadLightmapFile(level, m);
  }
  if (!list.Warning.empty()) Warn(lighting, list.Warning);
}
