// Game data through the search path: building the index over every OpenArena archive (goal: under
// 20 ms), and loading three levels of different sizes from the archives beside loading the same
// files extracted as loose files, alternately in the same run (goal: within 1.10x, wall clock),
// plainly and with --shaders.
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
#include "level/Q3BSP.h"
#include "platform/Files.h"
#include "shaders/Shaders.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

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

// The game data as a run with --data gives it to a load: files through the search path, and with
// --shaders the scripts and their images too.
struct TGameDataSource {
  explicit TGameDataSource(const data::TSearchPath& path)
      : Files{[&path](const std::string& n) { return path.Exists(n); },
              [&path](const std::string& n) { return path.Read(n); },
              [&path](const std::vector<std::string>& n) { path.ReadAhead(n); }} {
    Shaders.ScriptNames = [&path] {
      std::vector<std::string> names;
      for (const data::TEntryInfo& script : path.List("scripts", ".shader")) names.push_back(script.Name);
      return names;
    };
    Shaders.Read = Files.Read;
    Shaders.ImageExists = Files.Exists;
    Shaders.ReadAhead = Files.ReadAhead;
  }
  platform::TFileSource Files;
  shaders::TShaderSource Shaders;
};

TLevelOptions OptionsFor(bool shaders, const TGameDataSource* source) {
  TLevelOptions options;
  options.Shaders = shaders;
  if (source) {
    options.Files = &source->Files;
    if (shaders) options.ShaderSource = source->Shaders;
  }
  return options;
}

struct TLoadTimes {
  double Wall = 0, Cpu = 0;  // ms; processor time counts every thread of the process
};

TLoadTimes LoadOnce(const std::string& dir, const char* map, const TLevelOptions& options) {
  testsupport::TScopedWorkingDir cwd(dir);
  TQuake3BSP level;
  const TClock::time_point start = TClock::now();
  const std::clock_t cpuStart = std::clock();
  level.LoadBSP(map, options);
  const TLoadTimes times{MsSince(start), 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC};
  glDeleteTextures(static_cast<GLsizei>(level.SurfaceTextures.size()), level.SurfaceTextures.data());
  glDeleteTextures(static_cast<GLsizei>(level.LightmapTextures.size()), level.LightmapTextures.data());
  glDeleteTextures(static_cast<GLsizei>(level.Shading.SkyBox.size()), level.Shading.SkyBox.data());
  glDeleteTextures(1, &level.Shading.SkyClouds);
  glFinish();
  return times;
}

// Two working folders with lgmp/: one empty (everything from the archives), one holding every
// file that loading the levels from the archives reads (plain and with --shaders), written out as
// loose files.
class TEnvironment {
 public:
  TEnvironment() : Context(8, 8), Path({kBaseoa}, "", nullptr) {
    LoadOpenGL("opengl32.dll");
    fs::create_directory(Archived.Path() + "/lgmp");
    fs::create_directory(Loose.Path() + "/lgmp");
    TGameDataSource recording(Path);
    recording.Files.Read = [this](const std::string& name) {
      std::optional<std::vector<std::uint8_t>> bytes = Path.Read(name);
      if (bytes) Extract(Path.Find(name)->Name, *bytes);
      return bytes;
    };
    recording.Shaders.Read = recording.Files.Read;
    for (const char* map : kMaps)
      for (const bool shaders : {false, true}) LoadOnce(Archived.Path(), map, OptionsFor(shaders, &recording));
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

std::map<std::string, std::pair<TLoadTimes, TLoadTimes>> Results;  // archived, loose

// Each iteration loads from the archives (the index built once, as a run does) and then the
// same files loose, so that whatever else the machine runs weighs on both alike.
void BM_LoadArchivedBesideLoose(benchmark::State& state, const char* map, bool shaders) {
  TEnvironment& environment = Environment();
  const data::TSearchPath path({kBaseoa}, environment.ArchivedDir(), nullptr);
  const TGameDataSource source(path);
  TLoadTimes archived, loose;
  for (auto _ : state) {
    const TLoadTimes a = LoadOnce(environment.ArchivedDir(), map, OptionsFor(shaders, &source));
    const TLoadTimes l = LoadOnce(environment.LooseDir(), map, OptionsFor(shaders, nullptr));
    archived = {archived.Wall + a.Wall, archived.Cpu + a.Cpu};
    loose = {loose.Wall + l.Wall, loose.Cpu + l.Cpu};
  }
  const double n = static_cast<double>(state.iterations());
  archived = {archived.Wall / n, archived.Cpu / n};
  loose = {loose.Wall / n, loose.Cpu / n};
  Results[std::string(map).substr(5) + (shaders ? " --shaders" : "")] = {archived, loose};
  state.counters["archived_ms"] = archived.Wall;
  state.counters["loose_ms"] = loose.Wall;
  state.counters["ratio"] = archived.Wall / loose.Wall;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("IndexAllArchives", BM_IndexAllArchives)
      ->Unit(benchmark::kMillisecond);
  for (const bool shaders : {false, true})
    for (const char* map : kMaps) {
      const std::string name = std::string(map).substr(5) + (shaders ? "/shaders" : "");
      benchmark::RegisterBenchmark(("LoadArchivedBesideLoose/" + name).c_str(),
                                   BM_LoadArchivedBesideLoose, map, shaders)
          ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
    }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\n%-22s %12s %12s %8s %16s %14s\n", "level", "archives ms", "loose ms", "ratio",
              "archives cpu ms", "loose cpu ms");
  for (const auto& [map, t] : Results)
    std::printf("%-24s %12.2f %12.2f %7.2fx %16.2f %14.2f\n", map.c_str(), t.first.Wall,
                t.second.Wall, t.first.Wall / t.second.Wall, t.first.Cpu, t.second.Cpu);
  std::printf("(goal: archives within 1.10x of loose files, wall clock; the archives' images are\n"
              " inflated on a second thread, so their processor time counts both threads)\n");
  return 0;
}
