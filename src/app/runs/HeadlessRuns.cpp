// The runs that need nobody at the screen, by mode; --screenshot and --benchmark here: the
// viewer's frames drawn offscreen, then a PNG or the figures.
#include <GL/gl.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>

#include "app/runs/Benchmark.h"
#include "app/runs/EntityReport.h"
#include "app/runs/Export.h"
#include "app/runs/HeadlessRuns.h"
#include "app/runs/LevelReport.h"
#include "app/runs/PositionReport.h"
#include "app/runs/Limits.h"
#include "app/runs/OffscreenViewer.h"
#include "app/runs/Overview.h"
#include "app/runs/WalkRuns.h"
#include "app/viewer/Screenshot.h"
#include "app/viewer/ViewModes.h"
#include "app/viewer/frmMain.h"
#include "level/LevelFile.h"
#include "level/Q3BSP_surfaces.h"
#include "level/SpawnPoints.h"
#include "platform/Messages.h"
#include "render/FastPath.h"
#include "render/PassTimes.h"
#include "render/Q3BSP_render.h"

namespace app {
namespace {

// --greyscale-tga: a TGA the loader refuses costs its surface only, so it is told as the load's
// other warnings are; every other message as before.
void MessageAsWarning(const std::string& text, const std::string& caption, platform::TMessageIcon icon) {
  if (caption.starts_with("TGA ")) {
    std::fprintf(stderr, "bspwalk: warning: %s\n", text.c_str());
    std::fflush(stderr);
    return;
  }
  platform::MessageToStandardError(text, caption, icon);
}

// Waypoints taken from the leaves when the entities name no spawn point.
constexpr int kLeafWaypoints = 16;

TCamera PoseOf(const TCameraPose& pose) { return {pose.X, pose.Y, pose.Z, pose.Yaw, pose.Pitch}; }

// A camera in a leaf without a cluster is outside the level's sealed space: every face is drawn
// and most of them from behind, which looks like a broken level rather than a misplaced camera.
void WarnOutsideSealedSpace(const TCamera& pose) {
  const std::int32_t leaf = Level.FindLeaf({pose.X, pose.Y, pose.Z});
  if (leaf >= 0 && static_cast<std::size_t>(leaf) < Level.Leaves.size() &&
      Level.Leaves[static_cast<std::size_t>(leaf)].Cluster >= 0)
    return;
  std::cerr << "bspwalk: warning: the camera at " << pose.X << " " << pose.Y << " " << pose.Z
            << " is outside the level's sealed space (its leaf has no cluster): little will be "
               "seen; see --info for spawn points and bounds\n";
}

}  // namespace

// What the --fast frame just drawn did; a frame of a view mode, which draws its own way, adds
// nothing.
void AddFastFrame(TBenchmarkResult& result) {
  const TFastFrame& frame = LevelRenderCache.Fast;
  if (frame.Passes == 0) return;
  result.PassesPerFrame.push_back(frame.Passes);
  result.FacesDrawnPerFrame.push_back(frame.FacesDrawn);
  result.FacesCulledPerFrame.push_back(frame.FacesCulled);
  result.BatchesPerFrame.push_back(frame.Batches);
  if (frame.CoveredPixels > 0)
    result.FragmentsPerPixel.push_back(static_cast<double>(frame.Fragments) / static_cast<double>(frame.CoveredPixels));
}

// --fast with --json: how the frame splits between its passes, on untimed frames of their own at
// every tenth pose (the first one at least), the GL finished between passes and nothing counted.
void AddPassTimes(TOffscreenViewer& viewer, const std::vector<TCameraPose>& poses, TBenchmarkResult& result) {
  constexpr std::size_t kEvery = 10;
  TRenderOptions& render = viewer.LevelRender();
  const TRenderOptions was = render;
  render.TimePasses = true;
  render.CountFragments = false;
  result.PassCpuMs.clear();
  for (const char* name : kFramePassNames) result.PassCpuMs.emplace_back(name, std::vector<double>{});
  // The whole frame too (clearing, heads-up text and swap included), on the same clock.
  result.PassCpuMs.emplace_back("frame", std::vector<double>{});
  for (std::size_t i = 0; i < poses.size(); i += kEvery) {
    const std::clock_t start = std::clock();
    viewer.DrawFrame(PoseOf(poses[i]));
    const double frameMs = static_cast<double>(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC;
    const TPassTimes& times = LevelRenderCache.Fast.PassTimes;
    if (!times.Timing) continue;  // a view mode's frame
    for (std::size_t p = 0; p < kFramePassCount; ++p) result.PassCpuMs[p].second.push_back(times.Ms[p]);
    result.PassCpuMs.back().second.push_back(frameMs);
  }
  render = was;
  if (result.PassCpuMs.front().second.empty()) result.PassCpuMs.clear();
}

int RunScreenshot(const TRunOptions& options) {
  if (!MayWritePicture(options.ScreenshotPath, std::cerr)) return 1;
  // Checked before any GL: a refused level is then the only message.
  std::optional<TLoadedRecords> loaded = LoadLevelRecords(options.LevelPath, options.LevelBytes);
  if (!loaded) return 1;
  int exitCode = 1;
  const std::unique_ptr<TOffscreenViewer> viewer = StartOffscreenViewer(options, false, exitCode, std::move(*loaded));
  if (!viewer) return exitCode;
  const TCamera pose = options.Camera ? PoseOf(*options.Camera) : TStartupOptions{}.StartPose;
  WarnOutsideSealedSpace(pose);
  for (int frame = 0; frame < options.Frames; ++frame) viewer->DrawFrame(pose);
  try {
    WritePNG(options.ScreenshotPath, viewer->Width(), viewer->Height(),
             ReadFramePixels(viewer->Width(), viewer->Height()), true);
  } catch (const std::exception& e) {
    std::cerr << "bspwalk: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

int RunBenchmark(const TRunOptions& options) {
  std::optional<TLoadedRecords> loaded = LoadLevelRecords(options.LevelPath, options.LevelBytes);
  if (!loaded) return 1;
  const std::vector<TSpawnPoint> spawns = LevelSpawnPoints(loaded->File);
  int exitCode = 1;
  const std::unique_ptr<TOffscreenViewer> viewer = StartOffscreenViewer(options, false, exitCode, std::move(*loaded));
  if (!viewer) return exitCode;

  TBenchmarkResult result;
  result.LoadPeakRssMb = PeakResidentMB();
  result.Level = options.LevelPath;
  const GLubyte* renderer = glGetString(GL_RENDERER);
  result.Renderer = renderer ? reinterpret_cast<const char*>(renderer) : "";
  result.Width = viewer->Width();
  result.Height = viewer->Height();
  result.LoadTotalMs = viewer->LevelLoadMs();
  if (!options.ModeList.empty() || options.Freeze) result.Mode = ModeNames(options.Viewer.Render);
  result.LoadStagesMs = {{"reading", Level.LoadTimings.ReadingMs},
                         {"surface_images", Level.LoadTimings.SurfaceImagesMs},
                         {"lightmaps", Level.LoadTimings.LightmapsMs}};
  if (options.AllSurfaces)
    result.LoadStagesMs.emplace_back("tessellation", Level.LoadTimings.TessellationMs);

  std::vector<TCameraPose> poses;
  if (options.Camera) {
    result.Path = "fixed camera";
    WarnOutsideSealedSpace(PoseOf(*options.Camera));
    poses.assign(static_cast<std::size_t>(options.Frames), *options.Camera);
  } else {
    std::vector<TVector> waypoints;
    for (const TSpawnPoint& spawn : spawns) waypoints.push_back(spawn.Origin);
    result.Path = "spawn points";
    if (waypoints.empty()) {
      waypoints = LeafWaypoints(Level, kLeafWaypoints);
      result.Path = "leaves";
    }
    poses = FlightPath(waypoints, options.Frames);
  }

  result.FrameMs.reserve(poses.size());
  result.FacesPerFrame.reserve(poses.size());
  for (const TCameraPose& pose : poses) {
    result.FrameMs.push_back(viewer->DrawFrame(PoseOf(pose)));
    result.FacesPerFrame.push_back(VisibleFaceCount);
    if (options.AllSurfaces)
      result.TrianglesPerFrame.push_back(
          static_cast<double>(FrameTriangleCount(Level, options.RenderOptions)));
    if (options.Fast) AddFastFrame(result);
    if (options.Portals && options.Shaders) result.PortalViewsPerFrame.push_back(LevelRenderCache.PortalViewsDrawn);
  }
  if (options.Fast && options.Json) AddPassTimes(*viewer, poses, result);
  result.PeakRssMb = PeakResidentMB();
  if (options.Verbose)
    std::fprintf(stderr, "bspwalk: peak resident memory %.1f MB (%.1f MB when loaded)\n",
                 result.PeakRssMb, result.LoadPeakRssMb);
  std::cout << (options.Json ? BenchmarkJson(result) : BenchmarkText(result)) << std::flush;
  return 0;
}

int RunHeadless(const TRunOptions& options) {
  const platform::TScopedMessageTarget target(options.GreyscaleTGA ? MessageAsWarning
                                                                  : platform::MessageToStandardError);
  switch (options.Mode) {
    case TRunMode::Info: return RunInfo(options);
    case TRunMode::At: return RunAt(options);
    case TRunMode::Screenshot: return RunScreenshot(options);
    case TRunMode::Benchmark: return RunBenchmark(options);
    case TRunMode::Overview: return RunOverview(options);
    case TRunMode::Entities: return RunEntities(options);
    case TRunMode::Export: return RunExport(options);
    case TRunMode::Drop: return RunDrop(options);
    case TRunMode::Trace: return RunTrace(options);
    case TRunMode::WalkPath: return RunWalkPath(options);
    case TRunMode::Viewer:
    case TRunMode::Gallery:
    case TRunMode::List: break;
  }
  return 2;
}

}  // namespace app
