// Seeing a thing on a level made in memory: a wall (a slab of leaf without a cluster) blocks the
// line of sight, the pick at the view centre takes what is in sight and leaves triggers to the
// entity mode, and the framing pose turns to a heading that sees its entity.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "level/Framing.h"
#include "support/TestLevels.h"

namespace {

using namespace testsupport;

// Open space on both sides of a wall from x = 100 to x = 110.
TQuake3BSP WalledLevel() {
  TQuake3BSP level;
  AddNode(level, AddPlane(level, {1, 0, 0}, 100), 1, -1);  // back: leaf 0, open
  AddNode(level, AddPlane(level, {1, 0, 0}, 110), -2, -3);  // front: leaf 1, open; back: leaf 2, wall
  AddLeaf(level, 0, {});
  AddLeaf(level, 0, {});
  AddLeaf(level, -1, {});
  return level;
}

TPlacedEntity Place(const char* name, TVector position, float angle = 0, bool point = true) {
  TPlacedEntity place;
  place.ClassName = name;
  place.Family = FamilyOf(name);
  place.Position = position;
  place.Angle = angle;
  place.Point = point;
  if (!point) place.HalfSize = {8, 8, 8};
  return place;
}

TEST(Framing, SightStopsAtTheWall) {
  const TQuake3BSP level = WalledLevel();
  const struct {
    TVector From, To;
    bool Clear;
  } cases[] = {{{0, 0, 0}, {99, 50, 0}, true}, {{0, 0, 0}, {200, 0, 0}, false}, {{111, 0, 0}, {400, 9, 9}, true},
               {{0, 0, 0}, {102, 0, 0}, true} /* the end point itself is not tested */,
               {{0, 0, 0}, {std::numeric_limits<float>::infinity(), 0, 0}, false}};
  for (const auto& c : cases) EXPECT_EQ(SightClear(level, c.From, c.To), c.Clear) << c.To.X;
  EXPECT_TRUE(SightClear(TQuake3BSP{}, {0, 0, 0}, {500, 0, 0})) << "no tree: nothing blocks";
}

TEST(Framing, ThePickTakesWhatIsInSightAndTriggersOnlyInEntityMode) {
  const TQuake3BSP level = WalledLevel();
  const std::vector<TPlacedEntity> places = {Place("item_quad", {200, 0, 0}),  // behind the wall, dead ahead
                                             Place("weapon_railgun", {50, 20, 0}),
                                             Place("trigger_multiple", {50, 0, 0}, 0, false)};
  EXPECT_EQ(PlaceInSight(level, places, {0, 0, 0}, {1, 0, 0}, false), 1u);
  EXPECT_EQ(PlaceInSight(level, places, {0, 0, 0}, {1, 0, 0}, true), 2u);
  EXPECT_EQ(PlaceInSight(level, {places[0]}, {0, 0, 0}, {1, 0, 0}, true), std::nullopt);
  EXPECT_EQ(PlaceInSight(level, places, {0, 0, 0}, {-1, 0, 0}, true), std::nullopt) << "all behind";
}

TEST(Framing, ThePoseTurnsToAHeadingThatSees) {
  const TQuake3BSP level = WalledLevel();
  const struct {
    TPlacedEntity Place;
    TVector Eye;
    float Yaw;
  } cases[] = {
      // Its own heading: 96 back along +X, 48 up.
      {Place("item_quad", {50, 0, 0}, 0), {-46, 0, 48}, 90},
      // Facing the wall's far side: the headings from beyond it are blocked, until the first
      // from this side (angle 180 + 2 eighths, from +Y).
      {Place("item_quad", {90, 0, 0}, 180), {90, 96, 48}, 180},
      // A small brush entity stands where a point would, seen from its centre.
      {Place("func_door", {-200, 0, 0}, 90, false), {-200, -96, 48}, 0},
  };
  for (const auto& c : cases) {
    const TViewPose pose = PoseLookingAt(level, c.Place);
    EXPECT_NEAR(pose.Eye.X, c.Eye.X, 1e-3) << c.Place.ClassName;
    EXPECT_NEAR(pose.Eye.Y, c.Eye.Y, 1e-3);
    EXPECT_NEAR(pose.Eye.Z, c.Eye.Z, 1e-3);
    EXPECT_NEAR(pose.Yaw, c.Yaw, 1e-3);
    EXPECT_NEAR(pose.Pitch, 270 + 26.5651, 1e-3) << "looking down at it";
  }
  TPlacedEntity hall = Place("func_door", {-200, 0, 0}, 90, false);
  hall.HalfSize = {200, 200, 100};
  const TViewPose far = PoseLookingAt(level, hall);
  EXPECT_NEAR(far.Eye.Y, -1.6 * 300 * 96 / std::sqrt(96.0 * 96 + 48 * 48), 1e-2) << "fitted: 1.6 radii away";
}

}  // namespace
