// The viewer's walk mode without a window: V on and off, falling to the floor in frames, the pitch
// kept, a start inside solid refused, Shift and the wheel on the flying speed, the heads-up text.
#include <gtest/gtest.h>

#include "BrushLevel.h"
#include "app/viewer/ViewModes.h"
#include "app/viewer/WalkMode.h"
#include "app/viewer/frmMain.h"
#include "support/TestSupport.h"

namespace {

using physicstest::TBrushLevel;

TEST(WalkMode, VWalksFallsToTheFloorAndFliesAgain) {
  testsupport::TTempDir dir;
  TBrushLevel level;
  level.World.push_back(TBrushLevel::Box({-1024, -1024, -64}, {1024, 1024, 0}));
  testsupport::WriteFile(dir / "walk.bsp", level.Bytes());
  EXPECT_EQ(app::WalkHudText(), "");

  app::TViewerState state;
  state.LevelPath = dir / "walk.bsp";
  TCamera camera{0, 0, -20, 0, 270};  // the eye below the floor's top: the box inside it
  EXPECT_TRUE(app::HandleWalkKey(app::VK_V, false, camera, state, 0));
  EXPECT_EQ(state.Note, "Cannot walk here: the player's box would be inside solid");
  EXPECT_EQ(app::WalkHudText(), "  flying at 150 units/s");

  camera = {0, 0, 200, 30, 100};
  EXPECT_FALSE(app::HandleWalkKey('W', false, camera, state, 0));
  EXPECT_TRUE(app::HandleWalkKey(app::VK_V, false, camera, state, 0));
  EXPECT_EQ(camera.Pitch, 180);  // looking no further up than straight up
  for (int frame = 0; frame < 40; ++frame) app::MoveFromKeys(50, camera, state);
  EXPECT_NEAR(camera.Z, 50.125, 0.01);
  EXPECT_EQ(camera.X, 0);
  EXPECT_EQ(app::WalkHudText(), "  walking");
  camera.Pitch = 400;
  app::KeepWalkingPitch(camera);
  EXPECT_EQ(camera.Pitch, 360);

  EXPECT_TRUE(app::HandleWalkKey(app::VK_V, false, camera, state, 0));
  Keys[app::VK_SHIFT] = true;
  EXPECT_EQ(app::FlySpeedFactor(), 4);
  app::HandleWheel(2);
  EXPECT_EQ(app::WalkHudText(), "  flying at 938 units/s");
  app::HandleWheel(-100);
  EXPECT_EQ(app::FlySpeedFactor(), 4 * app::kLeastWheelFactor);
  Keys[app::VK_SHIFT] = false;
}

}  // namespace
