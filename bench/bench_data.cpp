// Game data through the search path: building the index over every OpenArena archive (goal: under
// 20 ms), and loading three levels of different sizes from the archives beside loading the same
// files extracted as loose files, alternately in the same run (goal: within 1.10x).
//   bench_data [--benchmark_min_time=...]
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "data/SearchPath.h"
#include "gl/OpenGL.h"
#include "level/BSPFile.h"
#include "level/Q3BSP.h"
#include "platform/Files.h"
#include "platform/OffscreenContext.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

const std::string kBaseoa = fs::path(testsupport::OpenArenaArchive("pak0.pk3")).parent_path();

// Three sizes: ~500 faces and 10 lightmaps, ~1,000 and 32, ~5,300 and 78.
const char* const kMaps[] = {"maps/ps37ctf.bsp", "maps/oa_dm4.bsp", "maps/ctf_inyard.bsp"};

double MsSince(TClock::time_point start) {
  return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

void BM_IndexAllArchives(benchmark::State& state) {
  std::size_t entries = 0;
  for (auto _ : state) {
    const data::TSearchPath path({kBaseoa}, "", nullptr);
    entries = path.IndexedEntries();
  }
  state.counters["entries"] = static_cast<double>(entries);
}

// Two working folders with lgmp/: one empty (everything from the archives), one holding the
// level and every image the search path gives it, written out as loose files.
class TEnvironment {
 public:
  TEnvironment() : Context(8, 8), Path({kBaseoa}, "", nullptr) {
    LoadOpenGL("opengl32.dll");
    fs::create_directory(Archived.Path() + "/lgmp");
    fs::create_directory(Loose.Path() + "/lgmp");
    for (const char* map : kMaps) {
      const std::vector<std::uint8_t> bytes = *Path.Read(map);
      Extract(map, bytes);
      for (const TBSPTexture& texture : ParseBSP(bytes).Textures)
        for (const char* extension : {".jpg", ".tga"}) {
          const std::string name = TextureBaseName(texture) + extension;
          if (const auto image = Path.Find(name)) Extract(image->Name, *Path.Read(name));
        }
    }
  }
  ~TEnvironment() { UnloadOpenGL(); }

  const std::string& ArchivedDir() const { return Archived.Path(); }
  const std::string& LooseDir() const { return Loose.Path(); }

 private:
  void Extract(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const fs::path target = fs::path(Loose.Path()) / name;
    fs::create_directories(target.parent_path());
    testsupport::WriteFile(target.string(), bytes);
  }

  platform::TOffscreenGLContext Context;
  data::TSearchPath Path;
  testsupport::TTempDir Archived, Loose;
};

TEnvironment& Environment() {
  static TEnvironment environment;
  return environment;
}

std::map<std::string, std::pair<double, double>> Results;  // archived ms, loose ms

double LoadOnce(const std::string& dir, const char* map, const platform::TFileSource* files) {
  testsupport::TScopedWorkingDir cwd(dir);
  TQuake3BSP level;
  TLevelOptions options;
  options.Files = files;
  const TClock::time_point start = TClock::now();
  level.LoadBSP(map, options);
  const double ms = MsSince(start);
  glDeleteTextures(static_cast<GLsizei>(level.SurfaceTextures.size()), level.SurfaceTextures.data());
  glDeleteTextures(static_cast<GLsizei>(level.LightmapTextures.size()), level.LightmapTextures.data());
  glFinish();
  return ms;
}

// Each iteration loads from the archives (the index built once, as a run does) and then the
// same files loose, so that whatever else the machine runs weighs on both alike.
void BM_LoadArchivedBesideLoose(benchmark::State& state, const char* map) {
  TEnvironment& environment = Environment();
  const data::TSearchPath path({kBaseoa}, environment.ArchivedDir(), nullptr);
  const platform::TFileSource files{[&](const std::string& n) { return path.Exists(n); },
                                    [&](const std::string& n) { return path.Read(n); }};
  double archived = 0, loose = 0;
  for (auto _ : state) {
    archived += LoadOnce(environment.ArchivedDir(), map, &files);
    loose += LoadOnce(environment.LooseDir(), map, nullptr);
  }
  const double n = static_cast<double>(state.iterations());
  Results[map] = {archived / n, loose / n};
  state.counters["archived_ms"] = archived / n;
  state.counters["loose_ms"] = loose / n;
  state.counters["ratio"] = archived / loose;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("IndexAllArchives", BM_IndexAllArchives)
      ->Unit(benchmark::kMillisecond);
  for (const char* map : kMaps) {
    const std::string name = std::string(map).substr(5);
    benchmark::RegisterBenchmark(("LoadArchivedBesideLoose/" + name).c_str(),
                                 BM_LoadArchivedBesideLoose, map)
        ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\n%-22s %12s %12s %8s\n", "level", "archives ms", "loose ms", "ratio");
  for (const auto& [map, ms] : Results)
    std::printf("%-22s %12.2f %12.2f %7.2fx\n", map.c_str(), ms.first, ms.second, ms.first / ms.second);
  std::printf("(goal: archives within 1.10x of loose files)\n");
  return 0;
}
