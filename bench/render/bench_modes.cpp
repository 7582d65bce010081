// The view modes beside the plain frame, and a reload beside the first load, on OpenArena's maps
// offscreen at 1024 x 768 on Mesa:
//  - each mode's frame (RenderLevel with its options, glFinish included) alternating with the
//    plain frame from the same start point; the counter "ratio" is mode / plain at the medians;
//  - LoadBSP of a level in a fresh process beside ReloadLevel of the same file right after (what
//    F5 and --watch do), with its images beside it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/viewer/ViewModes.h"
#include "level/Q3BSP.h"
#include "render/RenderCache.h"
#include "support/BenchFrame.h"

namespace {

using TColouring = TRenderOptions::TColouring;
using bench::Context, bench::MapPath, bench::Milliseconds, bench::TLevelFolder;

// The upper of the two middle values for an even count (not bench::Median's mean of them).
double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct TLoaded {
  TQuake3BSP Level;
  TRenderCache Cache;
  std::vector<bench::TCameraSpot> Spots;
  explicit TLoaded(const std::string& map) {
    {
      TLevelFolder folder;
      if (!Level.LoadBSP(MapPath(map))) std::abort();
    }
    Spots = bench::StartSpots(MapPath(map));
  }
};

void BM_Mode(benchmark::State& state, const std::string& map, const std::string& modes) {
  TLoaded& loaded = bench::LoadedOnce<TLoaded>(map);
  if (loaded.Spots.empty()) {
    state.SkipWithError("no start points");
    return;
  }
  const std::size_t spot = static_cast<std::size_t>(state.range(0)) % loaded.Spots.size();
  TRenderOptions options;
  if (modes == "freeze") {
    options.FreezeVisibility = true;
    options.FreezePosition = loaded.Spots[(spot + 1) % loaded.Spots.size()].Eye;
  } else {
    app::ApplyModeList(modes, options);
  }
  Context();
  bench::SetFixedState();
  std::vector<double> plainMs, modeMs;
  const auto frame = [&](const TRenderOptions& render, std::vector<double>& times) {
    const auto start = std::chrono::steady_clock::now();
    bench::BeginFrame(loaded.Spots[spot]);
    loaded.Level.RenderLevel(loaded.Spots[spot].Eye, render, loaded.Cache);
    glFinish();
    times.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
  };
  bool plainFirst = true;
  for (auto _ : state) {
    if (plainFirst) frame({}, plainMs);
    frame(options, modeMs);
    if (!plainFirst) frame({}, plainMs);
    plainFirst = !plainFirst;
  }
  state.SetLabel(map + " start point " + std::to_string(spot) + " " + app::ModeNames(options));
  state.counters["plain_ms"] = Median(plainMs);
  state.counters["mode_ms"] = Median(modeMs);
  state.counters["ratio"] = Median(modeMs) / Median(plainMs);
}

// The first load of the process, then reloads of the same file.
void BM_Reload(benchmark::State& state, const std::string& map) {
  Context();
  TLevelFolder folder;
  const std::string path = MapPath(map);
  TQuake3BSP level;
  const auto start = std::chrono::steady_clock::now();
  if (!level.LoadBSP(path)) std::abort();
  const double firstMs = Milliseconds(std::chrono::steady_clock::now() - start);
  std::vector<double> reloadMs;
  for (auto _ : state) {
    const auto again = std::chrono::steady_clock::now();
    const std::string reason = app::ReloadLevel(level, path);
    reloadMs.push_back(Milliseconds(std::chrono::steady_clock::now() - again));
    if (!reason.empty()) state.SkipWithError(reason.c_str());
  }
  state.SetLabel(map);
  state.counters["first_load_ms"] = firstMs;
  state.counters["reload_ms"] = Median(reloadMs);
  state.counters["ratio"] = Median(reloadMs) / firstMs;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // Reload first: its first load must be the process's first.
  benchmark::RegisterBenchmark("Reload/oa_dm4", BM_Reload, std::string("oa_dm4"))
      ->Iterations(5)
      ->Unit(benchmark::kMillisecond);
  for (const std::string map : {"oa_dm4", "ctf_inyard"})
    for (const std::string modes : {"textures", "lightmaps", "wireframe", "clusters", "freeze"})
      benchmark::RegisterBenchmark(("Mode/" + map + "/" + modes).c_str(), BM_Mode, map, modes)
          ->DenseRange(0, 1)
          ->Iterations(24)
          ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
