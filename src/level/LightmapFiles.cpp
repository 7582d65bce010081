#include "level/LightmapFiles.h"

#include <algorithm>
#include <cstdio>

std::string LightmapFolderOf(const std::string& levelPath) {
  std::string path = levelPath;
  std::replace(path.begin(), path.end(), '\\', '/');
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = path.rfind('.');
  const std::size_t stemEnd = dot == std::string::npos || dot < nameStart ? path.size() : dot;
  return path.substr(0, stemEnd) + "/";
}

std::string LightmapFileStem(std::int32_t number) {
  char stem[24];
  std::snprintf(stem, sizeof stem, "lm_%04d", number);
  return stem;
}

bool WantsLightmapFiles(std::size_t lumpLightmaps, std::span<const TBSPFace> faces) {
  return lumpLightmaps == 0 &&
         std::any_of(faces.begin(), faces.end(), [](const TBSPFace& f) { return f.LightmapIndex >= 0; });
}

TLightmapFileList FindLightmapFiles(const std::string& folder, std::span<const TBSPFace> faces,
                                    const std::function<bool(const std::string&)>& exists) {
  TLightmapFileList list;
  std::int32_t highest = -1;
  for (const TBSPFace& face : faces) highest = std::max(highest, face.LightmapIndex);
  // Counted in 64 bits: the highest index may be the largest int32.
  for (std::int64_t n = 0; n <= highest; ++n) {
    const std::string stem = folder + LightmapFileStem(static_cast<std::int32_t>(n));
    const auto found = std::find_if(std::begin(kLightmapFileExtensions), std::end(kLightmapFileExtensions),
                                    [&](const char* extension) { return exists(stem + extension); });
    if (found != std::end(kLightmapFileExtensions)) {
      list.Names.push_back(stem + *found);
      continue;
    }
    const std::string lightmaps = n == highest ? "lightmap " + std::to_string(n)
                                               : "lightmaps " + std::to_string(n) + " to " + std::to_string(highest);
    list.Warning = stem + ".tga (.png, .jpg): no such file; the faces of " + lightmaps +
                   " are drawn without lightmap";
    break;
  }
  return list;
}

void LeaveOutUnusableLightmaps(TQuake3BSP& level) {
  const std::size_t count = std::min(level.Lighting.Files.size(), level.LightmapFaces.size());
  for (std::size_t m = 0; m < count; ++m) {
    if (level.Lighting.Files[m].Width > 0) continue;
    level.LightmapFaces[m].clear();
    level.LightmapFaceCounts[m] = 0;
  }
}
