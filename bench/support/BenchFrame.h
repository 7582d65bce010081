#pragma once
// What the frame benchmarks share: the offscreen context at 1024 x 768, the start points and the
// working folder of a level, the state and camera a frame starts from, and the "floor" a frame is
// measured against: the same visible triangles with the same textures, one draw per texture and
// per lightmap.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "level/Q3BSP.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

namespace bench {

constexpr int Width = 1024, Height = 768;

// The process's one context, made (and GL's entry points loaded) on the first call.
platform::TOffscreenGLContext& Context();

double Milliseconds(std::chrono::steady_clock::duration d);
// The middle value, or the mean of the two middle ones; 0 for none.
double Median(std::vector<double> values);

// The levels of pak1-maps.pk3, extracted once: their folder, and one level's file.
std::string MapsFolder();
std::string MapPath(const std::string& map);

struct TCameraSpot {
  TVector Eye;
  float Yaw;  // the camera's, 0 looking along +Y
};

// The level's player start points, at eye height.
std::vector<TCameraSpot> StartSpots(const std::string& mapPath);

// The start point that the benchmark's argument names (wrapping round); none, with the benchmark
// skipped, when the level has none.
std::optional<TCameraSpot> StartSpot(benchmark::State& state, const std::vector<TCameraSpot>& spots);

// The map's T(map), made on the first call for that map (after the context) and kept for the
// process.
template <class T>
T& LoadedOnce(const std::string& map) {
  static std::map<std::string, std::unique_ptr<T>> levels;
  std::unique_ptr<T>& slot = levels[map];
  if (!slot) {
    Context();
    slot = std::make_unique<T>(map);
  }
  return *slot;
}

using TFrameBenchmark = void (*)(benchmark::State& state, const std::string& map);
// Registers "<name>/<map>/<start point>" for the first four start points, 24 iterations each, in
// milliseconds.
void RegisterFrames(const std::string& name, TFrameBenchmark run, const std::string& map);

// A working folder with lgmp/ and the surface images of pak0 and pak4-textures, entered for as
// long as it lives.
struct TLevelFolder {
  testsupport::TTempDir Folder;
  std::unique_ptr<testsupport::TScopedWorkingDir> InFolder;
  TLevelFolder();
};

// A working folder as --base would name it for --shaders: textures/, env/ and scripts/ of the
// game's archives in the game's order, and lgmp/.
class TBaseFolder {
 public:
  TBaseFolder();
  const std::string& Path() const { return Folder.Path(); }

 private:
  testsupport::TTempDir Folder;
};

// Depth test, front faces culled, textures on.
void SetFixedState();
// The fixed state and what start-up, lightmap loading and the heads-up text leave on for the
// level's frames.
void SetStartUpState();
// The frame loop's projection and camera, looking horizontally; the frame cleared.
void BeginFrame(const TCameraSpot& spot);

// One frame from the spot: `draw` after BeginFrame, timed to after glFinish, in milliseconds.
template <class TDraw>
double TimedFrame(const TCameraSpot& spot, TDraw&& draw) {
  const auto start = std::chrono::steady_clock::now();
  BeginFrame(spot);
  draw();
  glFinish();
  return Milliseconds(std::chrono::steady_clock::now() - start);
}

// The visible polygons of one texture or lightmap, in one set of arrays.
struct TBatch {
  GLuint Texture = 0;
  std::vector<TVector> Positions;
  std::vector<TTexCoord> Coords;
  std::vector<GLuint> Indices;
};

// Adds the face's triangles (its index list, or a fan over its vertices) to the batch.
void AppendFace(TBatch& batch, const TQuake3BSP& level, std::size_t face, const AGLNrf2& coords);

using TFaceFilter = bool (*)(const TQuake3BSP& level, std::size_t face);
bool PolygonFace(const TQuake3BSP& level, std::size_t face);

// One batch per group (texture or lightmap) that has visible faces passing `drawn`.
std::vector<TBatch> Batches(const TQuake3BSP& level, const std::vector<GLuint>& textures,
                            const std::vector<std::vector<std::int32_t>>& groups,
                            const std::vector<AGLNrf2> TQuake3BSP::*coords, TFaceFilter drawn = PolygonFace);

// The batch's arrays and its one draw; the texture is bound by the caller.
void DrawArrays(const TBatch& batch);
// The surface textures, then the lightmaps multiplied over them where the depth is equal.
void DrawFloor(const std::vector<TBatch>& textureBatches, const std::vector<TBatch>& lightmapBatches);

// The frame and its floor once per iteration, alternating which goes first so that neither
// always inherits the other's caches.
template <class TRenderFrame, class TFloorFrame>
void AlternateFrames(benchmark::State& state, TRenderFrame&& renderFrame, TFloorFrame&& floorFrame) {
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
}

// The label "<map> start point <n>" and the medians of the frames and of their floor, with the
// ratio of the two.
void ReportFrames(benchmark::State& state, const std::string& map, const std::vector<double>& renderMs,
                  const std::vector<double>& floorMs);

}  // namespace bench
