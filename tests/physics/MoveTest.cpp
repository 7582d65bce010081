// The player's figures on levels built for each question: resting on a floor, stairs, a wall met
// at an angle, ramps, a low ceiling, ledges, a jump pad and a teleporter; brushes a hostile file
// may hold; walk-path lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "BrushLevel.h"
#include "physics/WalkLevel.h"

namespace {

using physicstest::TBrushLevel;
using namespace physics;

// A floor whose top is at z = 0, 2048 units across.
TBrushLevel FloorLevel() {
  TBrushLevel level;
  level.World.push_back(TBrushLevel::Box({-1024, -1024, -64}, {1024, 1024, 0}));
  return level;
}

TWalkLevel Read(const TBrushLevel& level) {
  return ReadWalkLevel(TLevelFile("test.bsp", level.Bytes()));
}

// A standing player on the floor at (x, y), facing along +X, after settling.
TPlayer Standing(const TWalkLevel& walk, float x, float y, float yaw = 0) {
  TPlayer player = PlayerAtEye({x, y, 60}, yaw);
  TStepReport report;
  EXPECT_TRUE(SettlePlayer(walk, player, 5, report));
  return player;
}

void Hold(const TWalkLevel& walk, TPlayer& player, TMoveInput input, float seconds) {
  for (int step = 0; step < std::lround(seconds / kStepSeconds); ++step)
    StepPlayer(walk.World, &walk.Movers, player, input);
}

TEST(Move, DropRestsWithTheEye50OverTheFloor) {
  const TWalkLevel walk = Read(FloorLevel());
  TPlayer player = PlayerAtEye({10, 20, 300});
  TStepReport report;
  ASSERT_TRUE(SettlePlayer(walk, player, 10, report));
  EXPECT_NEAR(EyeOf(player).Z, 26 + 24, 0.25);
  EXPECT_TRUE(player.OnGround);
  EXPECT_EQ(walk.World.TextureName(player.Ground.Texture), "textures/test/floor");
}

TEST(Move, StepsOf16AreClimbedAnd20AreNot) {
  for (const float height : {16.0f, 20.0f}) {
    TBrushLevel level = FloorLevel();
    level.World.push_back(TBrushLevel::Box({64, -256, 0}, {512, 256, height}));
    const TWalkLevel walk = Read(level);
    TPlayer player = Standing(walk, 0, 0);
    Hold(walk, player, {.Forward = 1}, 1.5f);
    if (height == 16) {
      EXPECT_NEAR(player.Origin.Z, 24 + 16, 0.25) << "step " << height;
      EXPECT_GT(player.Origin.X, 200);
    } else {
      EXPECT_NEAR(player.Origin.Z, 24, 0.25) << "step " << height;
      EXPECT_LT(player.Origin.X, 64 - 15);
    }
  }
}

TEST(Move, AWallMetAt45DegreesSlides) {
  TBrushLevel level = FloorLevel();
  // A wall across the way at 45 degrees: its face through (128, 0), facing -X +Y.
  level.World.push_back(TBrushLevel::Cut(TBrushLevel::Box({-512, -512, 0}, {512, 512, 256}), {-1, 1, 0}, {128, 0, 0}));
  level.World.back() = TBrushLevel::Cut(level.World.back(), {1, -1, 0}, {1128, 0, 0});
  const TWalkLevel walk = Read(level);
  TPlayer player = Standing(walk, 0, 0);
  Hold(walk, player, {.Forward = 1}, 2);
  // Along the wall towards +X +Y at about 320 x cos 45 units a second, the box's corner against it.
  EXPECT_GT(player.Origin.Y, 200);
  EXPECT_FALSE(walk.World.Trace(player.Origin, player.Origin, kStandingBox).StartSolid);
  EXPECT_NEAR(player.Origin.X - player.Origin.Y, 128 - 30, 1);
}

TEST(Move, RampsOf07AreWalkedUpAndSteeperAreNot) {
  for (const float normalZ : {0.7f, 0.6f}) {
    TBrushLevel level = FloorLevel();
    const float normalX = -std::sqrt(1 - normalZ * normalZ);
    level.World.push_back(TBrushLevel::Cut(TBrushLevel::Box({64, -256, 0}, {1024, 256, 1024}), {normalX, 0, normalZ}, {64, 0, 0}));
    const TWalkLevel walk = Read(level);
    TPlayer player = Standing(walk, 0, 0);
    Hold(walk, player, {.Forward = 1}, 2);
    if (normalZ == 0.7f)
      EXPECT_GT(player.Origin.Z, 24 + 200) << "normal z " << normalZ;
    else
      EXPECT_LT(player.Origin.Z, 24 + 40) << "normal z " << normalZ;
  }
}

TEST(Move, ALowCeilingIsPassedCrouchedOnly) {
  for (const bool crouch : {false, true}) {
    TBrushLevel level = FloorLevel();
    level.World.push_back(TBrushLevel::Box({64, -256, 50}, {512, 256, 128}));
    const TWalkLevel walk = Read(level);
    TPlayer player = Standing(walk, 0, 0);
    Hold(walk, player, {.Forward = 1, .Crouch = crouch}, 3);
    if (crouch)
      EXPECT_GT(player.Origin.X, 200);
    else
      EXPECT_LT(player.Origin.X, 64 - 14);
  }
}

TEST(Move, JumpsReachALedgeOf40AndNotOf72) {
  for (const float height : {40.0f, 72.0f}) {
    TBrushLevel level = FloorLevel();
    level.World.push_back(TBrushLevel::Box({128, -256, 0}, {512, 256, height}));
    const TWalkLevel walk = Read(level);
    TPlayer player = Standing(walk, 0, 0);
    Hold(walk, player, {.Forward = 1}, 0.25f);
    Hold(walk, player, {.Forward = 1, .Jump = true}, 0.008f);
    Hold(walk, player, {.Forward = 1}, 1.5f);
    EXPECT_NEAR(player.Origin.Z, 24 + (height == 40 ? height : 0), 0.25) << "ledge " << height;
  }
}

TEST(Move, AJumpPadTopsItsArcAtTheTarget) {
  TBrushLevel level = FloorLevel();
  level.Models.push_back({TBrushLevel::Box({-32, -32, 0}, {32, 32, 8}, level.AddTexture("textures/test/trigger", 0x40000000))});
  level.Entities = "{\n\"classname\" \"trigger_push\"\n\"model\" \"*1\"\n\"target\" \"pad\"\n}\n"
                   "{\n\"classname\" \"target_position\"\n\"targetname\" \"pad\"\n\"origin\" \"300 100 400\"\n}\n";
  const TWalkLevel walk = Read(level);
  TPlayer player = PlayerAtEye({0, 0, 50.125f});  // standing on the pad
  float highest = player.Origin.Z;
  TVector atTop{};
  TStepReport report;
  for (int step = 0; step < 300; ++step) {
    StepPlayer(walk.World, &walk.Movers, player, {}, &report);
    if (player.Origin.Z > highest) atTop = player.Origin;
    highest = std::max(highest, player.Origin.Z);
  }
  EXPECT_TRUE(report.Pushed);
  EXPECT_EQ(report.Touched, "trigger_push");
  EXPECT_NEAR(highest, 400, 2);
  EXPECT_NEAR(atTop.X, 300, 4);
  EXPECT_NEAR(atTop.Y, 100, 4);
}

TEST(Move, ATeleporterSendsThePlayerOnFacingTheDestination) {
  TBrushLevel level = FloorLevel();
  level.Models.push_back({TBrushLevel::Box({-32, -32, 0}, {32, 32, 64}, level.AddTexture("textures/test/trigger", 0x40000000))});
  level.Entities = "{\n\"classname\" \"trigger_teleport\"\n\"model\" \"*1\"\n\"target\" \"there\"\n}\n"
                   "{\n\"classname\" \"misc_teleporter_dest\"\n\"targetname\" \"there\"\n\"origin\" \"600 -400 40\"\n"
                   "\"angle\" \"90\"\n}\n";
  const TWalkLevel walk = Read(level);
  TPlayer player = PlayerAtEye({0, 0, 60});
  TStepReport report;
  StepPlayer(walk.World, &walk.Movers, player, {}, &report);
  EXPECT_TRUE(report.Teleported);
  EXPECT_EQ(player.Origin.X, 600);
  EXPECT_EQ(player.Origin.Y, -400);
  EXPECT_EQ(player.Yaw, 90);
  EXPECT_NEAR(player.Velocity.Y, 400, 0.01);
}

TEST(Move, WaterFloatsThePlayerAndOtherTriggersAreNamed) {
  TBrushLevel level = FloorLevel();
  level.World.push_back(TBrushLevel::Box({-512, -512, 0}, {512, 512, 200}, level.AddTexture("textures/test/water", 0x20)));
  level.Models.push_back({TBrushLevel::Box({-32, -32, 0}, {32, 32, 400}, level.AddTexture("textures/test/trigger", 0x40000000))});
  level.Entities = "{\n\"classname\" \"trigger_hurt\"\n\"model\" \"*1\"\n}\n";
  const TWalkLevel walk = Read(level);
  TPlayer player = PlayerAtEye({0, 0, 150});
  TStepReport report;
  for (int step = 0; step < 500; ++step) StepPlayer(walk.World, &walk.Movers, player, {}, &report);
  // Head out, waist in: floating at the surface rather than resting on the floor 200 below it.
  EXPECT_GT(EyeOf(player).Z, 200);
  EXPECT_LT(player.Origin.Z, 200);
  EXPECT_EQ(player.WaterLevel, 2);
  EXPECT_EQ(report.Touched, "trigger_hurt");
  EXPECT_FALSE(report.Pushed || report.Teleported);
}

TEST(Move, HostileBrushesCostLittle) {
  TBrushLevel level = FloorLevel();
  TBrushLevel::Box({0, 0, 0}, {1, 1, 1});
  level.World.push_back({{}, 0});  // no sides: would hold everything
  level.World.push_back(TBrushLevel::Box({0, 0, 100}, {64, 64, 164}));
  level.World.back().Planes[2].Distance = std::nanf("");
  for (int k = 0; k < 200000; ++k) level.LeafBrushesOverride.push_back(k % 2 ? 0 : 1);
  const TWalkLevel walk = Read(level);
  EXPECT_EQ(walk.World.Problems().size(), 1u) << walk.World.Problems()[0];
  const TTrace trace = walk.World.Trace({8, 8, 200}, {8, 8, -200}, kStandingBox);
  EXPECT_FALSE(trace.StartSolid);
  EXPECT_NEAR(trace.End.Z, 24, 0.25);  // only the floor stops it
}

TEST(Move, WalkPathLines) {
  const std::vector<TWalkMove> moves = ParseWalkPath("forward 1.5\n# a comment\n\nturn -90\njump\ncrouch  \nwait 0");
  ASSERT_EQ(moves.size(), 5u);
  EXPECT_EQ(moves[1].Kind, TWalkMove::TKind::Turn);
  EXPECT_EQ(moves[1].Amount, -90);
  const std::pair<const char*, const char*> wrong[] = {
      {"fly 2", "line 1: 'fly 2' is not a move (forward, back, left, right SECONDS; jump; crouch; turn DEGREES; "
                "wait SECONDS)"},
      {"\nforward", "line 2: 'forward': forward needs SECONDS from 0 to 600"},
      {"jump 2", "line 1: 'jump 2': jump takes no number"},
      {"wait 400\nwait 400", "line 2: the path is longer than 600 seconds or 10000 moves"},
      {"turn nan", "line 1: 'turn nan': turn needs DEGREES"}};
  for (const auto& [text, message] : wrong) {
    try {
      ParseWalkPath(text);
      ADD_FAILURE() << text;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
}

}  // namespace
