// bspwalk: fly through a Quake 3 level. W, S, A, D and the mouse fly; Esc quits.
// Without arguments it is the viewer as it always was: the fixed level, full screen. The command
// line adds other levels, a window, a start pose, and modes that need nobody at the screen.
#include <cstdio>
#include <iostream>

#include "app/CommandLine.h"
#include "app/DataFiles.h"
#include "app/Fidelity.h"
#include "app/Limits.h"
#include "app/Modes.h"
#include "app/ViewModes.h"
#include "app/frmMain.h"
#include "gl/OpenGL.h"
#include "platform/Window.h"

int main(int argc, char* argv[]) {
  app::TParseResult parsed = app::ParseCommandLine(argc, argv, std::cout, std::cerr);
  if (!parsed.Options) return parsed.ExitCode;
  app::TCommandLine& options = *parsed.Options;
  if (!app::EnterBaseFolder(options, std::cerr)) return 2;
  app::ApplyViewOptions(options);
  if (options.Mode != app::TRunMode::Viewer) return app::RunHeadless(options);

  InitOpenGLEntryPoints();
  app::TStartupOptions startup = app::StartupOptionsFor(options);
  startup.FontPath = app::FindDataFile(startup.FontPath);
  if (options.Verbose)
    startup.Loaded = [shaders = options.Shaders] {
      const TLoadTimings& t = Level.LoadTimings;
      app::PrintLoadSummary(Level, t.ReadingMs + t.SurfaceImagesMs + t.LightmapsMs + t.TessellationMs);
      if (shaders) app::PrintShadingSummary(Level);
    };
  if (options.Size) {
    // The window's size against what the GL can draw, once the context exists.
    const app::TWindowSize size = *options.Size;
    startup.Loaded = [size, loaded = std::move(startup.Loaded)] {
      if (loaded) loaded();
      if (!app::FitsGLViewport(size, std::cerr)) platform::PostQuitMessage(2);
    };
  }
  if (options.FrameTimes)
    startup.FrameDrawn = [](double ms) {
      std::printf("%.3f\n", ms);
      std::fflush(stdout);
    };
  return app::RunViewer(startup);
}
