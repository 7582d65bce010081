#include "support/LightmapFileWriter.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "level/Q3BSP.h"
#include "support/TestSupport.h"

namespace testsupport {

TBytes LightmapPicture(int width, int height, const TBytes& rgb, const std::string& extension) {
  if (extension == ".png") return MakePNG(width, height, 3, rgb);
  TBytes bgr(rgb.size());
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y)
    for (std::size_t x = 0; x < row; x += 3) {
      const std::uint8_t* from = &rgb[(static_cast<std::size_t>(height) - 1 - y) * row + x];
      std::uint8_t* to = &bgr[y * row + x];
      to[0] = from[2], to[1] = from[1], to[2] = from[0];
    }
  return MakeTGA(width, height, bgr);
}

TBytes MoveLightmapsToFiles(const TBytes& level, const std::string& folder, const std::string& extension) {
  TBSPLump lump{};
  const std::size_t entry = sizeof(TBSPHeader) + kLightmaps * sizeof(TBSPLump);
  std::memcpy(&lump, level.data() + entry, sizeof lump);
  std::filesystem::create_directories(folder);
  const std::size_t count = static_cast<std::size_t>(lump.Length) / sizeof(TBSPLightmap);
  for (std::size_t m = 0; m < count; ++m) {
    const auto* first = level.data() + lump.Offset + m * sizeof(TBSPLightmap);
    char stem[32];
    std::snprintf(stem, sizeof stem, "lm_%04zu", m);
    WriteFile(folder + "/" + stem + extension,
              LightmapPicture(128, 128, TBytes(first, first + sizeof(TBSPLightmap)), extension));
  }
  TBytes emptied = level;
  const std::int32_t none = 0;
  std::memcpy(emptied.data() + entry + offsetof(TBSPLump, Length), &none, sizeof none);
  return emptied;
}

}  // namespace testsupport
