#include "app/Fidelity.h"

#include <cstdio>

#include "app/GameData.h"

namespace app {

TLevelOptions LevelOptionsFor(const TCommandLine& options) {
  TLevelOptions level;
  level.Shaders = options.Shaders;
  if (options.AllSurfaces) {
    level.Surfaces = TSurfaceSet::All;
    level.Tessellation = options.Tessellation;
  }
  ApplyGameData(options, level);
  return level;
}

TRenderOptions RenderOptionsFor(const TCommandLine& options) {
  TRenderOptions render;
  render.Shaders = options.Shaders;
  if (options.AllSurfaces) render.Surfaces = TSurfaceSet::All;
  return render;
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

}  // namespace app
