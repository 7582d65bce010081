// The view modes beside the plain frame, and a reload beside the first load, on OpenArena's maps
// offscreen at 1024 x 768 on Mesa:
//  - each mode's frame (RenderLevel with its options, glFinish included) alternating with the
//    plain frame from the same start point; the counter "ratio" is mode / plain at the medians;
//  - LoadBSP of a level in a fresh process beside ReloadLevel of the same file right after (what
//    F5 and --watch do), with its images beside it.
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/LevelFile.h"
#include "app/ViewModes.h"
#include "gl/OpenGL.h"
#include "level/Q3BSP.h"
#include "platform/OffscreenContext.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

constexpr int Width = 1024, Height = 768;
using TColouring = TRenderOptions::TColouring;

platform::TOffscreenGLContext& Context() {
  static platform::TOffscreenGLContext context(Width, Height);
  static const bool loaded = (LoadOpenGL("opengl32.dll"), true);
  (void)loaded;
  return context;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A working folder with lgmp/ and the surface images, for as long as it lives.
struct TLevelFolder {
  testsupport::TTempDir Folder;
  std::unique_ptr<testsupport::TScopedWorkingDir> InFolder;
  TLevelFolder() {
    testsupport::ExtractOpenArena("pak0.pk3", {"textures/*"});
    const std::string root = testsupport::ExtractOpenArena("pak4-textures.pk3", {"textures/*"});
    fs::create_directory(Folder / "lgmp");
    fs::create_directory_symlink(root + "/textures", Folder / "textures");
    InFolder = std::make_unique<testsupport::TScopedWorkingDir>(Folder.Path());
  }
};

std::string MapPath(const std::string& map) {
  return testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/*.bsp"}) + "/maps/" + map + ".bsp";
}

struct TLoaded {
  TQuake3BSP Level;
  std::vector<TVector> Eyes;
  std::vector<float> Yaws;
};

TLoaded& Loaded(const std::string& map) {
  static std::map<std::string, std::unique_ptr<TLoaded>> levels;
  std::unique_ptr<TLoaded>& slot = levels[map];
  if (slot) return *slot;
  Context();
  slot = std::make_unique<TLoaded>();
  {
    TLevelFolder folder;
    if (!slot->Level.LoadBSP(MapPath(map))) std::abort();
  }
  for (const app::TSpawnPoint& spawn : app::FindSpawnPoints(app::ParseEntities(app::TLevelFile(MapPath(map)).EntitiesText()))) {
    slot->Eyes.push_back({spawn.Origin.X, spawn.Origin.Y, spawn.Origin.Z + 32});
    slot->Yaws.push_back(90 - spawn.Angle);
  }
  return *slot;
}

void BeginFrame(const TVector& eye, float yaw) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(80.0, static_cast<double>(Width) / Height, 5.0, 20000.0);
  glViewport(0, 0, Width, Height);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glRotatef(270, 1, 0, 0);
  glRotatef(yaw, 0, 0, 1);
  glTranslatef(-eye.X, -eye.Y, -eye.Z);
}

void BM_Mode(benchmark::State& state, const std::string& map, const std::string& modes) {
  TLoaded& loaded = Loaded(map);
  if (loaded.Eyes.empty()) {
    state.SkipWithError("no start points");
    return;
  }
  const std::size_t spot = static_cast<std::size_t>(state.range(0)) % loaded.Eyes.size();
  TRenderOptions options;
  if (modes == "freeze") {
    options.FreezeVisibility = true;
    options.FreezePosition = loaded.Eyes[(spot + 1) % loaded.Eyes.size()];
  } else {
    app::ApplyModeList(modes, options);
  }
  Context();
  glEnable(GL_DEPTH_TEST);
  glCullFace(GL_FRONT);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  std::vector<double> plainMs, modeMs;
  const auto frame = [&](const TRenderOptions& render, std::vector<double>& times) {
    const auto start = std::chrono::steady_clock::now();
    BeginFrame(loaded.Eyes[spot], loaded.Yaws[spot]);
    loaded.Level.RenderLevel(loaded.Eyes[spot], render);
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
