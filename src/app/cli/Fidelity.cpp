#include "app/cli/Fidelity.h"

namespace app {

// With the fidelity options' other rules, out of the command line's long table.
void ApplyFullFidelity(TCommandLine& options) {
  options.Shaders = true;
  options.AllSurfaces = true;
  options.ExternalLightmaps = true;
  options.VertexLight = true;
  options.BrushModels = true;
  options.Items = true;
  // --fast is --full's too; the command line works it out with --fast=off (FastAsked).
}

TLevelOptions LevelOptionsFor(const TCommandLine& options) {
  // A run with game data has its part in already (app/cli/GameData.cpp); the fidelity options
  // add theirs.
  TLevelOptions level = options.LevelOptions;
  level.Shaders = options.Shaders;
  if (options.AllSurfaces) {
    level.Surfaces = TSurfaceSet::All;
    level.Tessellation = options.Tessellation;
  }
  level.ExternalLightmaps = options.ExternalLightmaps;
  level.VertexLight = options.VertexLight;
  level.BrushModels = options.BrushModels;
  level.Items = options.Items;
  return level;
}

TRenderOptions RenderOptionsFor(const TCommandLine& options) {
  TRenderOptions render;
  render.Shaders = options.Shaders;
  if (options.AllSurfaces) render.Surfaces = TSurfaceSet::All;
  render.VertexLight = options.VertexLight;
  render.BrushModels = options.BrushModels;
  render.Items = options.Items;
  render.Fast = options.Fast;
  return render;
}

}  // namespace app
