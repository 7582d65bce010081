// Lightmap files (--external-lightmaps) turned into the textures the lightmap pass binds.
#include <GL/glu.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "gl/OpenGL.h"
#include "gl/Textures.h"
#include "level/GameLight.h"
#include "level/LightmapFiles.h"
#include "level/Q3BSP_lightmaps.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "render/Q3BSP_lighting.h"
#include "textures/TopFirstPicture.h"

namespace {

void Warn(TLevelLighting& lighting, const std::string& text) {
  lighting.Warnings.push_back(text);
  platform::ShowMessage(text, "Lightmap file");
}

bool PowerOfTwo(std::uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

// The next level of a power-of-two picture, as gluBuild2DMipmaps makes it: the rounded mean of each
// 2 x 2 block, or once a side is 1, the truncated mean of each pair.
std::vector<std::uint8_t> HalvedLevel(const std::vector<std::uint8_t>& rgb, std::uint32_t width, std::uint32_t height) {
  const std::size_t w = width, h = height;
  const std::size_t halfW = std::max<std::size_t>(1, w / 2), halfH = std::max<std::size_t>(1, h / 2);
  std::vector<std::uint8_t> half(halfW * halfH * 3);
  if (w == 1 || h == 1) {
    // One row or one column: either way the pairs lie next to each other.
    for (std::size_t i = 0; i < half.size(); ++i) {
      const std::size_t pixel = i / 3, channel = i % 3;
      half[i] = static_cast<std::uint8_t>((rgb[pixel * 6 + channel] + rgb[pixel * 6 + 3 + channel]) / 2);
    }
    return half;
  }
  const std::size_t row = w * 3;
  for (std::size_t y = 0; y < halfH; ++y) {
    const std::uint8_t* top = &rgb[2 * y * row];
    const std::uint8_t* bottom = top + row;
    std::uint8_t* out = &half[y * halfW * 3];
    for (std::size_t x = 0; x < halfW; ++x, top += 6, bottom += 6, out += 3)
      for (std::size_t c = 0; c < 3; ++c)
        out[c] = static_cast<std::uint8_t>((top[c] + top[c + 3] + bottom[c] + bottom[c + 3] + 2) / 4);
  }
  return half;
}

// A new texture holding the brightened picture with its mipmaps, made with the calls and state of
// a lump lightmap's texture.
GLuint UploadLightmapPicture(const textures::TTopFirstPicture& picture) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  OpenGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  OpenGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  OpenGL.glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
  UploadLightmapMipmaps(picture.Width, picture.Height, picture.Rgb);
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
  if (picture.LeftOutByBudget) return;  // the budget's warning names it
  if (!picture.Ok()) return Warn(lighting, file.Name + ": " + picture.Error + withoutLightmap);
  LightTexels(picture.Rgb, level.Lighting.GameLight);
  level.LightmapTextures[m] = UploadLightmapPicture(picture);
  file.Width = static_cast<std::int32_t>(picture.Width);
  file.Height = static_cast<std::int32_t>(picture.Height);
}

}  // namespace

void UploadLightmapMipmaps(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb) {
  GLint alignment = 4;
  OpenGL.glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  OpenGL.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (!PowerOfTwo(width) || !PowerOfTwo(height)) {
    // GLU scales other sizes to a power of two first.
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, static_cast<GLint>(width), static_cast<GLint>(height), GL_RGB,
                      GL_UNSIGNED_BYTE, rgb.data());
  } else {
    std::vector<std::uint8_t> level;
    const std::vector<std::uint8_t>* pixels = &rgb;
    for (GLint number = 0;; ++number) {
      OpenGL.glTexImage2D(GL_TEXTURE_2D, number, 3, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
                          GL_RGB, GL_UNSIGNED_BYTE, pixels->data());
      if (width == 1 && height == 1) break;
      level = HalvedLevel(*pixels, width, height);
      pixels = &level;
      width = std::max<std::uint32_t>(1, width / 2);
      height = std::max<std::uint32_t>(1, height / 2);
    }
  }
  OpenGL.glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

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
