// Curved surfaces and meshes (--surfaces all) on the three pak1 levels with the most curved-surface
// pieces, offscreen at 1024 x 768 on Mesa, each level loaded with its surface images:
//  - Load/<map>: the whole LoadBSP with every surface at N = 8 (file, tessellation, images,
//    lightmaps) and the share of it that tessellation takes (goal: under 10 %);
//  - Frame/<map>/<start point>: RenderLevel with every surface beside, in the same run and from
//    the same position, the floor of drawing the same visible triangles with the same textures in
//    one draw per texture and per lightmap (goal: within 1.10 x); the triangles per frame.
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/LevelFile.h"
#include "gl/OpenGL.h"
#include "level/BSPFile.h"
#include "level/Patch.h"
#include "level/Q3BSP.h"
#include "level/Q3BSP_surfaces.h"
#include "platform/OffscreenContext.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

constexpr int Width = 1024, Height = 768;
const char* const kMaps[] = {"oa_dm5", "pul1ctf", "delta"};
TLevelOptions AllSurfaces() {
  TLevelOptions options;
  options.Surfaces = TSurfaceSet::All;
  return options;
}

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
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A working folder with the level's images reachable as "textures/...", and "lgmp".
struct TFolder {
  testsupport::TTempDir Dir;
  std::string MapPath;
  explicit TFolder(const std::string& map) {
    MapPath = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/" + map + ".bsp"}) + "/maps/" + map + ".bsp";
    testsupport::InstallOpenArenaImages(app::TLevelFile(MapPath).TextureNames(), Dir.Path());
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
  std::vector<std::pair<TVector, float>> Spots;  // eye, camera yaw
  explicit TLoaded(const std::string& map) : Folder(map) {
    testsupport::TScopedWorkingDir workingDir(Folder.Dir.Path());
    if (!Level.LoadBSP(Folder.MapPath, AllSurfaces())) std::abort();
    for (const app::TSpawnPoint& spawn :
         app::FindSpawnPoints(app::ParseEntities(app::TLevelFile(Folder.MapPath).EntitiesText())))
      Spots.push_back({{spawn.Origin.X, spawn.Origin.Y, spawn.Origin.Z + 32}, 90 - spawn.Angle});
  }
};

TLoaded& Loaded(const std::string& map) {
  static std::map<std::string, std::unique_ptr<TLoaded>> levels;
  std::unique_ptr<TLoaded>& slot = levels[map];
  if (!slot) {
    Context();
    slot = std::make_unique<TLoaded>(map);
  }
  return *slot;
}

// What start-up, lightmap loading and the heads-up text leave for the level's frames.
void StartUpState() {
  glClearColor(0, 0, 0, 0);
  glEnable(GL_DEPTH_TEST);
  glCullFace(GL_FRONT);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.6f);
}

void BeginFrame(const std::pair<TVector, float>& spot) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(80, static_cast<double>(Width) / Height, 5, 20000);
  glViewport(0, 0, Width, Height);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glRotatef(270, 1, 0, 0);
  glRotatef(spot.second, 0, 0, 1);
  glTranslatef(-spot.first.X, -spot.first.Y, -spot.first.Z);
}

struct TBatch {
  GLuint Texture = 0;
  std::vector<TVector> Positions;
  std::vector<TTexCoord> Coords;
  std::vector<GLuint> Indices;
};

// The visible faces a frame with every surface draws, one batch per texture or lightmap.
std::vector<TBatch> Batches(const TQuake3BSP& level, const std::vector<GLuint>& textures,
                            const std::vector<std::vector<std::int32_t>>& groups,
                            const std::vector<AGLNrf2> TQuake3BSP::*coords) {
  std::vector<TBatch> batches;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    TBatch batch;
    batch.Texture = textures[g];
    for (const std::int32_t f : groups[g]) {
      const std::size_t face = static_cast<std::size_t>(f);
      if (level.FaceVisible[face] == 0 || !SurfaceDrawn(level, face)) continue;
      const GLuint base = static_cast<GLuint>(batch.Positions.size());
      const AGLNrf3& vertices = level.FaceVertices[face];
      batch.Positions.insert(batch.Positions.end(), vertices.begin(), vertices.end());
      const AGLNrf2& faceCoords = (level.*coords)[face];
      batch.Coords.insert(batch.Coords.end(), faceCoords.begin(), faceCoords.end());
      const std::vector<GLuint>& indices = level.FaceIndices[face];
      if (!indices.empty())
        for (const GLuint i : indices) batch.Indices.push_back(base + i);
      else
        for (GLuint i = 1; i + 1 < vertices.size(); ++i) batch.Indices.insert(batch.Indices.end(), {base, base + i, base + i + 1});
    }
    if (!batch.Indices.empty()) batches.push_back(std::move(batch));
  }
  return batches;
}

void DrawBatches(const std::vector<TBatch>& batches) {
  for (const TBatch& batch : batches) {
    glBindTexture(GL_TEXTURE_2D, batch.Texture);
    glVertexPointer(3, GL_FLOAT, 0, batch.Positions.data());
    glTexCoordPointer(2, GL_FLOAT, 0, batch.Coords.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.Indices.size()), GL_UNSIGNED_INT, batch.Indices.data());
  }
}

void BM_Frame(benchmark::State& state, const std::string& map) {
  TLoaded& loaded = Loaded(map);
  TQuake3BSP& level = loaded.Level;
  if (loaded.Spots.empty()) {
    state.SkipWithError("no start points");
    return;
  }
  const auto spot = loaded.Spots[static_cast<std::size_t>(state.range(0)) % loaded.Spots.size()];
  const TRenderOptions all{.Surfaces = TSurfaceSet::All};
  Context();
  StartUpState();
  BeginFrame(spot);
  level.RenderLevel(spot.first, all);
  const std::int32_t visibleFaces = VisibleFaceCount;
  const std::int64_t triangles = FrameTriangleCount(level, all);
  const std::vector<TBatch> textureBatches = Batches(level, level.SurfaceTextures, level.TextureFaces, &TQuake3BSP::FaceTexCoords);
  const std::vector<TBatch> lightmapBatches = Batches(level, level.LightmapTextures, level.LightmapFaces, &TQuake3BSP::FaceLightmapCoords);

  std::vector<double> renderMs, floorMs;
  const auto renderFrame = [&] {
    const auto start = std::chrono::steady_clock::now();
    BeginFrame(spot);
    level.RenderLevel(spot.first, all);
    glFinish();
    renderMs.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
  };
  const auto floorFrame = [&] {
    const auto start = std::chrono::steady_clock::now();
    BeginFrame(spot);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    DrawBatches(textureBatches);
    glDepthFunc(GL_EQUAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
    DrawBatches(lightmapBatches);
    glDisable(GL_BLEND);
    glDepthFunc(GL_LESS);
    glFinish();
    floorMs.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
  };
  // Alternating which goes first, so that neither always inherits the other's caches.
  bool renderFirst = true;
  glFinish();
  for (auto _ : state) {
    if (renderFirst) {
      renderFrame();
      floorFrame();
    } else {
      floorFrame();
      renderFrame();
    }
    renderFirst = !renderFirst;
  }
  state.SetLabel(map + " start point " + std::to_string(state.range(0)));
  state.counters["render_ms"] = Median(renderMs);
  state.counters["batched_floor_ms"] = Median(floorMs);
  state.counters["ratio"] = Median(renderMs) / Median(floorMs);
  state.counters["visible_faces"] = visibleFaces;
  state.counters["triangles"] = static_cast<double>(triangles);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const std::string map : kMaps) {
    benchmark::RegisterBenchmark(("Tessellate/" + map).c_str(), BM_Tessellate, map)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Load/" + map).c_str(), BM_Load, map)->Iterations(5)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Frame/" + map).c_str(), BM_Frame, map)
        ->DenseRange(0, 3)
        ->Iterations(24)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
