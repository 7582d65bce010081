// Visibility and level rendering on OpenArena's maps, offscreen at 1024 x 768 on Mesa:
//  - the marking pass (descent, one cluster test per leaf, one flag per listed face) from many
//    positions in the largest map, with and without the range checks that keep levels built in
//    memory safe;
//  - whole frames of RenderLevel (glFinish included) beside, in the same run and from the same
//    positions, the floor of drawing the same visible triangles with the same textures in one
//    draw per texture and per lightmap;
//  - allocations per frame, counted by this program's operator new.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "level/Q3BSP.h"
#include "level/Q3BSP_visibility.h"
#include "render/Q3BSP_render.h"
#include "render/RenderCache.h"
#include "support/BenchFrame.h"

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

namespace {

using bench::TCameraSpot;

std::vector<std::string> MapsBySize() {
  std::vector<std::pair<std::uintmax_t, std::string>> maps;
  for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(bench::MapsFolder()))
    if (entry.path().extension() == ".bsp") maps.emplace_back(entry.file_size(), entry.path().stem().string());
  std::sort(maps.rbegin(), maps.rend());
  std::vector<std::string> names;
  for (const auto& map : maps) names.push_back(map.second);
  return names;
}

// Loaded once per map (through Loaded), with the surface images of pak0 and pak4-textures beside it.
struct TLoadedLevel {
  TQuake3BSP Level;
  TRenderCache Cache;
  std::vector<TCameraSpot> Spots;  // the player start points, at eye height
  explicit TLoadedLevel(const std::string& map) {
    const std::string path = bench::MapPath(map);
    {
      bench::TLevelFolder folder;
      if (!Level.LoadBSP(path)) std::abort();
    }
    Spots = bench::StartSpots(path);
  }
};

TLoadedLevel& Loaded(const std::string& map) { return bench::LoadedOnce<TLoadedLevel>(map); }

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

void BM_Frame(benchmark::State& state, const std::string& map) {
  using bench::Median, bench::Milliseconds;
  TLoadedLevel& loaded = Loaded(map);
  TQuake3BSP& level = loaded.Level;
  const std::optional<TCameraSpot> found = bench::StartSpot(state, loaded.Spots);
  if (!found) return;
  const TCameraSpot spot = *found;
  bench::Context();
  bench::SetStartUpState();

  // The floor's arrays, from this position's visible faces.
  bench::BeginFrame(spot);
  level.RenderLevel(spot.Eye, {}, loaded.Cache);
  const std::int32_t visibleFaces = VisibleFaceCount;
  const std::vector<bench::TBatch> textureBatches = bench::Batches(level, level.SurfaceTextures, level.TextureFaces, &TQuake3BSP::FaceTexCoords);
  const std::vector<bench::TBatch> lightmapBatches = bench::Batches(level, level.LightmapTextures, level.LightmapFaces, &TQuake3BSP::FaceLightmapCoords);
  std::size_t triangles = 0;
  for (const bench::TBatch& batch : textureBatches) triangles += batch.Indices.size() / 3;

  std::vector<double> renderMs, floorMs, renderSubmitMs, floorSubmitMs;
  long allocations = 0;
  const auto renderFrame = [&] {
    const auto start = std::chrono::steady_clock::now();
    bench::BeginFrame(spot);
    const long before = Allocations.load();
    level.RenderLevel(spot.Eye, {}, loaded.Cache);
    allocations += Allocations.load() - before;
    renderSubmitMs.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    glFinish();
    renderMs.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
  };
  const auto floorFrame = [&] {
    const auto start = std::chrono::steady_clock::now();
    bench::BeginFrame(spot);
    bench::DrawFloor(textureBatches, lightmapBatches);
    floorSubmitMs.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    glFinish();
    floorMs.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
  };
  bench::AlternateFrames(state, renderFrame, floorFrame);
  bench::ReportFrames(state, map, renderMs, floorMs);
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
  for (const std::string map : {"oa_dm4", "ctf_inyard", "oa_rpg3dm2"}) bench::RegisterFrames("Frame", BM_Frame, map);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
