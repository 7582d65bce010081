// Shader scripts on OpenArena's data:
//  - reading every script of the packages (about 2,200 shaders), from memory and from files;
//  - loading a level with --shaders beside the plain load, in the same run;
//  - whole frames with --shaders beside the floor of the same draws (same textures, same states,
//    same order: opaque groups, lightmaps, sky box, blended groups) batched into one draw per
//    texture and per lightmap, from the same positions.
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
#include "level/Q3BSP.h"
#include "platform/OffscreenContext.h"
#include "shaders/Shaders.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

constexpr int Width = 1024, Height = 768;
using TClock = std::chrono::steady_clock;

double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

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

std::string MapsFolder() {
  return testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/*.bsp"}) + "/maps";
}

// A working folder as --base would name it: textures/, env/, scripts/ and lgmp/.
class TBaseFolder {
 public:
  TBaseFolder() {
    const std::string root = DataRoot();
    for (const char* sub : {"textures", "env", "scripts"}) fs::create_directory_symlink(root + "/" + sub, Folder / sub);
    fs::create_directory(Folder / "lgmp");
  }
  const std::string& Path() const { return Folder.Path(); }

 private:
  testsupport::TTempDir Folder;
};

platform::TOffscreenGLContext& Context() {
  static platform::TOffscreenGLContext context(Width, Height);
  static const bool loaded = (LoadOpenGL("opengl32.dll"), true);
  (void)loaded;
  return context;
}

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

struct TLoaded {
  TQuake3BSP Level;
  double PlainLoadMs = 0, ShadedLoadMs = 0;
  std::vector<TVector> Eyes;
  std::vector<float> Yaws;
};

TLoaded& Loaded(const std::string& map) {
  static std::map<std::string, std::unique_ptr<TLoaded>> levels;
  std::unique_ptr<TLoaded>& slot = levels[map];
  if (slot) return *slot;
  Context();
  slot = std::make_unique<TLoaded>();
  const std::string path = MapsFolder() + "/" + map + ".bsp";
  TBaseFolder base;
  testsupport::TScopedWorkingDir workingDir(base.Path());
  {
    TQuake3BSP plain;
    const auto start = TClock::now();
    plain.LoadBSP(path);
    slot->PlainLoadMs = Ms(TClock::now() - start);
  }
  TLevelOptions options;
  options.Shaders = true;
  const auto start = TClock::now();
  slot->Level.LoadBSP(path, options);
  slot->ShadedLoadMs = Ms(TClock::now() - start);
  const app::TLevelFile file(path);
  for (const app::TSpawnPoint& spawn : app::FindSpawnPoints(app::ParseEntities(file.EntitiesText()))) {
    slot->Eyes.push_back({spawn.Origin.X, spawn.Origin.Y, spawn.Origin.Z + 32});
    slot->Yaws.push_back(90 - spawn.Angle);
  }
  return *slot;
}

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

void BeginFrame(const TVector& eye, float yaw) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(80, static_cast<double>(Width) / Height, 5, 20000);
  glViewport(0, 0, Width, Height);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glRotatef(270, 1, 0, 0);
  glRotatef(yaw, 0, 0, 1);
  glTranslatef(-eye.X, -eye.Y, -eye.Z);
}

// One texture's or lightmap's visible polygons in one set of arrays, with the state to draw it.
struct TBatch {
  GLuint Texture = 0;
  shaders::TDrawState State;
  std::vector<TVector> Positions;
  std::vector<TTexCoord> Coords;
  std::vector<GLuint> Indices;
};

void Append(TBatch& batch, const TQuake3BSP& level, std::size_t face, const AGLNrf2& coords) {
  if (level.FaceVisible[face] == 0 || level.Faces[face].FaceType != 1) return;
  const GLuint base = static_cast<GLuint>(batch.Positions.size());
  const std::vector<TVector>& vertices = level.FaceVertices[face];
  batch.Positions.insert(batch.Positions.end(), vertices.begin(), vertices.end());
  batch.Coords.insert(batch.Coords.end(), coords.begin(), coords.end());
  const std::vector<GLuint>& indices = level.FaceIndices[face];
  if (!indices.empty())
    for (const GLuint i : indices) batch.Indices.push_back(base + i);
  else
    for (GLuint i = 1; i + 1 < vertices.size(); ++i) batch.Indices.insert(batch.Indices.end(), {base, base + i, base + i + 1});
}

struct TFloor {
  std::vector<TBatch> Opaque, Lightmaps, Blended;
};

TFloor BuildFloor(const TQuake3BSP& level) {
  TFloor floor;
  const TLevelShading& shading = level.Shading;
  for (std::size_t t = 0; t < level.TextureFaces.size(); ++t) {
    const shaders::TDrawState& state = shading.States[t];
    if (!state.Drawn) continue;
    TBatch batch{level.SurfaceTextures[t], state, {}, {}, {}};
    for (const std::int32_t f : level.TextureFaces[t]) Append(batch, level, static_cast<std::size_t>(f), level.FaceTexCoords[static_cast<std::size_t>(f)]);
    if (!batch.Indices.empty()) (state.Blended ? floor.Blended : floor.Opaque).push_back(std::move(batch));
  }
  for (const bool twoSided : {false, true}) {
    const auto& lists = twoSided ? shading.TwoSidedLightmapFaces : shading.OneSidedLightmapFaces;
    for (std::size_t m = 0; m < lists.size(); ++m) {
      TBatch batch{level.LightmapTextures[m], {}, {}, {}, {}};
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

void Draw(const std::vector<TBatch>& batches, bool blended) {
  for (const TBatch& batch : batches) {
    glBindTexture(GL_TEXTURE_2D, batch.Texture);
    if (blended) glBlendFunc(static_cast<GLenum>(batch.State.BlendSource), static_cast<GLenum>(batch.State.BlendDestination));
    SetAlpha(batch.State.AlphaTest);
    if (batch.State.TwoSided) glDisable(GL_CULL_FACE);
    glVertexPointer(3, GL_FLOAT, 0, batch.Positions.data());
    glTexCoordPointer(2, GL_FLOAT, 0, batch.Coords.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.Indices.size()), GL_UNSIGNED_INT, batch.Indices.data());
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
  TLoaded& loaded = Loaded(map);
  TQuake3BSP& level = loaded.Level;
  if (loaded.Eyes.empty()) return state.SkipWithError("no start points");
  const std::size_t spot = static_cast<std::size_t>(state.range(0)) % loaded.Eyes.size();
  const TVector eye = loaded.Eyes[spot];
  const float yaw = loaded.Yaws[spot];
  Context();
  StartUpState();
  TRenderOptions options;
  options.Shaders = true;
  BeginFrame(eye, yaw);
  level.RenderLevel(eye, options);
  const TFloor floor = BuildFloor(level);

  std::vector<double> renderMs, floorMs;
  const auto renderFrame = [&] {
    const auto start = TClock::now();
    BeginFrame(eye, yaw);
    level.RenderLevel(eye, options);
    glFinish();
    renderMs.push_back(Ms(TClock::now() - start));
  };
  const auto floorFrame = [&] {
    const auto start = TClock::now();
    BeginFrame(eye, yaw);
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
    glFinish();
    floorMs.push_back(Ms(TClock::now() - start));
  };
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
  const double render = Median(renderMs), floorTime = Median(floorMs);
  state.SetLabel(map + " start point " + std::to_string(state.range(0)));
  state.counters["render_ms"] = render;
  state.counters["batched_floor_ms"] = floorTime;
  state.counters["ratio"] = render / floorTime;
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
    benchmark::RegisterBenchmark(("ShadedFrame/" + map).c_str(), BM_ShadedFrame, map)
        ->DenseRange(0, 3)
        ->Iterations(24)
        ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
