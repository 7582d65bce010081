#pragma once
// What --info says of the lightmaps with --external-lightmaps: where a load takes them from (the
// lump, or files when the lump is empty and faces name lightmaps), how many, and their sizes. The
// files are found and decoded as a load finds and decodes them, without a GL context.
#include <cstdint>
#include <string>
#include <vector>

#include "app/runs/Json.h"
#include "app/runs/RunOptions.h"
#include "level/BSPFile.h"
#include "level/LightmapAtlas.h"
#include "level/Q3BSP_lighting.h"

namespace app {

struct TLightmapReport {
  bool FromFiles = false;
  std::int32_t Count = 0;
  std::int32_t LumpCount = 0;         // 128 x 128 each
  std::vector<TLightmapFile> Files;   // with files: each one's name and size (0 x 0: unusable)
  std::vector<std::string> Warnings;  // as a load would give them
};

// The folder of the run's lightmap files: the game data's for a level named from there, else the
// one beside the level file.
std::string LightmapFolderFor(const TRunOptions& options);

// `folder` holds the level's lightmap files (level/LightmapFiles.h: LightmapFolderOf).
TLightmapReport GatherLightmapReport(const TBSPFile& records, const std::string& folder);

// "14 from the lump, 128 x 128", "4 from files maps/x/lm_0000.tga to lm_0003.tga, 1024 x 1024",
// "... sizes 512 x 512 to 1024 x 1024, 1 unusable".
std::string LightmapReportText(const TLightmapReport& report);

// The light mode as --info names it: "game: ..." or "design: ..." with its rule.
std::string LightModeText(bool game);

// "LightmapCount" (the count a load has), "LightmapSource" ("lump" or "files"), "LightmapSize"
// ([w, h], null when they differ or there are none) and, from files, "LightmapFiles".
void AddLightmapReport(TJson& out, const TLightmapReport& report);

// The lightmap files as the export's atlas pages, as the viewer shows them: each decoded top row
// first and brightened by the lump's rule. The pages have one size, the largest of the usable
// files' (at most an atlas's side); a file of another size is scaled to it, as the GL stretches a
// smaller texture over the same coordinates. A file that cannot be used has no page (its faces go
// without lightmap) and one warning naming it, so that empty files cost no atlas room; a scaled
// copy counts against the run's pixel budget, and one past it is left out as the budget says.
struct TLightmapFilePages {
  std::int32_t Width = 128, Height = 128;
  std::vector<TLightmapPage> Pages;  // the usable files' only
  std::vector<std::int32_t> Slots;   // per file: its page, or -1
  std::vector<std::string> Warnings;
};
TLightmapFilePages ReadLightmapFilePages(const TBSPFile& records, const std::string& folder);

}  // namespace app
