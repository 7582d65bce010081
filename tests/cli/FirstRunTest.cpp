// What a new user meets first, run through the program as a person runs it: the overview of a
// real level drawn with every fidelity option, a viewer started without any display, and the
// heads-up text drawn from anywhere (the built-in font) and readable over white surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "Picture.h"
#include "support/BspWriter.h"
#include "support/ImageWriters.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using clitest::ReadPNG;
using clitest::TPicture;

namespace {

using TColour = std::array<int, 3>;

int CountOf(const TPicture& picture, const TColour& colour) {
  int count = 0;
  for (int y = 0; y < picture.Height; ++y)
    for (int x = 0; x < picture.Width; ++x) count += picture.At(x, y) == colour;
  return count;
}

// The surface shading of the sky left the projection matrix unselected, so that the marks and
// the bar were placed in the level's units far outside the picture.
TEST(FirstRun, FullOverviewOfLevelsWithASkyHasSpawnMarksAndTheScaleBar) {
  const std::string pak0 = testsupport::OpenArenaArchive("pak0.pk3");
  if (pak0.empty()) GTEST_SKIP() << "OpenArena's data is not installed";
  const std::string data = fs::path(pak0).parent_path();
  testsupport::TTempDir dir;
  for (const char* level : {"pul1duel-oa", "oacmpdm6"}) {
    SCOPED_TRACE(level);
    const std::string picture = dir / (std::string(level) + ".png");
    const testsupport::TRun run = testsupport::RunProgram(
        BSPWALK_PROGRAM, {level, "--data", data, "--full", "--overview", picture, "--size", "320x240"},
        dir.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const TPicture p = ReadPNG(picture);
    ASSERT_EQ(p.Width, 320);
    EXPECT_GT(CountOf(p, {64, 255, 64}), 10) << "the marks of the deathmatch spawn points";
    // The scale bar: white from x 12, 6 pixels above the bottom margin of 12.
    EXPECT_EQ(p.At(14, 240 - 15), (TColour{255, 255, 255}));
  }
}

// SDL falls back to a driver that draws nowhere when there is no display: the viewer must not run
// unseen until it is killed.
TEST(FirstRun, WithoutADisplayTheViewerSaysSoAndEndsWith1) {
  testsupport::TTempDir dir;
  testsupport::TBspWriter::SmallLevel().WriteTo(dir / "small.bsp");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--windowed"}, {"small.bsp", "--windowed"}, {"small.bsp"}}) {
    SCOPED_TRACE(args.front());
    testsupport::TStartedProgram viewer(BSPWALK_PROGRAM, args, dir.Path(), "",
                                        {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR=" + dir.Path()});
    EXPECT_EQ(viewer.WaitForExit(std::chrono::seconds(60)), 1);
    EXPECT_TRUE(viewer.Err().ends_with("bspwalk: Could not open the display: no display is available.\n"))
        << viewer.Err();
  }
}

// A screenshot drawn by the program in `folder` (640 x 160 unless --size is given, wide enough for
// the rate line); its picture and standard error.
struct TShot {
  TPicture Picture;
  std::string Err;
};
TShot Screenshot(const std::string& folder, std::vector<std::string> args) {
  const std::string picture = folder + "/shot.png";
  if (std::find(args.begin(), args.end(), "--size") == args.end()) args.insert(args.end(), {"--size", "640x160"});
  args.insert(args.end(), {"--screenshot", picture});
  const testsupport::TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, args, folder);
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  return {ReadPNG(picture), run.Err};
}

// Run from a folder without font.tga, the built program draws the heads-up text with the font
// compiled into it: silently with LEVEL, after the loader's message without. A font.tga in the
// folder still wins.
TEST(FirstRun, HeadsUpTextHasTheProgramsOwnFontInAnyFolder) {
  testsupport::TTempDir dir;
  fs::create_directory(dir / "lgmp");
  testsupport::TBspWriter::SmallLevel().WriteTo(dir / "small.bsp");
  testsupport::TBspWriter::SmallLevel().WriteTo(dir / "maps/testmap.BSP");
  const std::string away = "--camera=32,32,-40,0,0";  // nothing of the level in view: black
  const std::string missing = "TGA Texture: File not found  - font.tga\n";
  const struct {
    std::vector<std::string> Args;
    std::string ErrWithout;  // standard error without font.tga
  } cases[] = {{{"small.bsp", away}, ""}, {{away}, missing}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args.size());
    fs::remove(dir / "font.tga");
    const TShot without = Screenshot(dir.Path(), c.Args);
    EXPECT_EQ(without.Err, c.ErrWithout);
    fs::copy_file(fs::path(BSPWALK_SOURCE_DIR) / "font.tga", dir / "font.tga");
    const TShot with = Screenshot(dir.Path(), c.Args);
    EXPECT_EQ(with.Err, "");
    EXPECT_TRUE(without.Picture.Rgb == with.Picture.Rgb) << "the same glyphs as font.tga's";
    EXPECT_GT(CountOf(with.Picture, {255, 255, 255}), 500);
    // A font.tga without any glyph in the folder: no text at all.
    testsupport::WriteFile(dir / "font.tga", testsupport::MakeTGA(16, 16, testsupport::TBytes(16 * 16 * 4, 0), {.Depth = 32}));
    EXPECT_EQ(CountOf(Screenshot(dir.Path(), c.Args).Picture, {0, 0, 0}), 640 * 160);
  }
}

// From just below the square the level is white all over: the heads-up text is readable there
// only by its shadow, which runs with LEVEL always have. Screenshots show no frame rate worked out
// from their fixed clock: with the text on black, two frames and ten (past the rate's 100 ms
// refresh) look the same.
TEST(FirstRun, HeadsUpTextWithLevelHasItsShadowAndScreenshotsNoMadeUpRate) {
  testsupport::TTempDir dir;
  fs::create_directory(dir / "lgmp");
  testsupport::TBspWriter::SmallLevel().WriteTo(dir / "small.bsp");
  testsupport::TBspWriter::SmallLevel().WriteTo(dir / "maps/testmap.BSP");
  const std::string below = "--camera=32,32,-12,0,180";  // the text hides behind nearer than 10
  const std::string away = "--camera=32,32,-40,0,0";
  const struct {
    std::vector<std::string> Level;
    bool Shadow;
  } cases[] = {{{"small.bsp"}, true}, {{}, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Shadow);
    const auto shot = [&](const std::vector<std::string>& args) {
      std::vector<std::string> all = c.Level;
      all.insert(all.end(), args.begin(), args.end());
      return Screenshot(dir.Path(), all).Picture;
    };
    const TPicture p = shot({below, "--size", "256x160"});
    const int white = CountOf(p, {255, 255, 255}), black = CountOf(p, {0, 0, 0});
    EXPECT_EQ(white + black, p.Width * p.Height);
    EXPECT_EQ(black > 500, c.Shadow) << black;
    EXPECT_TRUE(shot({away}).Rgb == shot({away, "--frames", "10"}).Rgb);
  }
}

}  // namespace
