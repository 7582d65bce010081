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

}  // namespace app
