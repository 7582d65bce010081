// --fast on three OpenArena levels of different sizes (oa_dm1, kaos2, ctf_inyard), offscreen at
// 1024 x 768, from four start points each, the frames of one pose taking turns in the same run:
//  - FastFrame: the design's two passes, the --fast frame (one pass, culled, kept lists) and the
//    floor of the one-pass draws (the same in-view triangles with the same two textures, prebuilt,
//    one draw per pair and nothing else);
//  - FullFrame: with --shaders and every surface, the frame with and without --fast.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gl/Multitexture.h"
#include "level/Q3BSP.h"
#include "render/FastPath.h"
#include "render/RenderCache.h"
#include "support/BenchFrame.h"

namespace {

using TClock = std::chrono::steady_clock;
using bench::Milliseconds;

const char* const kLevels[] = {"oa_dm1", "kaos2", "ctf_inyard"};

// The level loaded as the plain run loads it, and once more with --full's load options.
struct TLoaded {
  TQuake3BSP Plain, Full;
  TRenderCache PlainCache, FullCache;  // one per level
  std::vector<bench::TCameraSpot> Spots;
  explicit TLoaded(const std::string& map) {
    const std::string path = bench::MapPath(map);
    bench::TBaseFolder base;
    testsupport::TScopedWorkingDir workingDir(base.Path());
    Plain.LoadBSP(path);
    TLevelOptions full;
    full.Shaders = true;
    full.Surfaces = TSurfaceSet::All;
    Full.LoadBSP(path, full);
    Spots = bench::StartSpots(path);
  }
};

// One pair's in-view triangles in arrays of their own.
struct TFloorBatch {
  GLuint Image = 0, Lightmap = 0;
  bool Lit = false;
  AGLNrf3 Positions;
  AGLNrf2 Coords, LightmapCoords;
  std::vector<GLuint> Indices;
};

// What the last --fast frame drew, copied out of its batches.
std::vector<TFloorBatch> FloorOf(const TQuake3BSP& level, const TDrawLists& lists) {
  std::vector<TFloorBatch> floor;
  for (const TDrawBatch& batch : lists.Batches) {
    if (batch.FacesInView == 0) continue;
    TFloorBatch out;
    out.Image = level.SurfaceTextures[static_cast<std::size_t>(batch.Texture)];
    out.Lit = batch.Lightmap >= 0;
    if (out.Lit) out.Lightmap = level.LightmapTextures[static_cast<std::size_t>(batch.Lightmap)];
    out.Positions = batch.Positions;
    out.Coords = batch.Coords;
    out.LightmapCoords = batch.LightmapCoords;
    out.Indices = batch.View == TDrawBatch::TInView::Part ? batch.InView : batch.Indices;
    if (batch.View == TDrawBatch::TInView::None) out.Indices.clear();
    for (std::size_t i = 0; i < batch.LargeFaces.size(); ++i) {
      if (batch.LargeInView[i] == 0) continue;
      const std::size_t face = batch.LargeFaces[i].First;
      const auto base = static_cast<GLuint>(out.Positions.size());
      out.Positions.insert(out.Positions.end(), level.FaceVertices[face].begin(), level.FaceVertices[face].end());
      out.Coords.insert(out.Coords.end(), level.FaceTexCoords[face].begin(), level.FaceTexCoords[face].end());
      out.LightmapCoords.insert(out.LightmapCoords.end(), level.FaceLightmapCoords[face].begin(), level.FaceLightmapCoords[face].end());
      for (const GLuint index : level.FaceIndices[face]) out.Indices.push_back(base + index);
    }
    floor.push_back(std::move(out));
  }
  return floor;
}

void DrawFloor(const std::vector<TFloorBatch>& floor) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL13.glActiveTexture(GL_TEXTURE1);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PREVIOUS);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_TEXTURE);
  glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, 2);
  OpenGL13.glClientActiveTexture(GL_TEXTURE1);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  for (const TFloorBatch& batch : floor) {
    OpenGL13.glActiveTexture(GL_TEXTURE1);
    (batch.Lit ? glEnable : glDisable)(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, batch.Lightmap);
    glTexCoordPointer(2, GL_FLOAT, 0, batch.LightmapCoords.data());
    OpenGL13.glActiveTexture(GL_TEXTURE0);
    OpenGL13.glClientActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, batch.Image);
    glVertexPointer(3, GL_FLOAT, 0, batch.Positions.data());
    glTexCoordPointer(2, GL_FLOAT, 0, batch.Coords.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.Indices.size()), GL_UNSIGNED_INT, batch.Indices.data());
    OpenGL13.glClientActiveTexture(GL_TEXTURE1);
  }
  OpenGL13.glActiveTexture(GL_TEXTURE1);
  glDisable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL13.glClientActiveTexture(GL_TEXTURE0);
  OpenGL13.glActiveTexture(GL_TEXTURE0);
}

// Each frame of the list once per iteration, the first one turning, and the median of each.
std::vector<double> TakeTurns(benchmark::State& state, const std::vector<std::function<void()>>& frames) {
  std::vector<std::vector<double>> ms(frames.size());
  std::size_t first = 0;
  glFinish();
  for (auto _ : state) {
    for (std::size_t k = 0; k < frames.size(); ++k) {
      const std::size_t i = (first + k) % frames.size();
      const auto start = TClock::now();
      frames[i]();
      glFinish();
      ms[i].push_back(Milliseconds(TClock::now() - start));
    }
    first = (first + 1) % frames.size();
  }
  std::vector<double> medians;
  for (const std::vector<double>& m : ms) medians.push_back(bench::Median(m));
  return medians;
}

void BM_FastFrame(benchmark::State& state, const std::string& map) {
  TLoaded& loaded = bench::LoadedOnce<TLoaded>(map);
  const std::optional<bench::TCameraSpot> spot = bench::StartSpot(state, loaded.Spots);
  if (!spot) return;
  TQuake3BSP& level = loaded.Plain;
  bench::SetStartUpState();
  TRenderOptions fast;
  fast.Fast = true;
  bench::BeginFrame(*spot);
  level.RenderLevel(spot->Eye, fast, loaded.PlainCache);
  const TFastFrame counts = loaded.PlainCache.Fast;
  const std::vector<TFloorBatch> floor = FloorOf(level, loaded.PlainCache.DrawLists);
  const std::vector<double> ms = TakeTurns(state, {
      [&] { bench::BeginFrame(*spot); level.RenderLevel(spot->Eye, {}, loaded.PlainCache); },
      [&] { bench::BeginFrame(*spot); level.RenderLevel(spot->Eye, fast, loaded.PlainCache); },
      [&] { bench::BeginFrame(*spot); DrawFloor(floor); },
  });
  state.SetLabel(map + " start point " + std::to_string(state.range(0)));
  state.counters["two_pass_ms"] = ms[0];
  state.counters["fast_ms"] = ms[1];
  state.counters["floor_ms"] = ms[2];
  state.counters["fast_over_two_pass"] = ms[1] / ms[0];
  state.counters["fast_over_floor"] = ms[1] / ms[2];
  state.counters["faces_drawn"] = counts.FacesDrawn;
  state.counters["faces_culled"] = counts.FacesCulled;
  state.counters["batches"] = counts.Batches;
}

void BM_FullFrame(benchmark::State& state, const std::string& map) {
  TLoaded& loaded = bench::LoadedOnce<TLoaded>(map);
  const std::optional<bench::TCameraSpot> spot = bench::StartSpot(state, loaded.Spots);
  if (!spot) return;
  TQuake3BSP& level = loaded.Full;
  bench::SetStartUpState();
  TRenderOptions full;
  full.Shaders = true;
  full.Surfaces = TSurfaceSet::All;
  TRenderOptions fast = full;
  fast.Fast = true;
  const std::vector<double> ms = TakeTurns(state, {
      [&] { bench::BeginFrame(*spot); level.RenderLevel(spot->Eye, full, loaded.FullCache); },
      [&] { bench::BeginFrame(*spot); level.RenderLevel(spot->Eye, fast, loaded.FullCache); },
  });
  state.SetLabel(map + " start point " + std::to_string(state.range(0)));
  state.counters["full_ms"] = ms[0];
  state.counters["full_fast_ms"] = ms[1];
  state.counters["fast_over_full"] = ms[1] / ms[0];
  // One more frame, untimed, counting the opaque fragments per covered pixel.
  TRenderOptions counted = fast;
  counted.CountFragments = true;
  bench::BeginFrame(*spot);
  level.RenderLevel(spot->Eye, counted, loaded.FullCache);
  const TFastFrame& count = loaded.FullCache.Fast;
  if (count.CoveredPixels > 0)
    state.counters["fragments_per_pixel"] = static_cast<double>(count.Fragments) / static_cast<double>(count.CoveredPixels);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const std::string map : kLevels) {
    bench::RegisterFrames("FastFrame", BM_FastFrame, map);
    bench::RegisterFrames("FullFrame", BM_FullFrame, map);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
