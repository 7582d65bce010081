#include "app/runs/OffscreenViewer.h"

#include <GL/gl.h>

#include <iostream>

#include "app/runs/Limits.h"
#include "app/runs/LoadSummary.h"
#include "app/viewer/DataFiles.h"
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

TOffscreenViewer::TOffscreenViewer(int width, int height, TViewerState state)
    : Context(width, height), State(std::move(state)) {
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
  LoadHudFont(fontPath, State.LevelRun);
  const auto start = std::chrono::steady_clock::now();
  LevelRenderCache = {};
  const bool loaded = Level.LoadBSP(levelPath, levelOptions);
  State.LevelPath = levelPath;
  State.LevelOptions = levelOptions;
  LevelMs = MillisecondsSince(start, std::chrono::steady_clock::now());
  return loaded;
}

bool TOffscreenViewer::Load(const std::string& fontPath, TLoadedRecords&& level, const TLevelOptions& levelOptions) {
  LoadHudFont(fontPath, State.LevelRun);
  const auto start = std::chrono::steady_clock::now();
  LevelRenderCache = {};
  const std::span<const std::uint8_t> data = level.File.Data();
  const bool loaded = Level.LoadBSP(level.File.Path(), levelOptions, std::vector<std::uint8_t>(data.begin(), data.end()),
                                    std::move(level.Records));
  State.LevelPath = level.File.Path();
  State.LevelOptions = levelOptions;
  LevelMs = MillisecondsSince(start, std::chrono::steady_clock::now());
  return loaded;
}

double TOffscreenViewer::DrawFrame(const TCamera& pose) {
  Camera = pose;
  Ticks += kTicksPerFrame;
  const auto start = std::chrono::steady_clock::now();
  SwapDone = start;
  PaintPass(Surface, State);
  // The rate the pass worked out comes from the fixed step, not from the time frames take: the
  // next frame shows the renderer's name alone rather than a made-up figure.
  FpsText = RendererName;
  return MillisecondsSince(start, SwapDone);
}

std::unique_ptr<TOffscreenViewer> StartOffscreenViewer(const TRunOptions& options, bool overview, int& exitCode,
                                                       TLoadedRecords&& loaded) {
  exitCode = 1;
  const TWindowSize size = options.Size.value_or(kDefaultSize);
  // The pictures' clock stands at --time, so that every frame and every run shows the same.
  TViewerState state = options.Viewer;
  state.LevelRender = options.RenderOptions;
  state.ClockSeconds = options.RenderOptions.Time;
  state.ClockPaused = true;
  const std::string failed = std::string("bspwalk: ") + (overview ? "--overview " : "") + options.LevelPath + ": ";
  std::unique_ptr<TOffscreenViewer> viewer;
  try {
    viewer = std::make_unique<TOffscreenViewer>(size.Width, size.Height, std::move(state));
  } catch (const std::exception& e) {
    std::cerr << (overview ? failed : "bspwalk: cannot draw offscreen: ") << e.what() << "\n";
    return nullptr;
  }
  if (!FitsGLViewport(size, std::cerr)) {
    exitCode = 2;
    return nullptr;
  }
  try {
    if (!viewer->Load(FindDataFile(TStartupOptions{}.FontPath), std::move(loaded), options.LevelOptions)) {
      std::cerr << failed << "the level could not be opened\n";
      return nullptr;
    }
  } catch (const std::exception& e) {
    std::cerr << failed << e.what() << "\n";
    return nullptr;
  }
  if (options.Verbose && !overview) PrintVerboseSummary(Level, viewer->LevelLoadMs(), VerbosePartsOf(options));
  return viewer;
}

}  // namespace app
