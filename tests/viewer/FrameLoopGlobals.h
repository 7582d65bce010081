#pragma once
// What the paint-pass tests put back before each test.
#include "app/viewer/frmMain.h"
#include "gl/Textures.h"

namespace apptest {

// The frame loop's keys, clock, frame rate, level and font as at start-up; the camera at
// (100, 200, 300) looking level along +Y (W flies along +Y, D along +X). GL's entry points are the
// fixture's (testsupport::TPixelTest, kept for the whole program).
inline void ResetFrameLoopGlobals() {
  Keys.fill(false);
  CurrentTime = LastFrameTime = LastFpsTime = Fps = 0;
  FpsText.clear();
  Level = TQuake3BSP{};
  FontTexture = 0;
  InitCamera(Camera, 100, 200, 300, 0, 270);
}

}  // namespace apptest
