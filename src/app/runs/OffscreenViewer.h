#pragma once
// The viewer's own frames drawn into an offscreen GL context, for the modes that run without
// anybody at the screen (--screenshot, --benchmark): the fixed GL state, font and level loaded as
// at start-up, then paint passes driven one by one. The clock advances by a fixed step before
// every pass, so each pass draws a frame (no frame gate) and the heads-up text is the same on
// every run (its rate line names the renderer without a rate, which that clock cannot give); the
// cursor stays at the mouse-look home point, so the camera never turns by itself.
// The display mode is never touched and no window is opened.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "app/runs/LevelReport.h"
#include "app/runs/RunOptions.h"
#include "app/viewer/ViewModes.h"
#include "app/viewer/frmMain.h"
#include "camera/CameraClass.h"
#include "window/Input.h"
#include "window/OffscreenContext.h"

namespace app {

class TOffscreenViewer {
 public:
  // Raises std::runtime_error when no GL context can be made. The frames run in `state`.
  TOffscreenViewer(int width, int height, TViewerState state = {});
  ~TOffscreenViewer();
  TOffscreenViewer(const TOffscreenViewer&) = delete;
  TOffscreenViewer& operator=(const TOffscreenViewer&) = delete;

  // Loads the font (LoadHudFont) and the level as start-up does; false when the level file cannot be opened
  // (after the loader's message). Errors of the loaders pass on.
  bool Load(const std::string& fontPath, const std::string& levelPath,
            const TLevelOptions& levelOptions = {});
  // The same with the level read and parsed already (LoadLevelRecords), so that it is not read again.
  bool Load(const std::string& fontPath, TLoadedRecords&& level, const TLevelOptions& levelOptions);
  // The whole LoadBSP call, in milliseconds.
  double LevelLoadMs() const { return LevelMs; }

  // One paint pass with the camera at the pose; returns its time in milliseconds from the start
  // of the pass to after the buffer swap and glFinish.
  double DrawFrame(const TCamera& pose);

  // The options the following frames draw the level with.
  TRenderOptions& LevelRender() { return State.LevelRender; }

  int Width() const { return Context.Width(); }
  int Height() const { return Context.Height(); }

 private:
  platform::TOffscreenGLContext Context;
  TViewerState State;
  TPaintSurface Surface;
  platform::TTickSource PreviousTicks;
  platform::TCursorSource PreviousCursor;
  std::uint32_t Ticks = 1000;
  double LevelMs = 0;
  std::string RendererName;  // the heads-up rate line of every frame after the first
  std::chrono::steady_clock::time_point SwapDone;
};

// The offscreen viewer of a run with font and level loaded (the frames' state from the run's
// options, the clock standing at --time), or nothing after a one-line message and with the exit
// code set: 2 for a size the GL cannot draw, 1 otherwise. `overview`: the messages name
// --overview and the level, and --verbose adds nothing; otherwise --verbose prints the load's
// summary.
// The level is `loaded`'s, as the run read it.
std::unique_ptr<TOffscreenViewer> StartOffscreenViewer(const TRunOptions& options, bool overview, int& exitCode,
                                                       TLoadedRecords&& loaded);

}  // namespace app
