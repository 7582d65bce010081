// The level's things on OpenArena's data, with --full (shader scripts, every surface, brush models,
// items as models):
//  - the brush-model pass (every model of the level tested against the camera's cluster and its
//    faces marked) beside the whole frame it belongs to, at the same start points;
//  - the time the items' models and images take within the level's load, and the models alone;
//  - whole frames beside the floor of the same draws: the level's visible triangles batched into
//    one draw per texture and per lightmap with the same states, the sky, and the visible items
//    with their indices gathered beforehand, one draw per item group.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "level/Q3BSP_surfaces.h"
#include "level/Things.h"
#include "render/Q3BSP_sky.h"
#include "render/RenderCache.h"
#include "render/ShaderStages.h"
#include "support/BenchFrame.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

using TClock = std::chrono::steady_clock;
using bench::Milliseconds;

// Textures, scripts, sky images and the item models of the game's archives, in the game's order.
std::string DataRoot() {
  static const std::string root = [] {
    testsupport::ExtractOpenArena("pak0.pk3", {"textures/*", "models/*"});
    testsupport::ExtractOpenArena("pak4-textures.pk3", {"textures/*"});
    std::string last;
    for (const char* pak : {"pak0.pk3", "pak2-players.pk3", "pak5-TA.pk3", "pak6-patch085.pk3", "pak6-patch088.pk3",
                            "z_oacmp-volume1-v3.pk3"})
      last = testsupport::ExtractOpenArena(pak, {"scripts/*.shader", "env/*", "models/*"});
    return last;
  }();
  return root;
}

TLevelOptions FullLoad() {
  TLevelOptions options;
  options.Shaders = true;
  options.Surfaces = TSurfaceSet::All;
  options.BrushModels = true;
  options.Items = true;
  return options;
}

TRenderOptions FullFrame() {
  TRenderOptions options;
  options.Shaders = true;
  options.Surfaces = TSurfaceSet::All;
  options.BrushModels = true;
  options.Items = true;
  return options;
}

struct TLoaded {
  TQuake3BSP Level;
  TRenderCache Cache;
  std::vector<double> LoadMs, ItemsMs, ImagesMs;  // three loads each
  std::vector<bench::TCameraSpot> Spots;
  explicit TLoaded(const std::string& map) {
    const std::string path = bench::MapPath(map);
    testsupport::TTempDir folder;
    for (const char* sub : {"textures", "env", "scripts", "models"})
      fs::create_directory_symlink(DataRoot() + "/" + sub, fs::path(folder.Path()) / sub);
    fs::create_directory(fs::path(folder.Path()) / "lgmp");
    testsupport::TScopedWorkingDir workingDir(folder.Path());
    for (int load = 0; load < 3; ++load) {
      TQuake3BSP level;
      const auto start = TClock::now();
      level.LoadBSP(path, FullLoad());
      LoadMs.push_back(Milliseconds(TClock::now() - start));
      ItemsMs.push_back(level.Things.ItemModels.LoadMs);
      ImagesMs.push_back(level.Things.ItemModels.ImagesMs);
      if (load == 2) Level = std::move(level);
    }
    Spots = bench::StartSpots(path);
  }
};

void BM_ItemLoad(benchmark::State& state, const std::string& map) {
  TLoaded& loaded = bench::LoadedOnce<TLoaded>(map);
  for (auto _ : state) benchmark::DoNotOptimize(loaded.LoadMs);
  const double load = bench::Median(loaded.LoadMs), items = bench::Median(loaded.ItemsMs);
  state.SetLabel(map);
  state.counters["load_ms"] = load;
  state.counters["items_ms"] = items;
  state.counters["items_pct"] = 100 * items / load;
  // The models alone (read, parsed, placed), without the images their surfaces name.
  const double images = bench::Median(loaded.ImagesMs);
  state.counters["md3_pct"] = 100 * (items - images) / load;
  state.counters["items"] = loaded.Level.Things.ItemModels.Items;
  state.counters["models"] = loaded.Level.Things.ItemModels.ModelsLoaded;
  state.counters["markers"] = static_cast<double>(loaded.Level.Things.ItemModels.Markers.size());
}

// The brush-model pass alone, many times over, beside whole frames from the same point.
void BM_BrushModelPass(benchmark::State& state, const std::string& map) {
  TLoaded& loaded = bench::LoadedOnce<TLoaded>(map);
  TQuake3BSP& level = loaded.Level;
  const std::optional<bench::TCameraSpot> spot = bench::StartSpot(state, loaded.Spots);
  if (!spot) return;
  bench::Context();
  bench::SetStartUpState();
  constexpr int kPasses = 1000;
  std::vector<double> passMs, frameMs;
  TVisibleBrushModels visible;  // kept between passes, as a frame's render cache keeps it
  for (auto _ : state) {
    auto start = TClock::now();
    for (int pass = 0; pass < kPasses; ++pass)
      benchmark::DoNotOptimize(MarkBrushModels(level, spot->Eye, visible));
    passMs.push_back(Milliseconds(TClock::now() - start) / kPasses);
    start = TClock::now();
    bench::BeginFrame(*spot);
    level.RenderLevel(spot->Eye, FullFrame(), loaded.Cache);
    glFinish();
    frameMs.push_back(Milliseconds(TClock::now() - start));
  }
  state.SetLabel(map + " start point " + std::to_string(state.range(0)));
  state.counters["models"] = static_cast<double>(level.Things.BrushModels.size());
  state.counters["pass_us"] = 1000 * bench::Median(passMs);
  state.counters["frame_ms"] = bench::Median(frameMs);
  state.counters["pass_pct"] = 100 * bench::Median(passMs) / bench::Median(frameMs);
}

// One texture's (or lightmap's) visible triangles with the state they are drawn in.
struct TStateBatch : bench::TBatch {
  shaders::TDrawState State;
};

struct TFloor {
  std::vector<TStateBatch> Opaque, Lightmaps, Blended;
  std::vector<std::vector<std::uint32_t>> ItemIndices;  // per item group, the visible items'
};

bool Drawn(const TQuake3BSP& level, std::size_t face) { return SurfaceDrawn(level, face); }

void AddGroup(std::vector<TStateBatch>& to, const TQuake3BSP& level, GLuint texture, const shaders::TDrawState& state,
              const std::vector<std::int32_t>& faces, const std::vector<AGLNrf2>& coords) {
  TStateBatch batch{{texture, {}, {}, {}}, state};
  for (const std::int32_t f : faces)
    if (level.FaceVisible[static_cast<std::size_t>(f)] != 0 && Drawn(level, static_cast<std::size_t>(f)))
      bench::AppendFace(batch, level, static_cast<std::size_t>(f), coords[static_cast<std::size_t>(f)]);
  if (!batch.Indices.empty()) to.push_back(std::move(batch));
}

// After a frame has marked the faces from the spot.
TFloor BuildFloor(const TQuake3BSP& level, const TVector& eye) {
  TFloor floor;
  const TLevelShading& shading = level.Shading;
  for (std::size_t t = 0; t < level.TextureFaces.size(); ++t)
    if (shading.States[t].Drawn)
      AddGroup(shading.States[t].Blended ? floor.Blended : floor.Opaque, level, level.SurfaceTextures[t],
               shading.States[t], level.TextureFaces[t], level.FaceTexCoords);
  for (const bool twoSided : {false, true}) {
    const auto& lists = twoSided ? shading.TwoSidedLightmapFaces : shading.OneSidedLightmapFaces;
    shaders::TDrawState state;
    state.TwoSided = twoSided;
    for (std::size_t m = 0; m < lists.size(); ++m)
      AddGroup(floor.Lightmaps, level, level.LightmapTextures[m], state, lists[m], level.FaceLightmapCoords);
  }
  const std::int32_t leaf = level.FindLeaf(eye);
  const std::int32_t cluster = leaf >= 0 ? level.Leaves[static_cast<std::size_t>(leaf)].Cluster : -1;
  for (const TItemGroup& group : level.Things.ItemModels.Groups) {
    std::vector<std::uint32_t>& indices = floor.ItemIndices.emplace_back();
    for (const TItemRun& run : group.Runs)
      if (level.IsClusterVisible(cluster, run.Cluster))
        indices.insert(indices.end(), group.Indices.begin() + run.First, group.Indices.begin() + run.First + run.Count);
  }
  return floor;
}

void SetState(const shaders::TDrawState& state, bool blended) {
  if (blended) glBlendFunc(static_cast<GLenum>(state.BlendSource), static_cast<GLenum>(state.BlendDestination));
  if (state.AlphaTest == shaders::TAlphaTest::None) {
    glDisable(GL_ALPHA_TEST);
  } else {
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(state.AlphaTest == shaders::TAlphaTest::GT0 ? GL_GREATER
                : state.AlphaTest == shaders::TAlphaTest::LT128 ? GL_LESS : GL_GEQUAL,
                state.AlphaTest == shaders::TAlphaTest::GT0 ? 0.0f : 0.5f);
  }
  if (state.TwoSided) glDisable(GL_CULL_FACE);
}

void Draw(const std::vector<TStateBatch>& batches, bool blended) {
  for (const TStateBatch& batch : batches) {
    glBindTexture(GL_TEXTURE_2D, batch.Texture);
    SetState(batch.State, blended);
    bench::DrawArrays(batch);
    glEnable(GL_CULL_FACE);
  }
}

void DrawItems(const TQuake3BSP& level, const TFloor& floor, bool blended) {
  glEnableClientState(GL_COLOR_ARRAY);
  const std::vector<TItemGroup>& groups = level.Things.ItemModels.Groups;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (groups[g].State.Blended != blended || floor.ItemIndices[g].empty()) continue;
    glBindTexture(GL_TEXTURE_2D, groups[g].Texture);
    SetState(groups[g].State, blended);
    glVertexPointer(3, GL_FLOAT, 0, groups[g].Positions.data());
    glTexCoordPointer(2, GL_FLOAT, 0, groups[g].Coords.data());
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, groups[g].Colours.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(floor.ItemIndices[g].size()), GL_UNSIGNED_INT,
                   floor.ItemIndices[g].data());
    glEnable(GL_CULL_FACE);
  }
  glDisableClientState(GL_COLOR_ARRAY);
}

void DrawFloor(TQuake3BSP& level, TShadedFrame& frame, const TFloor& floor, const TVector& eye) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  Draw(floor.Opaque, false);
  glDisable(GL_ALPHA_TEST);
  glDepthFunc(GL_EQUAL);
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
  Draw(floor.Lightmaps, false);
  glDisable(GL_BLEND);
  glDepthFunc(GL_LESS);
  DrawSky(level.Shading, frame, eye, SkyArea(level, frame));
  glEnable(GL_BLEND);
  glDepthMask(GL_FALSE);
  Draw(floor.Blended, true);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  DrawItems(level, floor, false);
  glEnable(GL_BLEND);
  glDepthMask(GL_FALSE);
  DrawItems(level, floor, true);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.6f);
}

void BM_FullFrame(benchmark::State& state, const std::string& map) {
  TLoaded& loaded = bench::LoadedOnce<TLoaded>(map);
  TQuake3BSP& level = loaded.Level;
  const std::optional<bench::TCameraSpot> spot = bench::StartSpot(state, loaded.Spots);
  if (!spot) return;
  const TVector eye = spot->Eye;
  bench::Context();
  bench::SetStartUpState();
  bench::BeginFrame(*spot);
  level.RenderLevel(eye, FullFrame(), loaded.Cache);
  const TFloor floor = BuildFloor(level, eye);
  std::vector<double> renderMs, floorMs;
  const auto renderFrame = [&] {
    renderMs.push_back(bench::TimedFrame(*spot, [&] { level.RenderLevel(eye, FullFrame(), loaded.Cache); }));
  };
  const auto floorFrame = [&] {
    floorMs.push_back(bench::TimedFrame(*spot, [&] { DrawFloor(level, loaded.Cache.Shaded, floor, eye); }));
  };
  bench::AlternateFrames(state, renderFrame, floorFrame);
  bench::ReportFrames(state, map, renderMs, floorMs);
  std::size_t items = 0;
  for (const auto& indices : floor.ItemIndices) items += indices.size() / 3;
  state.counters["item_triangles"] = static_cast<double>(items);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const std::string map : {"czest3ctf", "czest1dm", "oa_bases7"}) {
    benchmark::RegisterBenchmark(("ItemLoad/" + map).c_str(), BM_ItemLoad, map)->Iterations(1)->Unit(benchmark::kMillisecond);
    bench::RegisterFrames("FullFrame", BM_FullFrame, map);
  }
  for (const std::string map : {"oa_dm2", "kaos", "czest3ctf"})
    bench::RegisterFrames("BrushModelPass", BM_BrushModelPass, map);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
