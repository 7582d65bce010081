// Visibility and level rendering on OpenArena's maps, offscreen at 1024 x 768 on Mesa:
//  - the marking pass (descent, one cluster test per leaf, one flag per listed face) from many
//    positions in the largest map, with and without the range checks that keep levels built in
//    memory safe;
//  - whole frames of RenderLevel (glFinish included) beside, in the same run and from the same
//    positions, the floor of drawing the same visible triangles with the same textures in one
//    draw per texture and per lightmap;
//  - allocations per frame, counted by this program's operator new.
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/LevelFile.h"
#include "gl/OpenGL.h"
#include "level/Q3BSP.h"
#include "level/Q3BSP_visibility.h"
#include "platform/OffscreenContext.h"
#include "support/TestSupport.h"

namespace {
std::atomic<long> Allocations{0};
}

// GCC sees the standard operator new paired with free; here both sides are ours and match.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  Allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace fs = std::filesystem;

namespace {

constexpr int Width = 1024, Height = 768;

platform::TOffscreenGLContext& Context() {
  static platform::TOffscreenGLContext context(Width, Height);
  static const bool loaded = (LoadOpenGL("opengl32.dll"), true);
  (void)loaded;
  return context;
}

std::string MapsFolder() {
  return testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/*.bsp"}) + "/maps";
}

std::vector<std::string> MapsBySize() {
  std::vector<std::pair<std::uintmax_t, std::string>> maps;
  for (const fs::directory_entry& entry : fs::directory_iterator(MapsFolder()))
    if (entry.path().extension() == ".bsp") maps.emplace_back(entry.file_size(), entry.path().stem().string());
  std::sort(maps.rbegin(), maps.rend());
  std::vector<std::string> names;
  for (const auto& map : maps) names.push_back(map.second);
  return names;
}

struct TCameraSpot {
  TVector Eye;
  float Yaw;  // the camera's, 0 looking along +Y
};

struct TLoadedLevel {
  TQuake3BSP Level;
  std::vector<TCameraSpot> Spots;  // the player start points, at eye height
};

// Loaded once per map, with the surface images of pak0 and pak4-textures beside it.
TLoadedLevel& Loaded(const std::string& map) {
  static std::map<std::string, std::unique_ptr<TLoadedLevel>> levels;
  std::unique_ptr<TLoadedLevel>& slot = levels[map];
  if (slot) return *slot;
  Context();
  slot = std::make_unique<TLoadedLevel>();
  const std::string path = MapsFolder() + "/" + map + ".bsp";
  testsupport::ExtractOpenArena("pak0.pk3", {"textures/*"});
  const std::string root = testsupport::ExtractOpenArena("pak4-textures.pk3", {"textures/*"});
  {
    testsupport::TTempDir folder;
    fs::create_directory(folder / "lgmp");
    fs::create_directory_symlink(root + "/textures", folder / "textures");
    testsupport::TScopedWorkingDir workingDir(folder.Path());
    if (!slot->Level.LoadBSP(path)) std::abort();
  }
  const app::TLevelFile file(path);
  for (const app::TSpawnPoint& spawn : app::FindSpawnPoints(app::ParseEntities(file.EntitiesText())))
    slot->Spots.push_back({{spawn.Origin.X, spawn.Origin.Y, spawn.Origin.Z + 32}, 90 - spawn.Angle});
  return *slot;
}

// Positions a little in front of polygon faces, spread over the face list, after the start points.
std::vector<TVector> ManyPositions(const TLoadedLevel& loaded, std::size_t count) {
  std::vector<TVector> positions;
  for (const TCameraSpot& spot : loaded.Spots) positions.push_back(spot.Eye);
  const TQuake3BSP& level = loaded.Level;
  const std::size_t step = std::max<std::size_t>(1, level.Faces.size() / count);
  for (std::size_t f = 0; f < level.Faces.size() && positions.size() < count; f += step) {
    if (level.Faces[f].FaceType != 1 || level.FaceVertices[f].empty()) continue;
    const TVector v = level.FaceVertices[f][0], n = level.Faces[f].Normal;
    positions.push_back({v.X + 16 * n.X, v.Y + 16 * n.Y, v.Z + 16 * n.Z});
  }
  return positions;
}

// The marking pass without any range check: what the loader's guarantees would allow.
void MarkUnchecked(TQuake3BSP& level, const TVector& p) {
  std::int32_t index = 0;
  while (index >= 0) {
    const TBSPNode& node = level.Nodes[static_cast<std::size_t>(index)];
    const TBSPPlane& plane = level.Planes[static_cast<std::size_t>(node.PlaneIndex)];
    const float d = plane.Normal.X * p.X + plane.Normal.Y * p.Y + plane.Normal.Z * p.Z - plane.Distance;
    index = d >= 0.0f ? node.Front : node.Back;
  }
  const std::int32_t cluster = level.Leaves[static_cast<std::size_t>(~index)].Cluster;
  const std::vector<std::uint8_t>& bits = level.VisData.Bits;
  for (const TBSPLeaf& leaf : level.Leaves) {
    bool visible = true;
    if (!bits.empty() && cluster >= 0) {
      const std::int64_t byte = static_cast<std::int64_t>(cluster) * level.VisData.BytesPerCluster + leaf.Cluster / 8;
      visible = byte >= static_cast<std::int64_t>(bits.size()) || (bits[static_cast<std::size_t>(byte)] & (1 << (leaf.Cluster & 7)));
    }
    if (!visible) continue;
    for (std::int32_t k = 0; k < leaf.NumLeafFaces; ++k)
      level.FaceVisible[static_cast<std::size_t>(level.LeafFaces[static_cast<std::size_t>(leaf.FirstLeafFace + k)])] = -1;
  }
}

template <bool Checked>
void BM_MarkVisibleFaces(benchmark::State& state) {
  const std::string map = MapsBySize().front();
  TLoadedLevel& loaded = Loaded(map);
  TQuake3BSP& level = loaded.Level;
  const std::vector<TVector> positions = ManyPositions(loaded, 512);
  double marked = 0;
  for (const TVector& p : positions) {
    std::fill(level.FaceVisible.begin(), level.FaceVisible.end(), 0);
    MarkVisibleFaces(level, p);
    marked += static_cast<double>(std::count(level.FaceVisible.begin(), level.FaceVisible.end(), -1));
  }
  std::size_t next = 0;
  long allocations = 0;
  for (auto _ : state) {
    const TVector& p = positions[next++ % positions.size()];
    const long before = Allocations.load(std::memory_order_relaxed);
    std::fill(level.FaceVisible.begin(), level.FaceVisible.end(), 0);
    if constexpr (Checked)
      MarkVisibleFaces(level, p);
    else
      MarkUnchecked(level, p);
    allocations += Allocations.load(std::memory_order_relaxed) - before;
    benchmark::DoNotOptimize(level.FaceVisible.data());
    benchmark::ClobberMemory();
  }
  const double frames = static_cast<double>(state.iterations());
  state.SetLabel(map + ", " + std::to_string(positions.size()) + " positions, " +
                 std::to_string(level.LeafCount) + " leaves, " + std::to_string(level.FaceCount) + " faces");
  state.counters["leaves"] = level.LeafCount;
  state.counters["time_per_leaf"] = benchmark::Counter(frames * level.LeafCount,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["marked_faces"] = marked / static_cast<double>(positions.size());
  state.counters["allocs_per_frame"] = static_cast<double>(allocations) / frames;
}

// ---- Whole frames ----

void StartUpState() {
  glClearColor(0, 0, 0, 0);
  glEnable(GL_DEPTH_TEST);
  glCullFace(GL_FRONT);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  // What the heads-up text leaves on from the second frame on.
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.6f);
}

// The frame loop's projection and camera, looking horizontally.
void BeginFrame(const TCameraSpot& spot) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(80, static_cast<double>(Width) / Height, 5, 20000);
  glViewport(0, 0, Width, Height);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glRotatef(270, 1, 0, 0);
  glRotatef(spot.Yaw, 0, 0, 1);
  glTranslatef(-spot.Eye.X, -spot.Eye.Y, -spot.Eye.Z);
}

// The visible polygons of one texture or lightmap, in one set of arrays.
struct TBatch {
  GLuint Texture = 0;
  std::vector<TVector> Positions;
  std::vector<TTexCoord> Coords;
  std::vector<GLuint> Indices;
};

std::vector<TBatch> Batches(const TQuake3BSP& level, const std::vector<GLuint>& textures,
                            const std::vector<std::vector<std::int32_t>>& groups,
                            const std::vector<AGLNrf2> TQuake3BSP::*coords) {
  std::vector<TBatch> batches;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    TBatch batch;
    batch.Texture = textures[g];
    for (const std::int32_t f : groups[g]) {
      const std::size_t face = static_cast<std::size_t>(f);
      if (level.FaceVisible[face] == 0 || level.Faces[face].FaceType != 1) continue;
      const GLuint base = static_cast<GLuint>(batch.Positions.size());
      const std::vector<TVector>& vertices = level.FaceVertices[face];
      batch.Positions.insert(batch.Positions.end(), vertices.begin(), vertices.end());
      const AGLNrf2& faceCoords = (level.*coords)[face];
      batch.Coords.insert(batch.Coords.end(), faceCoords.begin(), faceCoords.end());
      const std::vector<GLuint>& indices = level.FaceIndices[face];
      if (!indices.empty()) {
        for (const GLuint i : indices) batch.Indices.push_back(base + i);
      } else {
        for (GLuint i = 1; i + 1 < vertices.size(); ++i) batch.Indices.insert(batch.Indices.end(), {base, base + i, base + i + 1});
      }
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

void BM_Frame(benchmark::State& state, const std::string& map) {
  TLoadedLevel& loaded = Loaded(map);
  TQuake3BSP& level = loaded.Level;
  if (loaded.Spots.empty()) {
    state.SkipWithError("no start points");
    return;
  }
  const TCameraSpot spot = loaded.Spots[static_cast<std::size_t>(state.range(0)) % loaded.Spots.size()];
  Context();
  StartUpState();

  // The floor's arrays, from this position's visible faces.
  BeginFrame(spot);
  level.RenderLevel(spot.Eye);
  const std::int32_t visibleFaces = VisibleFaceCount;
  const std::vector<TBatch> textureBatches = Batches(level, level.SurfaceTextures, level.TextureFaces, &TQuake3BSP::FaceTexCoords);
  const std::vector<TBatch> lightmapBatches = Batches(level, level.LightmapTextures, level.LightmapFaces, &TQuake3BSP::FaceLightmapCoords);
  std::size_t triangles = 0;
  for (const TBatch& batch : textureBatches) triangles += batch.Indices.size() / 3;

  std::vector<double> renderMs, floorMs, renderSubmitMs, floorSubmitMs;
  long allocations = 0;
  const auto renderFrame = [&] {
    const auto start = std::chrono::steady_clock::now();
    BeginFrame(spot);
    const long before = Allocations.load();
    level.RenderLevel(spot.Eye);
    allocations += Allocations.load() - before;
    renderSubmitMs.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
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
    floorSubmitMs.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
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
  const double render = Median(renderMs), floor = Median(floorMs);
  state.SetLabel(map + " start point " + std::to_string(state.range(0)));
  state.counters["render_ms"] = render;
  state.counters["batched_floor_ms"] = floor;
  state.counters["ratio"] = render / floor;
  state.counters["render_submit_ms"] = Median(renderSubmitMs);
  state.counters["floor_submit_ms"] = Median(floorSubmitMs);
  state.counters["visible_faces"] = visibleFaces;
  state.counters["surface_images"] = static_cast<double>(
      level.TextureCount - std::count(level.SurfaceTextures.begin(), level.SurfaceTextures.end(), 0u));
  state.counters["textures"] = level.TextureCount;
  state.counters["triangles"] = static_cast<double>(triangles);
  state.counters["allocs_per_frame"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
}

}  // namespace

BENCHMARK(BM_MarkVisibleFaces<true>)->Name("MarkVisibleFaces/largest_map")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MarkVisibleFaces<false>)->Name("MarkVisibleFaces_without_range_checks/largest_map")->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const std::string map : {"oa_dm4", "ctf_inyard", "oa_rpg3dm2"})
    benchmark::RegisterBenchmark(("Frame/" + map).c_str(), BM_Frame, map)
        ->DenseRange(0, 3)
        ->Iterations(24)
        ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
