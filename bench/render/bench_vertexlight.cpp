// Frames with --vertex-light on the two levels of pak1-maps.pk3 lit by their vertices (cbctf1,
// oa_ctf2), offscreen at 1024 x 768 with their surface images: RenderLevel with the vertex pass
// beside, in the same run and from the same start point, the floor of the same draws batched (the
// visible polygons per texture, per lightmap, and the vertex-lit ones in one draw with their
// colours). Goal: within 1.05 x the floor. PlainFrame is the same without the vertex pass, beside
// its own floor: what the per-face passes of the plain frame cost over a batched floor anyway.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "level/Q3BSP.h"
#include "render/Q3BSP_render.h"
#include "render/RenderCache.h"
#include "support/BenchFrame.h"

namespace {

using bench::Milliseconds;
const char* const kMaps[] = {"cbctf1", "oa_ctf2"};

struct TLoaded {
  bench::TLevelFolder Folder;
  TQuake3BSP Level;
  TRenderCache Cache;
  std::vector<bench::TCameraSpot> Spots;
  explicit TLoaded(const std::string& map) {
    TLevelOptions options;
    options.VertexLight = true;
    if (!Level.LoadBSP(bench::MapPath(map), options)) std::abort();
    Spots = bench::StartSpots(bench::MapPath(map));
  }
};

// The visible vertex-lit polygons in one set of arrays, with their brightened colours.
struct TColouredBatch {
  AGLNrf3 Positions;
  AGLbyt4 Colours;
  std::vector<GLuint> Indices;
};

TColouredBatch VertexLitBatch(const TQuake3BSP& level) {
  TColouredBatch batch;
  for (const std::int32_t f : level.Lighting.VertexLitFaces) {
    const std::size_t face = static_cast<std::size_t>(f);
    if (level.FaceVisible[face] == 0 || !bench::PolygonFace(level, face)) continue;
    bench::TBatch positions;
    bench::AppendFace(positions, level, face, level.FaceTexCoords[face]);
    const GLuint base = static_cast<GLuint>(batch.Positions.size());
    for (const GLuint i : positions.Indices) batch.Indices.push_back(base + i);
    batch.Positions.insert(batch.Positions.end(), positions.Positions.begin(), positions.Positions.end());
    batch.Colours.insert(batch.Colours.end(), level.Lighting.FaceColours[face].begin(), level.Lighting.FaceColours[face].end());
  }
  return batch;
}

void DrawVertexFloor(const TColouredBatch& batch) {
  glDepthFunc(GL_EQUAL);
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
  glDisable(GL_TEXTURE_2D);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, batch.Positions.data());
  glColorPointer(4, GL_UNSIGNED_BYTE, 0, batch.Colours.data());
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.Indices.size()), GL_UNSIGNED_INT, batch.Indices.data());
  glDisableClientState(GL_COLOR_ARRAY);
  glColor4ub(255, 255, 255, 255);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glDepthFunc(GL_LESS);
}

void RunFrames(benchmark::State& state, const std::string& map, bool vertexLight) {
  TLoaded& loaded = bench::LoadedOnce<TLoaded>(map);
  TQuake3BSP& level = loaded.Level;
  const std::optional<bench::TCameraSpot> found = bench::StartSpot(state, loaded.Spots);
  if (!found) return;
  const bench::TCameraSpot spot = *found;
  TRenderOptions options;
  options.VertexLight = vertexLight;
  bench::Context();
  bench::SetStartUpState();
  bench::BeginFrame(spot);
  level.RenderLevel(spot.Eye, options, loaded.Cache);
  const auto textureBatches = bench::Batches(level, level.SurfaceTextures, level.TextureFaces, &TQuake3BSP::FaceTexCoords);
  const auto lightmapBatches = bench::Batches(level, level.LightmapTextures, level.LightmapFaces, &TQuake3BSP::FaceLightmapCoords);
  const TColouredBatch vertexBatch = VertexLitBatch(level);

  std::vector<double> renderMs, floorMs;
  const auto renderFrame = [&] {
    renderMs.push_back(bench::TimedFrame(spot, [&] { level.RenderLevel(spot.Eye, options, loaded.Cache); }));
  };
  const auto floorFrame = [&] {
    floorMs.push_back(bench::TimedFrame(spot, [&] {
      bench::DrawFloor(textureBatches, lightmapBatches);
      if (vertexLight) DrawVertexFloor(vertexBatch);
    }));
  };
  bench::AlternateFrames(state, renderFrame, floorFrame);
  bench::ReportFrames(state, map, renderMs, floorMs);
  state.counters["vertex_lit_triangles"] = static_cast<double>(vertexBatch.Indices.size() / 3);
}

void BM_Frame(benchmark::State& state, const std::string& map) { RunFrames(state, map, true); }
void BM_PlainFrame(benchmark::State& state, const std::string& map) { RunFrames(state, map, false); }

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const std::string map : kMaps) {
    bench::RegisterFrames("Frame", BM_Frame, map);
    bench::RegisterFrames("PlainFrame", BM_PlainFrame, map);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
