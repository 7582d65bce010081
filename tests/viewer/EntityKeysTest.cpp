// The viewer's keys to the level's things: PgDn and PgUp through the spawn points as --spawn
// numbers them, G to the entity at the view centre, F7's markers named on the overlay line.
#include <gtest/gtest.h>

#include "app/viewer/ViewModes.h"
#include "level/Things.h"

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
