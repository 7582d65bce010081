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

#include "platform/Files.h"
#include "textures/Textures.h"

class TImageOnce {
 public:
  // LoadTexture for the file's first mention; the slot takes the texture when there is one. What
  // the loader raises passes on (and the file counts as refused from then on).
  void Load(const std::string& imageFileName, GLuint& slot) {
    std::error_code ec;
    std::string key = std::filesystem::weakly_canonical(platform::ResolvePath(imageFileName), ec);
    if (ec) key = imageFileName;
    const auto [entry, first] = Loaded.try_emplace(std::move(key), 0);
    if (first) LoadTexture(imageFileName, entry->second, false);
    if (entry->second != 0) slot = entry->second;
  }

 private:
  std::map<std::string, GLuint> Loaded;
};
