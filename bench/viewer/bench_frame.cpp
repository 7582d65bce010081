// Frames of the viewer on real levels in a real window, split into the level, the heads-up text
// and the buffer swap. Needs an X display; on a machine without one:
//   xvfb-run -s "-screen 0 1024x768x24" build/bench/bench_frame
// Each phase ends with glFinish, so the rasterization it caused is counted in it (Mesa's
// software renderer otherwise defers the drawing to the swap); "frame_ms" is a frame as the
// viewer draws it, without those extra waits.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/viewer/frmMain.h"
#include "gl/OpenGL.h"
#include "gl/Textures.h"
#include "level/LevelFile.h"
#include "platform/Messages.h"
#include "render/Q3BSP_render.h"
#include "support/TestSupport.h"
#include "window/Input.h"
#include "window/Window.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

using TClock = std::chrono::steady_clock;

double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The level with the surface images it names, extracted from the OpenArena packages; returns the
// folder that holds maps/ and textures/.
std::string PrepareLevel(const std::string& bsp) {
  const std::string root = testsupport::ExtractOpenArena("pak1-maps.pk3", {bsp});
  std::vector<std::string> patterns;
  for (const std::string& name : TLevelFile(root + "/" + bsp).TextureNames()) {
    patterns.push_back(name + ".jpg");
    patterns.push_back(name + ".tga");
  }
  testsupport::ExtractOpenArena("pak0.pk3", patterns);
  testsupport::ExtractOpenArena("pak4-textures.pk3", patterns);
  fs::create_directories(fs::path(root) / "lgmp");
  return root;
}

// One window and context for the whole program, as the viewer has.
struct TViewerWindow {
  platform::TVideoSystem Video;
  platform::TWindow Window{"bspwalk bench", kWidth, kHeight};
  platform::TGLContext Context{Window.GetDC()};
  TViewerWindow() {
    platform::MakeCurrent(Window.GetDC(), &Context);
    Window.Show();
    app::SetFixedGLState();
  }
};

TViewerWindow* Viewer() {
  static std::unique_ptr<TViewerWindow> viewer = [] {
    InitOpenGLEntryPoints();
    return std::make_unique<TViewerWindow>();
  }();
  return viewer.get();
}

void BM_Frame(benchmark::State& state, const std::string& bsp) {
  if (!std::getenv("DISPLAY")) {
    state.SkipWithError("no X display: run under xvfb-run -s \"-screen 0 1024x768x24\"");
    return;
  }
  TViewerWindow& viewer = *Viewer();
  const std::string root = PrepareLevel(bsp);
  testsupport::TScopedWorkingDir inData(root);
  platform::SetMessageTarget(platform::MessageToStandardError);
  // The repository's font, found from this file's place in the tree.
  LoadTexture((fs::path(__FILE__).parent_path().parent_path() / "font.tga").string(), FontTexture,
              false);
  Level = TQuake3BSP{};
  LevelRenderCache = {};
  if (!Level.LoadBSP(bsp)) {
    state.SkipWithError("level did not load");
    return;
  }
  // The fixed start point, looking level along +Y.
  const TCamera pose{200, 500, 700, 0, 270};
  Camera = pose;
  platform::SetCursorSource({[] { return platform::TPoint{160, 120}; }, [](platform::TPoint) {}});
  const platform::TDeviceContext dc = viewer.Window.GetDC();
  FpsText = "llvmpipe Fps: 00.0000";

  double levelMs = 0, hudMs = 0, swapMs = 0, frameMs = 0;
  for (auto _ : state) {
    const TClock::time_point start = TClock::now();
    app::BeginFrameView(kWidth, kHeight, Camera);
    Level.RenderLevel(TVector{Camera.X, Camera.Y, Camera.Z}, {}, LevelRenderCache);
    MouseLook(Camera);
    app::EndFrameView();
    glFinish();
    const TClock::time_point levelDone = TClock::now();
    app::DrawHud(kWidth, kHeight, app::HudLines(app::TViewerState{}));
    glFinish();
    const TClock::time_point hudDone = TClock::now();
    platform::SwapBuffers(dc);
    glFinish();
    const TClock::time_point swapDone = TClock::now();
    levelMs += Ms(levelDone - start);
    hudMs += Ms(hudDone - levelDone);
    swapMs += Ms(swapDone - hudDone);

    // The same frame as the viewer draws it, without the waits between phases.
    const TClock::time_point plain = TClock::now();
    app::BeginFrameView(kWidth, kHeight, Camera);
    Level.RenderLevel(TVector{Camera.X, Camera.Y, Camera.Z}, {}, LevelRenderCache);
    MouseLook(Camera);
    app::EndFrameView();
    app::DrawHud(kWidth, kHeight, app::HudLines(app::TViewerState{}));
    platform::SwapBuffers(dc);
    glFinish();
    frameMs += Ms(TClock::now() - plain);
  }
  const double n = static_cast<double>(state.iterations());
  const double phases = levelMs + hudMs + swapMs;
  state.counters["frame_ms"] = frameMs / n;
  state.counters["fps"] = 1000.0 * n / frameMs;
  state.counters["level_ms"] = levelMs / n;
  state.counters["hud_ms"] = hudMs / n;
  state.counters["swap_ms"] = swapMs / n;
  state.counters["level_share"] = levelMs / phases;
  state.counters["hud_share"] = hudMs / phases;
  state.counters["swap_share"] = swapMs / phases;
  state.counters["faces"] = VisibleFaceCount;
  Level = TQuake3BSP{};
  LevelRenderCache = {};
}

BENCHMARK_CAPTURE(BM_Frame, kaos2, std::string("maps/kaos2.bsp"))->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK_CAPTURE(BM_Frame, delta, std::string("maps/delta.bsp"))->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK_CAPTURE(BM_Frame, czest1dm, std::string("maps/czest1dm.bsp"))->Unit(benchmark::kMillisecond)->Iterations(40);

}  // namespace

BENCHMARK_MAIN();
