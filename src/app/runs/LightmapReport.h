#pragma once
// What --info says of the lightmaps with --external-lightmaps: where a load takes them from (the
// lump, or files when the lump is empty and faces name lightmaps), how many, and their sizes. The
// files are found and decoded as a load finds and decodes them, without a GL context.
#include <cstdint>
#include <string>
#include <vector>

#include "app/runs/Json.h"
#include "level/BSPFile.h"
#include "level/Q3BSP_lighting.h"

namespace app {

struct TLightmapReport {
  bool FromFiles = false;
  std::int32_t Count = 0;
  std::int32_t LumpCount = 0;         // 128 x 128 each
  std::vector<TLightmapFile> Files;   // with files: each one's name and size (0 x 0: unusable)
  std::vector<std::string> Warnings;  // as a load would give them
};

// `folder` holds the level's lightmap files (level/LightmapFiles.h: LightmapFolderOf).
TLightmapReport GatherLightmapReport(const TBSPFile& records, const std::string& folder);

// "14 from the lump, 128 x 128", "4 from files maps/x/lm_0000.tga to lm_0003.tga, 1024 x 1024",
// "... sizes 512 x 512 to 1024 x 1024, 1 unusable".
std::string LightmapReportText(const TLightmapReport& report);

// "LightmapCount" (the count a load has), "LightmapSource" ("lump" or "files"), "LightmapSize"
// ([w, h], null when they differ or there are none) and, from files, "LightmapFiles".
void AddLightmapReport(TJson& out, const TLightmapReport& report);

}  // namespace app
