#include "app/runs/LoadSummary.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/runs/EntityReport.h"
#include "gl/Multitexture.h"

namespace app {

void PrintLoadSummary(const TQuake3BSP& level, double totalMs) {
  const auto found = std::count_if(level.SurfaceTextures.begin(), level.SurfaceTextures.end(),
                                   [](std::uint32_t name) { return name != 0; });
  std::fprintf(stderr, "bspwalk: %d textures: %ld images found, %ld missing\n", level.TextureCount,
               static_cast<long>(found), static_cast<long>(level.TextureCount - found));
  std::fprintf(stderr, "bspwalk: %d lightmaps\n", level.LightmapCount);
  if (level.Lighting.FromFiles)
    std::fprintf(stderr, "bspwalk: lightmaps from files in %s: %zu found, %zu unusable\n",
                 level.Lighting.Folder.c_str(), level.Lighting.Files.size(),
                 static_cast<std::size_t>(std::count_if(level.Lighting.Files.begin(), level.Lighting.Files.end(),
                                                        [](const TLightmapFile& file) { return file.Width == 0; })));
  std::fprintf(stderr,
               "bspwalk: level loaded in %.1f ms (reading %.1f, surface images %.1f, "
               "lightmaps %.1f)\n",
               totalMs, level.LoadTimings.ReadingMs, level.LoadTimings.SurfaceImagesMs,
               level.LoadTimings.LightmapsMs);
  if (!level.LightmapFilesWritten)
    std::fprintf(stderr, "bspwalk: no lgmp/ folder: the lightmap images were not written\n");
  PrintSurfaceSummary(level.Surfaces, level.LoadTimings.TessellationMs);
}
void PrintSurfaceSummary(const TSurfaceSummary& surfaces, double tessellationMs) {
  for (const std::string& warning : surfaces.Warnings)
    std::fprintf(stderr, "bspwalk: warning: %s\n", warning.c_str());
  if (surfaces.Tessellation == 0) return;
  std::fprintf(stderr,
               "bspwalk: %d curved surfaces tessellated at %d segments per side into %lld "
               "triangles in %.1f ms; %d not drawn\n",
               surfaces.Tessellated, surfaces.Tessellation,
               static_cast<long long>(surfaces.Triangles), tessellationMs, surfaces.NotDrawn);
}
void PrintBudgetSummary(const platform::TBudget* budget) {
  if (!budget) return;
  using platform::TBudgetKind;
  const auto used = [budget](TBudgetKind kind) {
    const std::uint64_t limit = budget->Limits().Of(kind), amount = budget->Used(kind);
    if (kind == TBudgetKind::Shaders)
      return std::to_string(amount) + " of " + platform::BudgetFigure(kind, limit);
    char megabytes[32];
    std::snprintf(megabytes, sizeof megabytes, "%.1f of ", static_cast<double>(amount) / (1 << 20));
    return megabytes + platform::BudgetFigure(kind, limit);
  };
  std::fprintf(stderr,
               "bspwalk: budgets used: %s inflated from archives, %s read from disk, %s kept, %s "
               "of curved surfaces, %s of decoded pixels, %s of item geometry, %s of shader stages\n",
               used(TBudgetKind::Inflated).c_str(), used(TBudgetKind::ReadFromDisk).c_str(),
               used(TBudgetKind::Shaders).c_str(), used(TBudgetKind::Tessellation).c_str(),
               used(TBudgetKind::Pixels).c_str(), used(TBudgetKind::ItemGeometry).c_str(),
               used(TBudgetKind::ShaderBytes).c_str());
}

void PrintShadingSummary(const TQuake3BSP& level) {
  const TLevelShading& shading = level.Shading;
  for (const shaders::TProblem& problem : shading.Problems)
    std::fprintf(stderr, "bspwalk: %s\n", problem.Describe().c_str());
  std::fprintf(stderr, "bspwalk: shaders: %zu scripts, %zu shaders, %zu problems\n",
               shading.ScriptCount, shading.ShaderCount, shading.Problems.size());
  std::fprintf(stderr, "bspwalk: TexturesWithoutImage %d, FacesWithoutImage %d\n",
               shading.TexturesWithoutImage, shading.FacesWithoutImage);
}

void PrintFastSummary() {
  const TMultitextureSupport support = CheckMultitexture();
  if (!support.Usable)
    std::fprintf(stderr, "bspwalk: --fast: %s missing, drawing image and lightmap in two passes\n",
                 support.Missing.c_str());
}

TVerboseParts VerbosePartsOf(const TRunOptions& options) {
  TVerboseParts parts;
  parts.Shaders = options.Shaders;
  parts.Fast = options.Fast;
  parts.Things = options.BrushModels || options.Items;
  parts.Budget = options.LevelOptions.Budget;
  return parts;
}

void PrintVerboseSummary(const TQuake3BSP& level, double loadMs, const TVerboseParts& parts) {
  PrintLoadSummary(level, loadMs);
  if (parts.Shaders) PrintShadingSummary(level);
  PrintBudgetSummary(parts.Budget);
  if (parts.Fast && parts.FastBeforeThings) PrintFastSummary();
  if (parts.Things) PrintThingsSummary(level);
  if (parts.Fast && !parts.FastBeforeThings) PrintFastSummary();
}

}  // namespace app
