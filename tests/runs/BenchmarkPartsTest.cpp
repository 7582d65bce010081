// The benchmark's statistics and flight path, and the entities parsing its spawn points come from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "app/runs/Benchmark.h"
#include "app/runs/Json.h"
#include "level/LevelFile.h"
#include "level/SpawnPoints.h"

namespace {

TEST(Summarize, MinMedianNearestRankP95Max) {
  std::vector<double> twenty;
  for (int i = 20; i >= 1; --i) twenty.push_back(i);  // unsorted on purpose
  app::TSummary s = app::Summarize(twenty);
  EXPECT_EQ(s.Min, 1);
  EXPECT_EQ(s.Median, 10.5);
  EXPECT_EQ(s.P95, 19);  // rank ceil(0.95 x 20) = 19
  EXPECT_EQ(s.Max, 20);

  s = app::Summarize({5, 1, 3});
  EXPECT_EQ(s.Median, 3);
  EXPECT_EQ(s.P95, 5);  // rank ceil(2.85) = 3

  std::vector<double> hundredOne;
  for (int i = 1; i <= 101; ++i) hundredOne.push_back(i);
  EXPECT_EQ(app::Summarize(hundredOne).P95, 96);  // rank ceil(95.95) = 96

  s = app::Summarize({7});
  EXPECT_EQ(s.Min, 7);
  EXPECT_EQ(s.Median, 7);
  EXPECT_EQ(s.P95, 7);
  EXPECT_EQ(s.Max, 7);
  s = app::Summarize({});
  EXPECT_EQ(s.Max, 0);
}

TEST(FlightPath, EvenSpeedAroundTheLoopLookingAlongEachSegment) {
  // A square of side 100 (loop length 400), 8 frames: every 50 units, corners at even frames.
  const std::vector<TVector> square{{0, 0, 10}, {0, 100, 10}, {100, 100, 10}, {100, 0, 10}};
  const std::vector<app::TCameraPose> poses = app::FlightPath(square, 8);
  ASSERT_EQ(poses.size(), 8u);
  const float expected[8][3] = {{0, 0, 10},    {0, 50, 10},   {0, 100, 10}, {50, 100, 10},
                                {100, 100, 10}, {100, 50, 10}, {100, 0, 10}, {50, 0, 10}};
  // Along +Y yaw 0, along +X yaw 90, along -Y 180, along -X -90; always horizontal (pitch 270).
  const float yaw[8] = {0, 0, 90, 90, 180, 180, -90, -90};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    EXPECT_FLOAT_EQ(poses[i].X, expected[i][0]);
    EXPECT_FLOAT_EQ(poses[i].Y, expected[i][1]);
    EXPECT_FLOAT_EQ(poses[i].Z, expected[i][2]);
    EXPECT_NEAR(std::remainder(poses[i].Yaw - yaw[i], 360.0f), 0, 1e-4);
    EXPECT_EQ(poses[i].Pitch, 270.0f);
  }
  // Reproducible: the same input gives the same poses, bit for bit.
  const std::vector<app::TCameraPose> again = app::FlightPath(square, 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(std::memcmp(&poses[i], &again[i], sizeof poses[i]), 0);
}

TEST(FlightPath, OneSpotTurnsAroundAndNoWaypointsHoldsTheStartPose) {
  const std::vector<app::TCameraPose> turn = app::FlightPath({{1, 2, 3}, {1, 2, 3}}, 4);
  ASSERT_EQ(turn.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(turn[i].X, 1);
    EXPECT_EQ(turn[i].Z, 3);
    EXPECT_EQ(turn[i].Yaw, 90.0f * i);
  }
  const std::vector<app::TCameraPose> fixed = app::FlightPath({}, 3);
  ASSERT_EQ(fixed.size(), 3u);
  EXPECT_EQ(fixed[2].X, 200);
  EXPECT_EQ(fixed[2].Y, 500);
  EXPECT_EQ(fixed[2].Z, 700);
  EXPECT_EQ(fixed[2].Yaw, 0);
  EXPECT_EQ(fixed[2].Pitch, 180);
  EXPECT_TRUE(app::FlightPath({{0, 0, 0}}, 0).empty());
}

TEST(LeafWaypoints, CentresOfClusteredLeavesSpreadEvenly) {
  TQuake3BSP level;
  for (int i = 0; i < 10; ++i) {
    TBSPLeaf leaf{};
    leaf.Cluster = i % 2 ? -1 : i;  // leaves 0, 2, 4, 6, 8 are inside the level
    leaf.Mins[0] = i * 10;
    leaf.Maxs[0] = i * 10 + 4;
    leaf.Mins[2] = -8;
    leaf.Maxs[2] = 8;
    level.Leaves.push_back(leaf);
  }
  level.LeafCount = 10;
  std::vector<TVector> points = app::LeafWaypoints(level, 2);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].X, 2);   // leaf 0
  EXPECT_EQ(points[1].X, 42);  // leaf 4: the third of five
  EXPECT_EQ(points[1].Z, 0);
  EXPECT_EQ(app::LeafWaypoints(level, 50).size(), 5u);
}

TEST(Entities, SpawnPointsInFileOrderFromAToleratedText) {
  const std::string text =
      "{\n\"classname\" \"worldspawn\"\n\"message\" \"braces { } in text\"\n}\n"
      "{\n\"origin\" \"-64 128 40\"\n\"classname\" \"info_player_deathmatch\"\n\"angle\" \"90\"\n}\n"
      "{\"classname\" \"info_player_deathmatch\" \"origin\" \"1 2\"}\n"  // two numbers: skipped
      "{\"classname\" \"weapon_rocketlauncher\" \"origin\" \"5 5 5\"}\n"
      "{\"classname\" \"team_CTF_redspawn\" \"origin\" \"1e2 0 -3.5\"}\n"
      "{\"classname\" \"info_player_start\" \"origin\" \"7 8 9";  // cut short
  const std::vector<TEntity> entities = ParseEntities(text);
  ASSERT_GE(entities.size(), 5u);
  EXPECT_EQ(entities[0][0], (std::pair<std::string, std::string>{"classname", "worldspawn"}));
  const std::vector<TSpawnPoint> spawns = FindSpawnPoints(entities);
  ASSERT_EQ(spawns.size(), 2u);
  EXPECT_EQ(spawns[0].ClassName, "info_player_deathmatch");
  EXPECT_EQ(spawns[0].Origin.X, -64);
  EXPECT_EQ(spawns[0].Origin.Y, 128);
  EXPECT_EQ(spawns[0].Origin.Z, 40);
  EXPECT_EQ(spawns[0].Angle, 90);
  EXPECT_EQ(spawns[1].ClassName, "team_CTF_redspawn");
  EXPECT_EQ(spawns[1].Origin.X, 100);
  EXPECT_EQ(spawns[1].Origin.Z, -3.5f);

  for (const char* junk : {"", "{", "}", "{\"", "\"a\" \"b\"", "{\"a\"}", "{{{{\"x\" \"y\"}"})
    EXPECT_NO_THROW(ParseEntities(junk)) << junk;
}

TEST(Json, TextsAndNumbersAreAlwaysValid) {
  EXPECT_EQ(app::JsonLine(app::JsonText("a\"b\\c\n\x01\xe9")), "\"a\\\"b\\\\c\\n\\u0001\\u00e9\"\n");
  const std::pair<double, std::string> numbers[] = {
      {1.5, "1.5"},  {0.12345, "0.123"}, {-0.0001, "0.0"}, {NAN, "null"},
      {-INFINITY, "null"}, {1e300, "1e+300"}};
  for (const auto& [value, text] : numbers) EXPECT_EQ(app::JsonRounded(value).dump(), text) << value;
  EXPECT_EQ(app::JsonFloat(0.1f).dump(), "0.1");
  EXPECT_EQ(app::JsonFloat(NAN).dump(), "null");
}

}  // namespace
