#pragma once
// Loading a level's surface images once each: however many texture records name an image file (in
// any letter case or spelling of its path), it is decoded and uploaded once and the records share
// its texture; a refused file is refused once. A small level must not buy one large picture
// thousands of times over.
#include <GL/gl.h>

#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include "gl/OpenGL.h"
#include "gl/Textures.h"
#include "platform/Files.h"

class TImageOnce {
 public:
  // LoadTexture for the file's first mention; the slot takes the texture when there is one. What
  // the loader raises passes on (and the file counts as refused from then on). A clamped use
  // (clampMap, the sky box) gets a texture of its own whose edges are not wrapped, so that its
  // borders show no texels of the opposite edge.
  void Load(const std::string& imageFileName, GLuint& slot, bool clamp = false) {
    std::error_code ec;
    std::string key = std::filesystem::weakly_canonical(platform::ResolvePath(imageFileName), ec);
    if (ec) key = imageFileName;
    if (clamp) key += "\n(clamped)";
    const auto [entry, first] = Loaded.try_emplace(std::move(key), 0);
    if (first) {
      LoadTexture(imageFileName, entry->second, false);
      if (clamp && entry->second != 0) {  // LoadTexture leaves the new texture bound
        constexpr GLint kClampToEdge = 0x812F;  // OpenGL 1.2, which every driver bspwalk runs on has
        OpenGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, kClampToEdge);
        OpenGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, kClampToEdge);
      }
    }
    if (entry->second != 0) slot = entry->second;
  }

 private:
  std::map<std::string, GLuint> Loaded;
};
