// OpenArena's levels: from every spawn point of three of them the dropped player comes to rest on
// a floor, within a unit of it, where it was dropped.
#include <gtest/gtest.h>

#include <cmath>

#include "physics/VectorMath.h"
#include "level/SpawnPoints.h"
#include "physics/WalkLevel.h"
#include "support/TestSupport.h"

namespace {

using namespace physics;

TEST(RealLevels, EverySpawnPointsDropRestsOnAFloor) {
  const std::string root = testsupport::ExtractOpenArena(
      "pak1-maps.pk3", {"maps/oa_dm1.bsp", "maps/oa_dm3.bsp", "maps/oa_dm4.bsp"});
  for (const char* name : {"oa_dm1", "oa_dm3", "oa_dm4"}) {
    const TLevelFile file(root + "/maps/" + name + ".bsp");
    const TWalkLevel level = ReadWalkLevel(file);
    EXPECT_TRUE(level.World.Problems().empty()) << name;
    if (std::string(name) == "oa_dm3") {
      EXPECT_GT(level.World.PatchBrushCount(), 1000u);
    }
    const std::vector<TSpawnPoint> spawns = LevelSpawnPoints(file);
    ASSERT_FALSE(spawns.empty()) << name;
    for (const TSpawnPoint& spawn : spawns) {
      // As the game puts a player there: kSpawnLift over the point (oa_dm1 has one in a sloped clip).
      const TVector eye = spawn.Origin + TVector{0, 0, kSpawnLift + kStandingEye};
      TPlayer player = PlayerAtEye(eye);
      ASSERT_FALSE(level.World.Trace(player.Origin, player.Origin, kStandingBox).StartSolid) << name << " " << eye.Z;
      TStepReport report;
      ASSERT_TRUE(SettlePlayer(level, player, 10, report)) << name << " " << eye.X << " " << eye.Y;
      EXPECT_TRUE(player.OnGround) << name;
      EXPECT_GE(player.Ground.Plane.Normal.Z, kMinGroundNormal) << name;
      EXPECT_FALSE(level.World.TextureName(player.Ground.Texture).empty()) << name;
      // On the floor (not hovering over it) and where it was dropped.
      const TTrace below = level.World.Trace(player.Origin, player.Origin - TVector{0, 0, 1}, kStandingBox);
      EXPECT_LT(below.Fraction, 1) << name << " " << eye.X << " " << eye.Y;
      EXPECT_LT(std::hypot(player.Origin.X - spawn.Origin.X, player.Origin.Y - spawn.Origin.Y), 1) << name;
      EXPECT_LT(eye.Z - EyeOf(player).Z, kSpawnLift + kStepHeight) << name;
    }
  }
}

}  // namespace
