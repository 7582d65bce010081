#include "level/SpawnPoints.h"
#include "level/LevelFile.h"
#include "support/BenchFrame.h"

#include <GL/glu.h>

#include <algorithm>
#include <filesystem>

#include "gl/OpenGL.h"

namespace fs = std::filesystem;

namespace bench {

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

std::string MapsFolder() {
  return testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/*.bsp"}) + "/maps";
}

std::string MapPath(const std::string& map) { return MapsFolder() + "/" + map + ".bsp"; }

std::vector<TCameraSpot> StartSpots(const std::string& mapPath) {
  std::vector<TCameraSpot> spots;
  for (const TSpawnPoint& spawn : LevelSpawnPoints(TLevelFile(mapPath)))
    spots.push_back({{spawn.Origin.X, spawn.Origin.Y, spawn.Origin.Z + 32}, 90 - spawn.Angle});
  return spots;
}

std::optional<TCameraSpot> StartSpot(benchmark::State& state, const std::vector<TCameraSpot>& spots) {
  if (spots.empty()) {
    state.SkipWithError("no start points");
    return std::nullopt;
  }
  return spots[static_cast<std::size_t>(state.range(0)) % spots.size()];
}

void RegisterFrames(const std::string& name, TFrameBenchmark run, const std::string& map) {
  benchmark::RegisterBenchmark((name + "/" + map).c_str(), run, map)
      ->DenseRange(0, 3)
      ->Iterations(24)
      ->Unit(benchmark::kMillisecond);
}

TLevelFolder::TLevelFolder() {
  testsupport::ExtractOpenArena("pak0.pk3", {"textures/*"});
  const std::string root = testsupport::ExtractOpenArena("pak4-textures.pk3", {"textures/*"});
  fs::create_directory(Folder / "lgmp");
  fs::create_directory_symlink(root + "/textures", Folder / "textures");
  InFolder = std::make_unique<testsupport::TScopedWorkingDir>(Folder.Path());
}

namespace {

// The game's archives in the game's order, scripts and sky images extracted beside the images.
std::string DataRoot() {
  static const std::string root = [] {
    testsupport::ExtractOpenArena("pak0.pk3", {"textures/*"});
    testsupport::ExtractOpenArena("pak4-textures.pk3", {"textures/*"});
    std::string last;
    for (const char* pak : {"pak0.pk3", "pak2-players.pk3", "pak5-TA.pk3", "pak6-patch085.pk3",
                            "pak6-patch088.pk3", "z_oacmp-volume1-v3.pk3"})
      last = testsupport::ExtractOpenArena(pak, {"scripts/*.shader", "env/*"});
    return last;
  }();
  return root;
}

}  // namespace

TBaseFolder::TBaseFolder() {
  const std::string root = DataRoot();
  for (const char* sub : {"textures", "env", "scripts"}) fs::create_directory_symlink(root + "/" + sub, Folder / sub);
  fs::create_directory(Folder / "lgmp");
}

void SetFixedState() {
  glEnable(GL_DEPTH_TEST);
  glCullFace(GL_FRONT);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
}

void SetStartUpState() {
  glClearColor(0, 0, 0, 0);
  SetFixedState();
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  // What the heads-up text leaves on from the second frame on.
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.6f);
}

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

void AppendFace(TBatch& batch, const TQuake3BSP& level, std::size_t face, const AGLNrf2& coords) {
  const GLuint base = static_cast<GLuint>(batch.Positions.size());
  const AGLNrf3& vertices = level.FaceVertices[face];
  batch.Positions.insert(batch.Positions.end(), vertices.begin(), vertices.end());
  batch.Coords.insert(batch.Coords.end(), coords.begin(), coords.end());
  const std::vector<GLuint>& indices = level.FaceIndices[face];
  if (!indices.empty())
    for (const GLuint i : indices) batch.Indices.push_back(base + i);
  else
    for (GLuint i = 1; i + 1 < vertices.size(); ++i) batch.Indices.insert(batch.Indices.end(), {base, base + i, base + i + 1});
}

bool PolygonFace(const TQuake3BSP& level, std::size_t face) { return level.Faces[face].FaceType == 1; }

std::vector<TBatch> Batches(const TQuake3BSP& level, const std::vector<GLuint>& textures,
                            const std::vector<std::vector<std::int32_t>>& groups,
                            const std::vector<AGLNrf2> TQuake3BSP::*coords, TFaceFilter drawn) {
  std::vector<TBatch> batches;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    TBatch batch;
    batch.Texture = textures[g];
    for (const std::int32_t f : groups[g]) {
      const std::size_t face = static_cast<std::size_t>(f);
      if (level.FaceVisible[face] != 0 && drawn(level, face)) AppendFace(batch, level, face, (level.*coords)[face]);
    }
    if (!batch.Indices.empty()) batches.push_back(std::move(batch));
  }
  return batches;
}

void DrawArrays(const TBatch& batch) {
  glVertexPointer(3, GL_FLOAT, 0, batch.Positions.data());
  glTexCoordPointer(2, GL_FLOAT, 0, batch.Coords.data());
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.Indices.size()), GL_UNSIGNED_INT, batch.Indices.data());
}

namespace {

void DrawBatches(const std::vector<TBatch>& batches) {
  for (const TBatch& batch : batches) {
    glBindTexture(GL_TEXTURE_2D, batch.Texture);
    DrawArrays(batch);
  }
}

}  // namespace

void DrawFloor(const std::vector<TBatch>& textureBatches, const std::vector<TBatch>& lightmapBatches) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  DrawBatches(textureBatches);
  glDepthFunc(GL_EQUAL);
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
  DrawBatches(lightmapBatches);
  glDisable(GL_BLEND);
  glDepthFunc(GL_LESS);
}

void ReportFrames(benchmark::State& state, const std::string& map, const std::vector<double>& renderMs,
                  const std::vector<double>& floorMs) {
  const double render = Median(renderMs), floor = Median(floorMs);
  state.SetLabel(map + " start point " + std::to_string(state.range(0)));
  state.counters["render_ms"] = render;
  state.counters["batched_floor_ms"] = floor;
  state.counters["ratio"] = render / floor;
}

}  // namespace bench
