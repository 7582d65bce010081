// The --full frame with every shader stage, on OpenArena levels with moving surfaces (oa_rpg3dm2
// outdoors with a cloud layer, ctf_inyard with flares and water, oa_dm4 with its lights and
// teleporter), at the clock's 1 s, each frame beside:
//  - the floor: the same draws with the same state changes (every texture group's stages, one
//    draw per stage or lightmap from index lists, the sky and its cloud dome, the fog, the
//    billboards) replayed from what the first frame worked out, without the visibility walk,
//    the groups' index lists or any evaluation;
//  - the evaluation alone: every visible group's stage values, tcMod matrices, deformed
//    vertices and environment coordinates, and the sky's layers (its share of the frame).
// FastFrame is the same with --fast (as --full draws it): the floor then also draws the kept
// batches of the surfaces folded into its one pass. Today's --full frame (before the stages) is
// measured by the program's --benchmark of the previous release at the same poses.
#include <benchmark/benchmark.h>

#include <chrono>
#include <optional>
#include <string>

#include "level/Q3BSP.h"
#include "render/FastPath.h"
#include "render/Q3BSP_shaders.h"
#include "render/RenderCache.h"
#include "render/ShaderStages.h"
#include "support/BenchFrame.h"
#include "support/TestSupport.h"

namespace {

using TClock = std::chrono::steady_clock;
using bench::Milliseconds;

constexpr double kSeconds = 1;

// The level with shaders and every surface, in a folder with the game's scripts and images.
struct TLoaded {
  bench::TBaseFolder Folder;
  TQuake3BSP Level;
  TRenderCache Cache;
  std::vector<bench::TCameraSpot> Spots;
  explicit TLoaded(const std::string& map) {
    testsupport::TScopedWorkingDir workingDir(Folder.Path());
    TLevelOptions options;
    options.Shaders = true;
    options.Surfaces = TSurfaceSet::All;
    const std::string path = bench::MapPath(map);
    Level.LoadBSP(path, options);
    Spots = bench::StartSpots(path);
  }
};

TRenderOptions FullOptions(bool fast) {
  TRenderOptions options;
  options.Fast = fast;
  options.Shaders = true;
  options.Surfaces = TSurfaceSet::All;
  options.Time = kSeconds;
  return options;
}

// The draws of the last frame again, from its groups and values.
void FloorFrame(TQuake3BSP& level, TRenderCache& cache, const TVector& eye, const TRenderOptions& options) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  if (options.Fast) DrawFastSurfaces(level, cache, eye, options);  // the lists are kept: no rebuild
  DrawShadedPasses(level, cache, eye, true, false);
}

void BM_FullFrame(benchmark::State& state, const std::string& map, bool fast) {
  TLoaded& loaded = bench::LoadedOnce<TLoaded>(map);
  TQuake3BSP& level = loaded.Level;
  const std::optional<bench::TCameraSpot> spot = bench::StartSpot(state, loaded.Spots);
  if (!spot) return;
  const TVector eye = spot->Eye;
  bench::Context();
  bench::SetStartUpState();
  const TRenderOptions options = FullOptions(fast);
  bench::BeginFrame(*spot);
  level.RenderLevel(eye, options, loaded.Cache);

  std::vector<double> renderMs, floorMs, evaluateMs;
  const auto renderFrame = [&] {
    renderMs.push_back(bench::TimedFrame(*spot, [&] { level.RenderLevel(eye, options, loaded.Cache); }));
    const auto evaluate = TClock::now();
    EvaluateShadedFrame(level, loaded.Cache.Shaded, eye, kSeconds);
    evaluateMs.push_back(Milliseconds(TClock::now() - evaluate));
  };
  const auto floorFrame = [&] {
    floorMs.push_back(bench::TimedFrame(*spot, [&] { FloorFrame(level, loaded.Cache, eye, options); }));
  };
  bench::AlternateFrames(state, renderFrame, floorFrame);
  bench::ReportFrames(state, map, renderMs, floorMs);
  const double frame = bench::Median(renderMs);
  state.counters["evaluate_ms"] = bench::Median(evaluateMs);
  state.counters["evaluate_share"] = frame > 0 ? bench::Median(evaluateMs) / frame : 0;
  state.counters["cloud_layers"] = static_cast<double>(level.Shading.Sky.Plan.Stages.size());
  std::size_t stages = 0, moving = 0;
  for (std::size_t t = 0; t < level.Shading.Surfaces.size(); ++t)
    for (const auto& planned : level.Shading.Surfaces[t].Plan.Stages) {
      ++stages;
      moving += planned.Moves ? 1 : 0;
    }
  state.counters["stages"] = static_cast<double>(stages);
  state.counters["moving_stages"] = static_cast<double>(moving);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const std::string map : {"oa_rpg3dm2", "ctf_inyard", "oa_dm4"}) {
    bench::RegisterFrames("FullFrame", [](benchmark::State& state, const std::string& m) { BM_FullFrame(state, m, false); }, map);
    bench::RegisterFrames("FastFrame", [](benchmark::State& state, const std::string& m) { BM_FullFrame(state, m, true); }, map);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
