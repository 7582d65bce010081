#include "app/cli/Fidelity.h"

#include <charconv>
#include <stdexcept>

namespace app {

// With the fidelity options' other rules, out of the command line's long table.
void ApplyFullFidelity(TCommandLine& options) {
  options.Shaders = true;
  options.AllSurfaces = true;
  options.ExternalLightmaps = true;
  options.VertexLight = true;
  options.BrushModels = true;
  options.Items = true;
  options.GameLight = true;
  options.LightAsked = true;
  options.GreyscaleTGA = true;
  options.SkipNoDraw = true;
  options.JoinedSky = true;
  options.GameStages = true;
  options.GridLight = true;
  options.ModelStages = true;
  options.SkyInView = true;
  options.VertexTurb = true;
  options.WorldFog = true;
  options.FogLayers = true;
  options.Portals = true;
  options.GlowImages = true;
  options.ClampCoords = true;
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
  level.GameLight = options.GameLight;
  level.SkipNoDraw = options.SkipNoDraw;
  level.JoinedSky = options.JoinedSky;
  level.GameStages = options.GameStages;
  level.GridLight = options.GridLight;
  level.ModelStages = options.ModelStages;
  level.SkyInView = options.SkyInView;
  level.VertexTurb = options.VertexTurb;
  level.WorldFog = options.WorldFog;
  level.FogLayers = options.FogLayers;
  level.Portals = options.Portals;
  level.GlowImages = options.GlowImages;
  level.ClampCoords = options.ClampCoords;
  return level;
}

TRenderOptions RenderOptionsFor(const TCommandLine& options) {
  TRenderOptions render;
  render.Shaders = options.Shaders;
  render.Time = options.Time;
  if (options.AllSurfaces) render.Surfaces = TSurfaceSet::All;
  render.VertexLight = options.VertexLight;
  render.BrushModels = options.BrushModels;
  render.Items = options.Items;
  render.Fast = options.Fast;
  render.CountFragments = options.Fast && options.Json && options.Mode == TRunMode::Benchmark;
  return render;
}

void ApplyLight(const std::string& text, TCommandLine& options) {
  if (text != "design" && text != "game") throw std::invalid_argument("--light: '" + text + "' is not design or game");
  options.GameLight = text == "game";
  options.LightAsked = true;
}

void ApplyTime(const std::string& text, TCommandLine& options) {
  constexpr double kMostSeconds = 1e6;  // eleven days of a level's clock
  if (!options.Shaders) throw std::invalid_argument("--time applies with --shaders only");
  if (options.Mode != TRunMode::Screenshot && options.Mode != TRunMode::Benchmark &&
      options.Mode != TRunMode::Overview)
    throw std::invalid_argument("--time applies to --screenshot, --benchmark and --overview only");
  // Read as a double: a float would keep only a sixteenth of a second near the top of the range.
  double seconds = 0;
  const char* first = text.data() + (text.starts_with('+') ? 1 : 0);
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, seconds, std::chars_format::general);
  if (end != last || first == last || (error != std::errc() && error != std::errc::result_out_of_range))
    throw std::invalid_argument("--time: '" + text + "' is not a number");
  if (error != std::errc() || !(seconds >= 0 && seconds <= kMostSeconds))
    throw std::invalid_argument("--time: '" + text + "' is not from 0 to 1e6 seconds");
  options.Time = seconds;
}

bool FastAsked(bool given, bool value, bool full) { return given ? value : full; }

}  // namespace app
