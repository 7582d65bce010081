// Shader scripts on OpenArena's data:
//  - reading every script of the packages (about 2,200 shaders), from memory and from files;
//  - loading a level with --shaders beside the plain load, in the same run;
//  - whole frames with --shaders beside the floor of the same draws (same textures, same states,
//    same order: opaque groups, lightmaps, sky box, blended groups) batched into one draw per
//    texture and per lightmap, from the same positions.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "level/Q3BSP.h"
#include "render/RenderCache.h"
#include "shaders/Shaders.h"
#include "support/BenchFrame.h"
#include "support/TestSupport.h"


namespace {

using TClock = std::chrono::steady_clock;
using bench::Context, bench::Milliseconds, bench::TBatch;

using bench::TBaseFolder;

void BM_ReadScripts(benchmark::State& state, bool fromFiles) {
  TBaseFolder base;
  testsupport::TScopedWorkingDir workingDir(base.Path());
  const shaders::TShaderSource source = shaders::BaseFolderSource();
  std::vector<std::pair<std::string, std::string>> texts;
  for (const std::string& name : source.ScriptNames()) {
    const auto bytes = source.Read(name);
    texts.emplace_back(name, std::string(bytes->begin(), bytes->end()));
  }
  std::size_t shaderCount = 0;
  for (auto _ : state) {
    shaders::TShaderTable table;
    if (fromFiles) {
      table = shaders::LoadShaderTable(source);
    } else {
      for (const auto& [name, text] : texts) shaders::ReadShaderScript(name, text, table);
    }
    shaderCount = table.Shaders.size();
    benchmark::DoNotOptimize(table);
  }
  std::size_t bytes = 0;
  for (const auto& text : texts) bytes += text.second.size();
  state.counters["scripts"] = static_cast<double>(texts.size());
  state.counters["shaders"] = static_cast<double>(shaderCount);
  state.counters["bytes"] = static_cast<double>(bytes);
}

// The level loaded with --shaders, and the time of that load beside the plain one.
struct TLoaded {
  TQuake3BSP Level;
  TRenderCache Cache;
  double PlainLoadMs = 0, ShadedLoadMs = 0;
  std::vector<bench::TCameraSpot> Spots;
  explicit TLoaded(const std::string& map) {
    const std::string path = bench::MapPath(map);
    TBaseFolder base;
    testsupport::TScopedWorkingDir workingDir(base.Path());
    {
      TQuake3BSP plain;
      const auto start = TClock::now();
      plain.LoadBSP(path);
      PlainLoadMs = Milliseconds(TClock::now() - start);
    }
    TLevelOptions options;
    options.Shaders = true;
    const auto start = TClock::now();
    Level.LoadBSP(path, options);
    ShadedLoadMs = Milliseconds(TClock::now() - start);
    Spots = bench::StartSpots(path);
  }
};

// One texture's or lightmap's visible polygons in one set of arrays, with the state to draw it.
struct TShadedBatch : TBatch {
  shaders::TDrawState State;
};

void Append(TShadedBatch& batch, const TQuake3BSP& level, std::size_t face, const AGLNrf2& coords) {
  if (level.FaceVisible[face] != 0 && bench::PolygonFace(level, face)) bench::AppendFace(batch, level, face, coords);
}

struct TFloor {
  std::vector<TShadedBatch> Opaque, Lightmaps, Blended;
};

TFloor BuildFloor(const TQuake3BSP& level) {
  TFloor floor;
  const TLevelShading& shading = level.Shading;
  for (std::size_t t = 0; t < level.TextureFaces.size(); ++t) {
    const shaders::TDrawState& state = shading.States[t];
    if (!state.Drawn) continue;
    TShadedBatch batch{{level.SurfaceTextures[t], {}, {}, {}}, state};
    for (const std::int32_t f : level.TextureFaces[t]) Append(batch, level, static_cast<std::size_t>(f), level.FaceTexCoords[static_cast<std::size_t>(f)]);
    if (!batch.Indices.empty()) (state.Blended ? floor.Blended : floor.Opaque).push_back(std::move(batch));
  }
  for (const bool twoSided : {false, true}) {
    const auto& lists = twoSided ? shading.TwoSidedLightmapFaces : shading.OneSidedLightmapFaces;
    for (std::size_t m = 0; m < lists.size(); ++m) {
      TShadedBatch batch{{level.LightmapTextures[m], {}, {}, {}}, {}};
      batch.State.TwoSided = twoSided;
      for (const std::int32_t f : lists[m]) Append(batch, level, static_cast<std::size_t>(f), level.FaceLightmapCoords[static_cast<std::size_t>(f)]);
      if (!batch.Indices.empty()) floor.Lightmaps.push_back(std::move(batch));
    }
  }
  return floor;
}

void SetAlpha(shaders::TAlphaTest test) {
  if (test == shaders::TAlphaTest::None) return glDisable(GL_ALPHA_TEST);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(test == shaders::TAlphaTest::GT0 ? GL_GREATER : test == shaders::TAlphaTest::LT128 ? GL_LESS : GL_GEQUAL,
              test == shaders::TAlphaTest::GT0 ? 0.0f : 0.5f);
}

void Draw(const std::vector<TShadedBatch>& batches, bool blended) {
  for (const TShadedBatch& batch : batches) {
    glBindTexture(GL_TEXTURE_2D, batch.Texture);
    if (blended) glBlendFunc(static_cast<GLenum>(batch.State.BlendSource), static_cast<GLenum>(batch.State.BlendDestination));
    SetAlpha(batch.State.AlphaTest);
    if (batch.State.TwoSided) glDisable(GL_CULL_FACE);
    bench::DrawArrays(batch);
    if (batch.State.TwoSided) glEnable(GL_CULL_FACE);
  }
}

// The sky box as the frame draws it: six quads at the far end of the depth range.
void DrawSkyFloor(const TLevelShading& shading, const TVector& eye) {
  if (shading.SkyBox.empty() && shading.SkyClouds == 0) return;
  constexpr float S = 64;
  static const float sides[6][12] = {
      {S, -S, -S, -S, -S, -S, -S, -S, S, S, -S, S}, {-S, -S, -S, -S, S, -S, -S, S, S, -S, -S, S},
      {-S, S, -S, S, S, -S, S, S, S, -S, S, S},     {S, S, -S, S, -S, -S, S, -S, S, S, S, S},
      {S, S, S, S, -S, S, -S, -S, S, -S, S, S},     {-S, S, -S, -S, -S, -S, S, -S, -S, S, S, -S}};
  static const float coords[8] = {0, 0, 1, 0, 1, 1, 0, 1};
  glDisable(GL_CULL_FACE);
  glDepthMask(GL_FALSE);
  glDepthRange(1, 1);
  glDepthFunc(GL_LEQUAL);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslatef(eye.X, eye.Y, eye.Z);
  glTexCoordPointer(2, GL_FLOAT, 0, coords);
  for (int side = 0; side < 6; ++side) {
    glBindTexture(GL_TEXTURE_2D, shading.SkyBox.empty() ? shading.SkyClouds : shading.SkyBox[static_cast<std::size_t>(side)]);
    glVertexPointer(3, GL_FLOAT, 0, sides[side]);
    glDrawArrays(GL_QUADS, 0, 4);
  }
  glPopMatrix();
  glDepthFunc(GL_LESS);
  glDepthRange(0, 1);
  glDepthMask(GL_TRUE);
  glEnable(GL_CULL_FACE);
}

void BM_ShadedFrame(benchmark::State& state, const std::string& map) {
  TLoaded& loaded = bench::LoadedOnce<TLoaded>(map);
  TQuake3BSP& level = loaded.Level;
  const std::optional<bench::TCameraSpot> spot = bench::StartSpot(state, loaded.Spots);
  if (!spot) return;
  const TVector eye = spot->Eye;
  Context();
  bench::SetStartUpState();
  TRenderOptions options;
  options.Shaders = true;
  bench::BeginFrame(*spot);
  level.RenderLevel(eye, options, loaded.Cache);
  const TFloor floor = BuildFloor(level);

  std::vector<double> renderMs, floorMs;
  const auto renderFrame = [&] {
    renderMs.push_back(bench::TimedFrame(*spot, [&] { level.RenderLevel(eye, options, loaded.Cache); }));
  };
  const auto floorFrame = [&] {
    floorMs.push_back(bench::TimedFrame(*spot, [&] {
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
      DrawSkyFloor(level.Shading, eye);
      glEnable(GL_BLEND);
      glDepthMask(GL_FALSE);
      Draw(floor.Blended, true);
      glDepthMask(GL_TRUE);
      glDisable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glAlphaFunc(GL_GREATER, 0.6f);
    }));
  };
  bench::AlternateFrames(state, renderFrame, floorFrame);
  bench::ReportFrames(state, map, renderMs, floorMs);
  state.counters["plain_load_ms"] = loaded.PlainLoadMs;
  state.counters["shaders_load_ms"] = loaded.ShadedLoadMs;
  state.counters["textures_without_image"] = level.Shading.TexturesWithoutImage;
  state.counters["blended_groups"] = static_cast<double>(floor.Blended.size());
  state.counters["sky"] = level.Shading.SkyBox.empty() ? (level.Shading.SkyClouds ? 1 : 0) : 6;
}

}  // namespace

BENCHMARK_CAPTURE(BM_ReadScripts, from_memory, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadScripts, from_files, true)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const std::string map : {"oa_dm4", "ctf_inyard", "oa_rpg3dm2"})
    bench::RegisterFrames("ShadedFrame", BM_ShadedFrame, map);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
