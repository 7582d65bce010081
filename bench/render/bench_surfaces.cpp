// Curved surfaces and meshes (--surfaces all) on the three pak1 levels with the most curved-surface
// pieces, offscreen at 1024 x 768 on Mesa, each level loaded with its surface images:
//  - Load/<map>: the whole LoadBSP with every surface at N = 8 (file, tessellation, images,
//    lightmaps) and the share of it that tessellation takes (goal: under 10 %);
//  - Frame/<map>/<start point>: RenderLevel with every surface beside, in the same run and from
//    the same position, the floor of drawing the same visible triangles with the same textures in
//    one draw per texture and per lightmap (goal: within 1.10 x); the triangles per frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "level/BSPFile.h"
#include "level/LevelFile.h"
#include "level/Patch.h"
#include "level/Q3BSP.h"
#include "level/Q3BSP_surfaces.h"
#include "render/Q3BSP_render.h"
#include "render/RenderCache.h"
#include "support/BenchFrame.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

using bench::Context, bench::Median, bench::Milliseconds;
const char* const kMaps[] = {"oa_dm5", "pul1ctf", "delta"};
TLevelOptions AllSurfaces() {
  TLevelOptions options;
  options.Surfaces = TSurfaceSet::All;
  return options;
}

// A working folder with the level's images reachable as "textures/...", and "lgmp".
struct TFolder {
  testsupport::TTempDir Dir;
  std::string MapPath;
  explicit TFolder(const std::string& map) {
    MapPath = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/" + map + ".bsp"}) + "/maps/" + map + ".bsp";
    testsupport::InstallOpenArenaImages(TLevelFile(MapPath).TextureNames(), Dir.Path());
    fs::create_directory(Dir / "lgmp");
  }
};

void BM_Load(benchmark::State& state, const std::string& map) {
  Context();
  TFolder folder(map);
  testsupport::TScopedWorkingDir workingDir(folder.Dir.Path());
  std::vector<double> totalMs, tessellationMs;
  std::int64_t triangles = 0;
  for (auto _ : state) {
    TQuake3BSP level;
    const auto start = std::chrono::steady_clock::now();
    if (!level.LoadBSP(folder.MapPath, AllSurfaces())) std::abort();
    totalMs.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    tessellationMs.push_back(level.LoadTimings.TessellationMs);
    triangles = level.Surfaces.Triangles;
    glDeleteTextures(static_cast<GLsizei>(level.SurfaceTextures.size()), level.SurfaceTextures.data());
    glDeleteTextures(static_cast<GLsizei>(level.LightmapTextures.size()), level.LightmapTextures.data());
  }
  state.counters["load_ms"] = Median(totalMs);
  state.counters["tessellation_ms"] = Median(tessellationMs);
  state.counters["tessellation_share_pct"] = 100 * Median(tessellationMs) / Median(totalMs);
  state.counters["patch_triangles"] = static_cast<double>(triangles);
}

// Tessellation alone: every curved surface of the level at N = 8, from the checked records.
void BM_Tessellate(benchmark::State& state, const std::string& map) {
  const std::string path = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/" + map + ".bsp"}) + "/maps/" + map + ".bsp";
  const TBSPFile file = ParseBSP(testsupport::ReadFile(path));
  std::size_t vertices = 0;
  for (auto _ : state) {
    vertices = 0;
    for (const TBSPFace& face : file.Faces) {
      if (face.FaceType != kPatchFace || PatchGridProblem(face)) continue;
      const TPatchMesh mesh = TessellatePatch(
          std::span(file.Vertices).subspan(static_cast<std::size_t>(face.FirstVertex), static_cast<std::size_t>(face.NumVertices)),
          face.PatchSize[0], face.PatchSize[1], 8);
      vertices += mesh.Vertices.size();
      benchmark::DoNotOptimize(mesh.Indices.data());
    }
  }
  state.counters["vertices"] = static_cast<double>(vertices);
}

// ---- Frames ----

struct TLoaded {
  TFolder Folder;
  TQuake3BSP Level;
  TRenderCache Cache;
  std::vector<bench::TCameraSpot> Spots;
  explicit TLoaded(const std::string& map) : Folder(map) {
    testsupport::TScopedWorkingDir workingDir(Folder.Dir.Path());
    if (!Level.LoadBSP(Folder.MapPath, AllSurfaces())) std::abort();
    Spots = bench::StartSpots(Folder.MapPath);
  }
};

void BM_Frame(benchmark::State& state, const std::string& map) {
  TLoaded& loaded = bench::LoadedOnce<TLoaded>(map);
  TQuake3BSP& level = loaded.Level;
  const std::optional<bench::TCameraSpot> found = bench::StartSpot(state, loaded.Spots);
  if (!found) return;
  const bench::TCameraSpot spot = *found;
  const TRenderOptions all{.Surfaces = TSurfaceSet::All};
  Context();
  bench::SetStartUpState();
  bench::BeginFrame(spot);
  level.RenderLevel(spot.Eye, all, loaded.Cache);
  const std::int32_t visibleFaces = VisibleFaceCount;
  const std::int64_t triangles = FrameTriangleCount(level, all);
  // The visible faces a frame with every surface draws, one batch per texture or lightmap.
  const auto textureBatches = bench::Batches(level, level.SurfaceTextures, level.TextureFaces, &TQuake3BSP::FaceTexCoords, SurfaceDrawn);
  const auto lightmapBatches = bench::Batches(level, level.LightmapTextures, level.LightmapFaces, &TQuake3BSP::FaceLightmapCoords, SurfaceDrawn);

  std::vector<double> renderMs, floorMs;
  const auto renderFrame = [&] {
    renderMs.push_back(bench::TimedFrame(spot, [&] { level.RenderLevel(spot.Eye, all, loaded.Cache); }));
  };
  const auto floorFrame = [&] {
    floorMs.push_back(bench::TimedFrame(spot, [&] { bench::DrawFloor(textureBatches, lightmapBatches); }));
  };
  bench::AlternateFrames(state, renderFrame, floorFrame);
  bench::ReportFrames(state, map, renderMs, floorMs);
  state.counters["visible_faces"] = visibleFaces;
  state.counters["triangles"] = static_cast<double>(triangles);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const std::string map : kMaps) {
    benchmark::RegisterBenchmark(("Tessellate/" + map).c_str(), BM_Tessellate, map)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Load/" + map).c_str(), BM_Load, map)->Iterations(5)->Unit(benchmark::kMillisecond);
    bench::RegisterFrames("Frame", BM_Frame, map);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
