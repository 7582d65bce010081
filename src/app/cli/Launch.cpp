#include "app/cli/Launch.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <ostream>
#include <system_error>

#include "app/cli/Fidelity.h"
#include "app/runs/HeadlessRuns.h"
#include "app/runs/Limits.h"
#include "app/runs/LoadSummary.h"
#include "app/viewer/DataFiles.h"
#include "app/viewer/ViewModes.h"
#include "app/viewer/WalkMode.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "textures/ImageRead.h"
#include "window/Window.h"

namespace fs = std::filesystem;

namespace app {

bool EnterBaseFolder(TCommandLine& options, std::ostream& err) {
  if (options.BaseDir.empty()) return true;
  std::error_code ec;
  const auto absolute = [&](const std::string& path) {
    return fs::absolute(platform::ResolvePath(path), ec).lexically_normal().string();
  };
  // A LEVEL that is no file or folder here is a name for the search path, kept as it is.
  if (options.LevelGiven && fs::exists(platform::ResolvePath(options.LevelPath), ec))
    options.LevelPath = absolute(options.LevelPath);
  if (!options.ScreenshotPath.empty()) options.ScreenshotPath = absolute(options.ScreenshotPath);
  if (!options.OverviewPath.empty()) options.OverviewPath = absolute(options.OverviewPath);
  if (!options.ExportPath.empty()) options.ExportPath = absolute(options.ExportPath);
  if (!options.WalkPathFile.empty()) options.WalkPathFile = absolute(options.WalkPathFile);
  const std::string base = platform::ResolvePath(options.BaseDir);
  fs::current_path(base, ec);
  if (ec) {
    err << "bspwalk: --base " << options.BaseDir << ": " << ec.message() << "\n";
    return false;
  }
  return true;
}

void ApplyViewOptions(TCommandLine& options) {
  TViewerState& state = options.Viewer;
  state = {};
  if (!options.ModeList.empty()) ApplyModeList(options.ModeList, state.Render);
  if (options.Freeze) {
    state.Render.FreezeVisibility = true;
    state.Render.FreezePosition = *options.Freeze;
  }
  state.Hud = !options.NoHud;
  state.FovDegrees = options.FovDegrees;
  state.Watch = options.Watch;
  state.LevelRun = options.LevelGiven || !options.DataPaths.empty();
  state.OwnStartPose = state.LevelRun || options.Camera.has_value();
}

TStartupOptions StartupOptionsFor(const TCommandLine& options) {
  TStartupOptions startup;
  startup.LevelPath = options.LevelPath;
  if (options.Windowed) {
    const TWindowSize size = options.Size.value_or(kDefaultSize);
    startup.FullScreen = false;
    startup.Width = static_cast<std::uint16_t>(size.Width);
    startup.Height = static_cast<std::uint16_t>(size.Height);
  }
  if (options.Camera) {
    const TCameraPose& pose = *options.Camera;
    startup.StartPose = {pose.X, pose.Y, pose.Z, pose.Yaw, pose.Pitch};
  }
  startup.LevelOptions = LevelOptionsFor(options);
  startup.RenderOptions = RenderOptionsFor(options);
  startup.Viewer = options.Viewer;
  startup.LevelBytes = options.LevelBytes;
  startup.LevelRecords = options.LevelRecords;
  return startup;
}

int RunViewerFor(const TCommandLine& options) {
  textures::AcceptGreyscaleTGA(options.GreyscaleTGA);
  TStartupOptions startup = StartupOptionsFor(options);
  // PageDown from the spawn point the run starts at goes on to the next one.
  startup.Viewer.SpawnPoint = options.StartSpawn - 1;
  startup.Viewer.KeysHintPending = startup.Viewer.LevelRun && startup.Viewer.Hud;
  startup.FontPath = FindDataFile(startup.FontPath);
  if (options.Verbose) {
    TVerboseParts parts = VerbosePartsOf(options);
    parts.FastBeforeThings = false;
    startup.Loaded = [parts] {
      const TLoadTimings& t = Level.LoadTimings;
      PrintVerboseSummary(Level, t.ReadingMs + t.SurfaceImagesMs + t.LightmapsMs + t.TessellationMs, parts);
    };
  }
  if (options.Size) {
    // The window's size against what the GL can draw, once the context exists.
    const TWindowSize size = *options.Size;
    startup.Loaded = [size, loaded = std::move(startup.Loaded)] {
      if (loaded) loaded();
      if (!FitsGLViewport(size, std::cerr)) platform::PostQuitMessage(2);
    };
  }
  if (options.Walk) RequestWalkingAtStart();
  if (options.FrameTimes)
    startup.FrameDrawn = [](double ms) {
      std::printf("%.3f\n", ms);
      std::fflush(stdout);
    };
  return RunViewer(startup);
}

int RunHeadlessFor(TCommandLine& options) {
  options.LevelOptions = LevelOptionsFor(options);
  options.RenderOptions = RenderOptionsFor(options);
  textures::AcceptGreyscaleTGA(options.GreyscaleTGA);
  return RunHeadless(options);
}

}  // namespace app
