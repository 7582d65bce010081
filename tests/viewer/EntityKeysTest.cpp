// The viewer's keys to the level's things: PgDn and PgUp through the spawn points as --spawn
// numbers them, G to the entity at the view centre, F7's markers named on the overlay line.
#include <gtest/gtest.h>

#include <cmath>

#include "app/viewer/ViewModes.h"
#include "level/Things.h"
#include "support/TestLevels.h"

namespace {

TQuake3BSP LevelWithThings() {
  TQuake3BSP level;
  level.Things.Entities = ReadEntityText(
      "{\"classname\" \"worldspawn\"}"
      "{\"classname\" \"info_player_deathmatch\" \"origin\" \"100 0 0\" \"angle\" \"90\"}"
      "{\"classname\" \"item_quad\" \"origin\" \"0 300 10\"}"
      "{\"classname\" \"team_CTF_redspawn\" \"origin\" \"-100 0 0\"}");
  std::vector<std::string> warnings;
  level.Things.Places = PlaceEntities(level.Things.Entities.Entities, {}, warnings);
  return level;
}

TEST(EntityKeys, SpawnPointsInTurnAndTheEntityAhead) {
  app::TViewerState state;
  const TQuake3BSP level = LevelWithThings();
  TCamera camera{0, 0, 0, 0, 270};
  const struct {
    std::uint16_t Key;
    float X, Z, Yaw;
    const char* Note;
  } presses[] = {{app::VK_NEXT, 100, 26, 0, "Spawn point 1 of 2: info_player_deathmatch"},
                 {app::VK_NEXT, -100, 26, 90, "Spawn point 2 of 2: team_CTF_redspawn"},
                 {app::VK_NEXT, 100, 26, 0, "Spawn point 1 of 2: info_player_deathmatch"},
                 {app::VK_PRIOR, -100, 26, 90, "Spawn point 2 of 2: team_CTF_redspawn"}};
  for (const auto& press : presses) {
    EXPECT_TRUE(app::HandleEntityKey(press.Key, false, level, camera, 0, state));
    EXPECT_EQ(camera.X, press.X);
    EXPECT_EQ(camera.Z, press.Z);
    EXPECT_EQ(camera.Yaw, press.Yaw);
    EXPECT_EQ(state.Note, press.Note);
  }
  EXPECT_TRUE(app::HandleEntityKey(app::VK_NEXT, true, level, camera, 0, state)) << "held: no repeat";
  EXPECT_EQ(camera.X, -100);

  camera = {0, 0, 10, 0, 270};  // looking along +Y at the quad damage
  EXPECT_EQ(app::NearestEntityText(level, camera), " near: #2 item_quad");
  EXPECT_TRUE(app::HandleEntityKey(app::VK_G, false, level, camera, 0, state));
  EXPECT_EQ(state.Note, "Entity 2: item_quad");
  // No tree: no heading's eye is inside, so the entity's own (angle 0, along +X) is kept, 96
  // back and 48 up, looking down at it, where --goto stands.
  EXPECT_NEAR(camera.X, -96, 1e-4);
  EXPECT_NEAR(camera.Y, 300, 1e-4);
  EXPECT_NEAR(camera.Z, 58, 1e-4);
  EXPECT_NEAR(camera.Yaw, 90, 1e-4);
  EXPECT_NEAR(camera.Pitch, 270 + 26.5651, 1e-3);
  EXPECT_FALSE(app::HandleEntityKey(app::VK_F7, false, level, camera, 0, state));
}

TEST(EntityKeys, IInspectsTheEntityInSightAndGGoesToIt) {
  app::TViewerState state;
  const TQuake3BSP level = LevelWithThings();
  TCamera camera{0, 0, 10, 0, 270};  // looking along +Y at the quad damage
  EXPECT_TRUE(app::HandleEntityKey(app::VK_I, false, level, camera, 0, state));
  ASSERT_EQ(state.Inspected, 1u);
  EXPECT_EQ(state.InspectorLines,
            (std::vector<std::string>{"Entity 2: item_quad", "  \"classname\" \"item_quad\"", "  \"origin\" \"0 300 10\""}));
  camera = {0, 0, 10, 180, 270};  // turned away: G still goes to the inspected one
  EXPECT_TRUE(app::HandleEntityKey(app::VK_G, false, level, camera, 0, state));
  EXPECT_EQ(state.Note, "Entity 2: item_quad");
  EXPECT_NEAR(camera.Y, 300, 1e-3);
  EXPECT_TRUE(app::HandleEntityKey(app::VK_I, false, level, camera, 0, state));
  EXPECT_FALSE(state.Inspected) << "I again hides it";
  camera = {0, 0, 10, 180, 270};
  EXPECT_TRUE(app::HandleEntityKey(app::VK_I, false, level, camera, 0, state));
  EXPECT_FALSE(state.Inspected);
  EXPECT_EQ(state.Note, "No entity in sight near the view centre");
}

}  // namespace

namespace {

// A click with the pointer shown picks along the line through its pixel: looking along +X over
// a wall from x = 100 to 110, the spawn point behind the wall right under the pointer loses to
// the armour before the wall a little off it; the trigger under the pointer counts only with
// the markers on; the entity right of the view is picked by a click right of the centre.
TEST(EntityKeys, AClickPicksWhatIsInSightUnderThePointer) {
  TQuake3BSP level;
  testsupport::AddNode(level, testsupport::AddPlane(level, {1, 0, 0}, 100), 1, -1);
  testsupport::AddNode(level, testsupport::AddPlane(level, {1, 0, 0}, 110), -2, -3);
  testsupport::AddLeaf(level, 0, {});
  testsupport::AddLeaf(level, 0, {});
  testsupport::AddLeaf(level, -1, {});  // the wall
  level.Things.Entities = ReadEntityText(
      "{\"classname\" \"info_player_deathmatch\" \"origin\" \"300 100 0\"}"
      "{\"classname\" \"item_armor_body\" \"origin\" \"60 24 0\"}"
      "{\"classname\" \"trigger_hurt\" \"origin\" \"50 -40 0\"}"
      "{\"classname\" \"item_health\" \"origin\" \"60 -30 0\"}");
  std::vector<std::string> warnings;
  level.Things.Places = PlaceEntities(level.Things.Entities.Entities, {}, warnings);
  const TCamera camera{0, 0, 0, 90, 270};  // along +X
  constexpr int Width = 400, Height = 300;
  const TVector behind = app::ClickDirection(camera, 80, Width, Height, 140, 149);
  // The pixel left of the middle points to +Y, about 18 degrees off the view centre.
  EXPECT_NEAR(std::atan2(behind.Y, behind.X), std::atan2(100.0, 300.0), 0.02);
  app::TViewerState state;
  app::HandleEntityClick(140, 149, Width, Height, level, camera, 0, state);
  ASSERT_TRUE(state.Inspected);
  EXPECT_EQ(state.InspectorLines.front(), "Entity 1: item_armor_body");
  const TVector right = app::ClickDirection(camera, 80, Width, Height, 342, 149);  // towards the trigger
  EXPECT_NEAR(std::atan2(right.Y, right.X), std::atan2(-40.0, 50.0), 0.05);
  app::HandleEntityClick(342, 149, Width, Height, level, camera, 0, state);
  EXPECT_EQ(state.InspectorLines.front(), "Entity 3: item_health");
  state.Render.Markers = true;
  app::HandleEntityClick(342, 149, Width, Height, level, camera, 0, state);
  EXPECT_EQ(state.InspectorLines.front(), "Entity 2: trigger_hurt");
  app::HandleEntityClick(140, 0, Width, Height, level, camera, 0, state);  // the top edge: nothing near
  EXPECT_FALSE(state.Inspected);
  EXPECT_EQ(state.Note, "No entity in sight under the pointer");
}

}  // namespace
