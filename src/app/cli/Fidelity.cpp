#include "app/cli/Fidelity.h"

namespace app {

TLevelOptions LevelOptionsFor(const TCommandLine& options) {
  // A run with game data has its part in already (app/cli/GameData.cpp); the fidelity options
  // add theirs.
  TLevelOptions level = options.LevelOptions;
  level.Shaders = options.Shaders;
  if (options.AllSurfaces) {
    level.Surfaces = TSurfaceSet::All;
    level.Tessellation = options.Tessellation;
  }
  return level;
}

TRenderOptions RenderOptionsFor(const TCommandLine& options) {
  TRenderOptions render;
  render.Shaders = options.Shaders;
  if (options.AllSurfaces) render.Surfaces = TSurfaceSet::All;
  return render;
}

}  // namespace app
