// --export of oa_dm4 with --full, the program run as a person runs it: wall and processor time
// (goal: under 2 s) and peak resident memory (goal: under 3 x the viewer's load peak for the same
// level, measured alternately in the same run by --benchmark's load_peak_rss_mb), and the file's
// size beside the level's and its images' as the game data holds them.
//   bench_export [--benchmark_min_time=...] [--benchmark_repetitions=N]
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "data/SearchPath.h"
#include "support/Gltf.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kBaseoa = fs::path(testsupport::OpenArenaArchive("pak0.pk3")).parent_path();
const std::string kLevel = "oa_dm4";

testsupport::TTempDir& Folder() {
  static testsupport::TTempDir folder;
  return folder;
}

void BM_Export(benchmark::State& state) {
  testsupport::TRun run;
  for (auto _ : state) {
    run = testsupport::RunProgram(BSPWALK_PROGRAM, {"--data", kBaseoa, "--export", "dm4.glb", "--full", kLevel},
                                  Folder().Path());
    if (run.ExitCode != 0) state.SkipWithError(run.Err.c_str());
    state.SetIterationTime(run.WallSeconds);
  }
  state.counters["cpu_ms"] = run.CpuSeconds * 1000;
  state.counters["peak_rss_mb"] = run.PeakResidentMB;
  // The file against what it was made from: the level and the images it holds, as stored.
  const data::TSearchPath path({kBaseoa}, "", nullptr);
  const testsupport::TGltfFile file = testsupport::ReadGltf(Folder() / "dm4.glb");
  double sources = static_cast<double>(path.Find("maps/" + kLevel + ".bsp")->Size);
  for (const json& image : file.Json["images"])
    if (const auto entry = path.Find(image.value("name", ""))) sources += static_cast<double>(entry->Size);
  state.counters["file_mb"] = static_cast<double>(fs::file_size(Folder() / "dm4.glb")) / 1e6;
  state.counters["level_and_images_mb"] = sources / 1e6;
}

// The viewer's load of the same level with the same options, offscreen: its peak as --benchmark
// reports it right after the load.
void BM_ViewerLoad(benchmark::State& state) {
  double peak = 0;
  for (auto _ : state) {
    const testsupport::TRun run = testsupport::RunProgram(
        BSPWALK_PROGRAM, {"--data", kBaseoa, "--benchmark", "--frames", "1", "--size", "64x48", "--json", "--full", kLevel},
        Folder().Path());
    if (run.ExitCode != 0) state.SkipWithError(run.Err.c_str());
    state.SetIterationTime(run.WallSeconds);
    peak = json::parse(run.Out)["load_peak_rss_mb"].get<double>();
  }
  state.counters["load_peak_rss_mb"] = peak;
}

}  // namespace

BENCHMARK(BM_Export)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ViewerLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
