// --drop, --trace and --walk-path through the program: their lines and JSON, a start inside solid,
// usage errors, and a walk on oa_dm4 through a doorway and up its stairs.
#include <gtest/gtest.h>

#include "BrushLevel.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace {

using physicstest::TBrushLevel;
using testsupport::RunProgram;
using testsupport::TRun;

class WalkRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    TBrushLevel level;
    level.World.push_back(TBrushLevel::Box({-1024, -1024, -64}, {1024, 1024, 0}));
    level.World.push_back(TBrushLevel::Box({256, -1024, 0}, {320, 1024, 256}, level.AddTexture("textures/test/wall", 1)));
    testsupport::WriteFile(Dir / "walk.bsp", level.Bytes());
  }
  TRun Run(std::vector<std::string> args) {
    args.push_back(Dir / "walk.bsp");
    return RunProgram(BSPWALK_PROGRAM, args, Dir.Path());
  }
  testsupport::TTempDir Dir;
};

TEST_F(WalkRuns, DropTellsTheRestingEyeTheFallAndTheGround) {
  TRun run = Run({"--drop", "10,20,300"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "start 10 20 300\neye 10 20 50.127\nfell 249.873\nground textures/test/floor (solid)\n");
  run = Run({"--drop", "10,20,300", "--json"});
  EXPECT_EQ(run.Out, "{\"Start\":[10.0,20.0,300.0],\"Eye\":[10.0,20.0,50.127],\"Fell\":249.873,"
                     "\"Ground\":\"textures/test/floor\",\"Contents\":\"solid\"}\n");
  run = Run({"--drop", "10,20,10"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err, "bspwalk: the start 10 20 10 is inside solid: the player's box there overlaps a brush "
                     "(solid)\n");
}

TEST_F(WalkRuns, TraceTellsWhereTheBoxStoppedAndWhatItHit) {
  TRun run = Run({"--trace", "0,0,100:512,0,100"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "fraction 0.47\nstopped 240.875 0 100\nplane -1 0 0 distance -256\n"
                     "surface textures/test/wall (solid)\n");
  run = Run({"--trace", "0,0,100:100,0,100", "--json"});
  EXPECT_EQ(run.Out, "{\"Start\":[0.0,0.0,100.0],\"End\":[100.0,0.0,100.0],\"Fraction\":1.0,"
                     "\"Stopped\":[100.0,0.0,100.0],\"Plane\":null,\"Surface\":null,\"Contents\":null}\n");
}

TEST_F(WalkRuns, UsageErrorsNameTheOption) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--drop", "1,2"}, "bspwalk: --drop: '1,2' has 2 values, expected 3 separated by commas (see bspwalk --help)\n"},
      {{"--drop", "1,2,nan"}, "bspwalk: --drop: '1,2,nan' holds a number that is not finite (see bspwalk --help)\n"},
      {{"--trace", "1,2,3"}, "bspwalk: --trace: '1,2,3' is not two eye positions X1,Y1,Z1:X2,Y2,Z2 (see bspwalk --help)\n"},
      {{"--drop", "1,2,3", "--info"},
       "bspwalk: --drop, --trace and --walk-path cannot be combined with each other or with --info, --at, "
       "--screenshot, --benchmark, --list or --entities (see bspwalk --help)\n"},
      {{"--walk", "--info"}, "bspwalk: --walk applies to the viewer only (see bspwalk --help)\n"}};
  for (const auto& [args, message] : cases) {
    const TRun run = Run(args);
    EXPECT_EQ(run.ExitCode, 2) << args[0];
    EXPECT_EQ(run.Err, message);
  }
}

TEST_F(WalkRuns, AWalkPathFileWithAWrongLineIsRefused) {
  testsupport::WriteFile(Dir / "path.txt", {'f', 'l', 'y', ' ', '2', '\n'});
  const TRun run = Run({"--walk-path", Dir / "path.txt", "--camera=0,0,60,0,270"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Err, "bspwalk: --walk-path " + Dir / "path.txt" +
                         ": line 1: 'fly 2' is not a move (forward, back, left, right SECONDS; jump; crouch; "
                         "turn DEGREES; wait SECONDS)\n");
}

// The fifth deathmatch start of oa_dm4 faces a doorway with stairs behind it, 128 units up.
TEST(WalkPathOnOaDm4, ThroughTheDoorwayAndUpTheStairs) {
  const std::string root = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/oa_dm4.bsp"});
  testsupport::TTempDir dir;
  const std::string text = "# through the doorway\nforward 0.5\n# and up the stairs\nforward 0.7\nturn -90\n";
  testsupport::WriteFile(dir / "path.txt", std::vector<std::uint8_t>(text.begin(), text.end()));
  const TRun run = RunProgram(BSPWALK_PROGRAM, {"--walk-path", dir / "path.txt", "--spawn", "6",
                                                root + "/maps/oa_dm4.bsp"}, dir.Path());
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "start: eye 776 -808 -206 heading 90\n"
                     "forward 0.5: eye 776 -669.028 -157.875\n"
                     "forward 0.7: eye 776 -446.308 -77.875\n"
                     "turn -90: eye 776 -446.308 -77.875\n");
}

}  // namespace
