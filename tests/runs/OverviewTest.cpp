// --overview in process: a synthetic level whose picture is worked out by hand, the refusals that
// must never leave a blank picture behind, and a real OpenArena map with its spawn points.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/runs/Overview.h"
#include "app/viewer/frmMain.h"
#include "app/viewer/ViewModes.h"
#include "level/LevelFile.h"
#include "level/SpawnPoints.h"
#include "support/BspWriter.h"
#include "support/Picture.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

using TColour = std::array<int, 3>;
using testsupport::ReadPNG;
using testsupport::TPicture;

TColour Colour(std::array<std::uint8_t, 3> c) { return {c[0], c[1], c[2]}; }
const TColour Background{24, 24, 32};

class Overview : public ::testing::Test {
 protected:
  Overview() { fs::create_directory(Dir / "lgmp"); }

  int Run(const std::string& level, const std::string& picture, int width, int height) {
    app::TRunOptions options;
    options.Mode = app::TRunMode::Overview;
    options.LevelPath = level;
    options.OverviewPath = picture;
    options.Size = app::TWindowSize{width, height};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int code = app::RunOverview(options);
    Out = testing::internal::GetCapturedStdout();
    Err = testing::internal::GetCapturedStderr();
    return code;
  }

  testsupport::TTempDir Dir;
  testsupport::TScopedWorkingDir InDir{Dir.Path()};
  testsupport::TMessageCapture Messages;
  std::string Out, Err;
};

// The small level's square (0..64 in X and Y), turned to face up as a level's floors do.
testsupport::TBspWriter Floor() {
  testsupport::TBspWriter writer = testsupport::TBspWriter::SmallLevel();
  writer.MeshVertices = {0, 2, 1, 0, 3, 2};
  return writer;
}

TEST_F(Overview, FitsTheLevelAndMarksTheSpawnPoints) {
  testsupport::TBspWriter writer = Floor();
  writer.Entities = "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"16 48 24\"\n}\n"
                    "{\n\"classname\" \"team_CTF_bluespawn\"\n\"origin\" \"48 16 24\"\n}\n";
  writer.WriteTo(Dir / "floor.bsp");
  ASSERT_EQ(Run(Dir / "floor.bsp", Dir / "floor.png", 100, 100), 0) << Err;
  EXPECT_EQ(Out, Dir / "floor.png" + ": 100 x 100, 0.711111 units per pixel, scale bar 10 units, 2 spawn points\n");
  const TPicture p = ReadPNG(Dir / "floor.png");
  ASSERT_EQ(p.Width, 100);
  ASSERT_EQ(p.Height, 100);
  // 64 units over 90 of the 100 pixels, centred: the square covers 5..95 on both axes.
  EXPECT_EQ(p.At(2, 50), Background);
  EXPECT_EQ(p.At(97, 50), Background);
  EXPECT_NE(p.At(50, 50), Background);
  EXPECT_NE(p.At(7, 50), Background);
  // (16, 48) is 22.5 pixels left of and above the centre; (48, 16) as far right and below.
  EXPECT_EQ(p.At(27, 27), Colour(app::SpawnMarkColour("info_player_deathmatch")));
  EXPECT_EQ(p.At(72, 72), Colour(app::SpawnMarkColour("team_CTF_bluespawn")));
  // The scale bar: white from x 12, 6 pixels above the bottom margin of 12.
  EXPECT_EQ(p.At(14, 100 - 15), (TColour{255, 255, 255}));
}

TEST_F(Overview, RefusesLevelsThatWouldGiveABlankPicture) {
  struct TCase {
    std::string Name;
    std::function<void(testsupport::TBspWriter&)> Change;
    std::string Reason;
  };
  const TCase cases[] = {
      {"none", [](testsupport::TBspWriter& w) { w.Faces.clear(); w.LeafFaces.clear(); w.Leaves[0].NumLeafFaces = 0; },
       "the level has no polygon faces to draw"},
      {"point", [](testsupport::TBspWriter& w) { for (auto& v : w.Vertices) v.Position = {5, 5, 0}; },
       "the level's bounds have no extent seen from above"},
      {"edge-on", [](testsupport::TBspWriter& w) {
         for (auto& v : w.Vertices) v.Position = {v.Position.X, 0, v.Position.Y};
       }, "no face of the level shows in the picture"},
      {"far", [](testsupport::TBspWriter& w) {
         for (auto& v : w.Vertices) v.Position = {v.Position.X * 5e36f, v.Position.Y * 5e36f, 0};
       }, "the level's bounds are too large to draw"},
  };
  for (const TCase& c : cases) {
    testsupport::TBspWriter writer = Floor();
    c.Change(writer);
    const std::string level = Dir / (c.Name + ".bsp"), picture = Dir / (c.Name + ".png");
    writer.WriteTo(level);
    EXPECT_EQ(Run(level, picture, 64, 48), 1) << c.Name;
    EXPECT_EQ(Err, "bspwalk: --overview " + level + ": " + c.Reason + "\n");
    EXPECT_EQ(Out, "");
    EXPECT_FALSE(fs::exists(picture)) << c.Name;
  }
}

TEST_F(Overview, RealMapShowsItsSpawnPointsWhereTheEntitiesPutThem) {
  const std::string maps = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/oa_dm4.bsp"});
  const std::string level = maps + "/maps/oa_dm4.bsp";
  ASSERT_EQ(Run(level, Dir / "dm4.png", 320, 240), 0) << Err;
  const TPicture p = ReadPNG(Dir / "dm4.png");
  ASSERT_EQ(p.Width, 320);
  ASSERT_EQ(p.Height, 240);
  const std::vector<TSpawnPoint> spawns = LevelSpawnPoints(TLevelFile(level));
  ASSERT_EQ(spawns.size(), 7u);
  const app::TOverviewFrame frame = app::FitOverview(Level, spawns, 320, 240);
  for (const TSpawnPoint& spawn : spawns) {
    const int x = static_cast<int>(frame.PixelX(spawn.Origin.X));
    const int y = 240 - 1 - static_cast<int>(frame.PixelY(spawn.Origin.Y));
    EXPECT_EQ(p.At(x, y), Colour(app::SpawnMarkColour(spawn.ClassName))) << x << "," << y;
  }
}

}  // namespace
