// Parsing of the command line: what a person types, what the program makes of it.
#include "app/cli/CommandLine.h"
#include "app/cli/Help.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TParsed {
  app::TParseResult Result;
  std::string Out, Err;
};

TParsed Parse(std::initializer_list<const char*> args) {
  std::vector<const char*> argv{"bspwalk"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::ostringstream out, err;
  TParsed parsed{app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err), "", ""};
  parsed.Out = out.str();
  parsed.Err = err.str();
  return parsed;
}

TEST(CommandLine, NoArgumentsIsTheViewerWithTheFixedLevel) {
  const TParsed p = Parse({});
  ASSERT_TRUE(p.Result.Options);
  const app::TCommandLine& o = *p.Result.Options;
  EXPECT_EQ(o.Mode, app::TRunMode::Viewer);
  EXPECT_EQ(o.LevelPath, "maps\\testmap.BSP");
  EXPECT_FALSE(o.LevelGiven);
  EXPECT_FALSE(o.Windowed);
  EXPECT_FALSE(o.Size);
  EXPECT_FALSE(o.Camera);
  EXPECT_TRUE(o.BaseDir.empty());
  EXPECT_TRUE(p.Out.empty());
  EXPECT_TRUE(p.Err.empty());
}

TEST(CommandLine, NegativeCameraValuesInBothSpellings) {
  for (const auto& args : {std::vector<const char*>{"--camera=-64,128,40,90,270"},
                           std::vector<const char*>{"--camera", "-64,128,40,90,270"}}) {
    std::vector<const char*> argv{"bspwalk"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::ostringstream out, err;
    const app::TParseResult r = app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    ASSERT_TRUE(r.Options) << err.str();
    ASSERT_TRUE(r.Options->Camera);
    EXPECT_EQ(r.Options->Camera->X, -64.0f);
    EXPECT_EQ(r.Options->Camera->Y, 128.0f);
    EXPECT_EQ(r.Options->Camera->Z, 40.0f);
    EXPECT_EQ(r.Options->Camera->Yaw, 90.0f);
    EXPECT_EQ(r.Options->Camera->Pitch, 270.0f);
  }
}

TEST(CommandLine, AtPositionsAreRepeatableThirtyTwoBitFloats) {
  const TParsed p = Parse({"--at", "1e3,-2.5E-1,+7", "--at=-nan,inf,-INF", "--at", "0.1,16777217,1e-45", "--at=-1e-46,5e-324,1e-38",
                           "level.bsp", "--json"});
  ASSERT_TRUE(p.Result.Options) << p.Err;
  const app::TCommandLine& o = *p.Result.Options;
  EXPECT_EQ(o.Mode, app::TRunMode::At);
  EXPECT_TRUE(o.Json);
  EXPECT_EQ(o.LevelPath, "level.bsp");
  ASSERT_EQ(o.AtPositions.size(), 4u);
  EXPECT_EQ(o.AtPositions[0].X, 1000.0f);
  EXPECT_EQ(o.AtPositions[0].Y, -0.25f);
  EXPECT_EQ(o.AtPositions[0].Z, 7.0f);
  EXPECT_TRUE(std::isnan(o.AtPositions[1].X));
  EXPECT_EQ(o.AtPositions[1].Y, INFINITY);
  EXPECT_EQ(o.AtPositions[1].Z, -INFINITY);
  // Rounded once, straight to the nearest 32-bit float.
  EXPECT_EQ(o.AtPositions[2].X, 0.1f);
  EXPECT_EQ(o.AtPositions[2].Y, 16777216.0f);
  EXPECT_EQ(o.AtPositions[2].Z, 1e-45f);
  // Below the smallest subnormal: zero, with its sign.
  EXPECT_EQ(o.AtPositions[3].X, 0.0f);
  EXPECT_TRUE(std::signbit(o.AtPositions[3].X));
  EXPECT_EQ(o.AtPositions[3].Y, 0.0f);
  EXPECT_EQ(o.AtPositions[3].Z, 1e-38f);
}

TEST(CommandLine, ModeDefaultsAndSizes) {
  TParsed p = Parse({"--screenshot", "shot.png"});
  ASSERT_TRUE(p.Result.Options);
  EXPECT_EQ(p.Result.Options->Mode, app::TRunMode::Screenshot);
  EXPECT_EQ(p.Result.Options->Frames, 2);
  EXPECT_EQ(p.Result.Options->ScreenshotPath, "shot.png");

  p = Parse({"--benchmark", "--frames", "50", "--size", "640x480", "--base", "/data", "--verbose"});
  ASSERT_TRUE(p.Result.Options) << p.Err;
  const app::TCommandLine& o = *p.Result.Options;
  EXPECT_EQ(o.Mode, app::TRunMode::Benchmark);
  EXPECT_EQ(o.Frames, 50);
  ASSERT_TRUE(o.Size);
  EXPECT_EQ(o.Size->Width, 640);
  EXPECT_EQ(o.Size->Height, 480);
  EXPECT_TRUE(o.Windowed);
  EXPECT_EQ(o.BaseDir, "/data");
  EXPECT_TRUE(o.Verbose);

  p = Parse({"--windowed"});
  ASSERT_TRUE(p.Result.Options);
  EXPECT_TRUE(p.Result.Options->Windowed);
  EXPECT_FALSE(p.Result.Options->Size);
}

// Every usage error: exit code 2, nothing on standard output, one line on standard error that
// names the offending option or value.
TEST(CommandLine, UsageErrorsAreOneLineWithExitTwo) {
  const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
      {{"--bogus"}, "--bogus"},
      {{"a.bsp", "b.bsp"}, "b.bsp"},
      {{"--camera", "1,2,3,4"}, "--camera"},
      {{"--camera=1,2,3,4,5,6"}, "--camera"},
      {{"--camera=1,2,x,4,5"}, "'x' is not a number"},
      {{"--camera=1,2,,4,5"}, "--camera"},
      {{"--camera=1,2,3,4,1e39"}, "out of range"},
      {{"--at", "1,2"}, "--at"},
      {{"--at", " 1,2,3"}, "--at"},
      {{"--at", "1,2,3x"}, "'3x' is not a number"},
      {{"--size", "800"}, "--size"},
      {{"--size", "0x600"}, "width"},
      {{"--size", "800x-6"}, "height"},
      {{"--size", "99999x600"}, "width"},
      {{"--benchmark", "--frames", "0"}, "--frames"},
      {{"--benchmark", "--frames", "ten"}, "--frames"},
      {{"--frames", "5"}, "--frames applies"},
      {{"--json"}, "--json applies"},
      {{"--screenshot", "a.png", "--json"}, "--json applies"},
      {{"--info", "--benchmark"}, "cannot be combined"},
      {{"--at", "1,2,3", "--screenshot", "a.png"}, "cannot be combined"},
      {{"--screenshot"}, "--screenshot"},
      {{"--base"}, "--base"},
      // An unknown option is named first, with the nearest option, whatever else is around it.
      {{"--screnshot", "x.png", "oa_dm4"}, ": unknown option --screnshot; did you mean --screenshot? (see"},
      {{"oa_dm4", "--Frames=3", "b.bsp"}, ": unknown option --Frames; did you mean --frames? (see"},
      {{"--bogus", "a.bsp"}, ": unknown option --bogus (see"},
  };
  for (const auto& [args, named] : cases) {
    std::vector<const char*> argv{"bspwalk"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::ostringstream out, err;
    const app::TParseResult r =
        app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    const std::string e = err.str();
    SCOPED_TRACE(args.front());
    EXPECT_FALSE(r.Options);
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_TRUE(out.str().empty());
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(e.find('\n'), e.size() - 1) << e;
    EXPECT_EQ(e.rfind("bspwalk: ", 0), 0u) << e;
    EXPECT_NE(e.find(named), std::string::npos) << e;
  }
}

TEST(CommandLine, CloseNamesByEditDistanceOrContainedText) {
  const std::vector<std::string> levels{"oa_dm1", "oa_dm4", "oa_dm5", "oacmpdm4", "pul1duel-oa"};
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"OADM4", {"oa_dm4", "oa_dm1"}},          // closest first, then ties in order; at most 2
      {"pul1duel", {"pul1duel-oa"}},            // 3 apart: the most for 8 letters
      {"pul1due", {"pul1duel-oa"}},             // 4 apart, but found inside
      {"dm4", {"oa_dm4", "oacmpdm4"}},          // inside, nearer first
      {"dm", {}},                               // too short to look inside
      {"xb_dn6", {}},                           // 4 apart
  };
  for (const auto& [typed, names] : cases) EXPECT_EQ(app::CloseNames(typed, levels, 2), names) << typed;
}

}  // namespace
