// Game data through the search path: building the index over every OpenArena archive (goal: under
// 20 ms), and loading three levels of different sizes from the archives beside loading the same
// files extracted as loose files, alternately in the same run (goal: within 1.10x, wall clock).
//   bench_data [--benchmark_min_time=...]
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
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

struct TLoadTimes {
  double Wall = 0, Cpu = 0;  // ms; processor time counts every thread of the process
};
std::map<std::string, std::pair<TLoadTimes, TLoadTimes>> Results;  // archived, loose

TLoadTimes LoadOnce(const std::string& dir, const char* map, const platform::TFileSource* files) {
  testsupport::TScopedWorkingDir cwd(dir);
  TQuake3BSP level;
  TLevelOptions options;
  options.Files = files;
  const TClock::time_point start = TClock::now();
  const std::clock_t cpuStart = std::clock();
  level.LoadBSP(map, options);
  const TLoadTimes times{MsSince(start), 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC};
  glDeleteTextures(static_cast<GLsizei>(level.SurfaceTextures.size()), level.SurfaceTextures.data());
  glDeleteTextures(static_cast<GLsizei>(level.LightmapTextures.size()), level.LightmapTextures.data());
  glFinish();
  return times;
}

// Each iteration loads from the archives (the index built once, as a run does) and then the
// same files loose, so that whatever else the machine runs weighs on both alike.
void BM_LoadArchivedBesideLoose(benchmark::State& state, const char* map) {
  TEnvironment& environment = Environment();
  data::TSearchPath path({kBaseoa}, environment.ArchivedDir(), nullptr);
  const platform::TFileSource files{[&](const std::string& n) { return path.Exists(n); },
                                    [&](const std::string& n) { return path.Read(n); },
                                    [&](const std::vector<std::string>& n) { path.ReadAhead(n); }};
  TLoadTimes archived, loose;
  for (auto _ : state) {
    const TLoadTimes a = LoadOnce(environment.ArchivedDir(), map, &files);
    const TLoadTimes l = LoadOnce(environment.LooseDir(), map, nullptr);
    archived = {archived.Wall + a.Wall, archived.Cpu + a.Cpu};
    loose = {loose.Wall + l.Wall, loose.Cpu + l.Cpu};
  }
  const double n = static_cast<double>(state.iterations());
  archived = {archived.Wall / n, archived.Cpu / n};
  loose = {loose.Wall / n, loose.Cpu / n};
  Results[map] = {archived, loose};
  state.counters["archived_ms"] = archived.Wall;
  state.counters["loose_ms"] = loose.Wall;
  state.counters["ratio"] = archived.Wall / loose.Wall;
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
  std::printf("\n%-22s %12s %12s %8s %16s %14s\n", "level", "archives ms", "loose ms", "ratio",
              "archives cpu ms", "loose cpu ms");
  for (const auto& [map, t] : Results)
    std::printf("%-22s %12.2f %12.2f %7.2fx %16.2f %14.2f\n", map.c_str(), t.first.Wall,
                t.second.Wall, t.first.Wall / t.second.Wall, t.first.Cpu, t.second.Cpu);
  std::printf("(goal: archives within 1.10x of loose files, wall clock; the archives' images are\n"
              " inflated on a second thread, so their processor time counts both threads)\n");
  return 0;
}
