#include "app/runs/OffscreenViewer.h"

#include <GL/gl.h>

#include "app/viewer/ViewModes.h"
#include "app/viewer/frmMain.h"
#include "gl/OpenGL.h"

namespace app {
namespace {

// A 16 ms step: the heads-up rate reads 62.5000, and the frame gate always opens.
constexpr std::uint32_t kTicksPerFrame = 16;

double MillisecondsSince(std::chrono::steady_clock::time_point start,
                         std::chrono::steady_clock::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

}  // namespace

TOffscreenViewer::TOffscreenViewer(int width, int height) : Context(width, height) {
  PreviousTicks = platform::SetTickSource([this] { return Ticks; });
  PreviousCursor = platform::SetCursorSource(
      {[] { return platform::TPoint{MouseHomeX, MouseHomeY}; }, [](platform::TPoint) {}});
  InitOpenGLEntryPoints();
  SetFixedGLState();
  const GLubyte* renderer = glGetString(GL_RENDERER);
  RendererName = renderer ? reinterpret_cast<const char*>(renderer) : "";
  if (RendererName.size() > FpsTextLimit) RendererName.resize(FpsTextLimit);
  Surface.ClientWidth = [this] { return Context.Width(); };
  Surface.ClientHeight = [this] { return Context.Height(); };
  Surface.BeginPaint = [] {};
  Surface.EndPaint = [] {};
  Surface.SwapBuffers = [this] {
    Context.SwapBuffers();
    // The swap only queues the work; waiting for it makes the time include rasterization.
    glFinish();
    SwapDone = std::chrono::steady_clock::now();
  };
  Surface.InvalidateRect = [] {};
  Surface.Close = [] {};
}

TOffscreenViewer::~TOffscreenViewer() {
  platform::SetTickSource(std::move(PreviousTicks));
  platform::SetCursorSource(std::move(PreviousCursor));
}

bool TOffscreenViewer::Load(const std::string& fontPath, const std::string& levelPath,
                            const TLevelOptions& levelOptions) {
  LoadHudFont(fontPath, ViewModes.LevelRun);
  const auto start = std::chrono::steady_clock::now();
  LevelRenderCache = {};
  const bool loaded = Level.LoadBSP(levelPath, levelOptions);
  ViewModes.LevelPath = levelPath;
  ViewModes.LevelOptions = levelOptions;
  LevelMs = MillisecondsSince(start, std::chrono::steady_clock::now());
  return loaded;
}

double TOffscreenViewer::DrawFrame(const TCamera& pose) {
  Camera = pose;
  Ticks += kTicksPerFrame;
  const auto start = std::chrono::steady_clock::now();
  SwapDone = start;
  PaintPass(Surface);
  // The rate the pass worked out comes from the fixed step, not from the time frames take: the
  // next frame shows the renderer's name alone rather than a made-up figure.
  FpsText = RendererName;
  return MillisecondsSince(start, SwapDone);
}

}  // namespace app
