// What a new user meets first, run through the program as a person runs it: the overview of a
// real level drawn with every fidelity option, a viewer started without any display, and the
// heads-up text drawn from anywhere (the built-in font) and readable over white surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "support/BspWriter.h"
#include "support/ImageWriters.h"
#include "support/Picture.h"
#include "support/Program.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::ReadPNG;
using testsupport::TPicture;

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

// The heads-up text drawn by --screenshot in a folder without font.tga: the font built into the
// program, silently with LEVEL and after the loader's message without; the same picture as with
// font.tga there, and no text with a glyphless font.tga there (it still wins). Over the white of
// the level seen from just below, the text shows only by the shadow that runs with LEVEL always
// have. No rate from the fixed clock: two frames and ten (past the 100 ms refresh) look the same.
TEST(FirstRun, HeadsUpTextFontShadowAndRateInScreenshots) {
  testsupport::TTempDir dir;
  fs::create_directory(dir / "lgmp");
  testsupport::TBspWriter::SmallLevel().WriteTo(dir / "small.bsp");
  testsupport::TBspWriter::SmallLevel().WriteTo(dir / "maps/testmap.BSP");
  const std::string away = "--camera=32,32,-40,0,0", below = "--camera=32,32,-12,0,180";
  const struct {
    std::vector<std::string> Level;
    std::string ErrWithoutFont;
    bool Shadow;
  } cases[] = {{{"small.bsp"}, "", true}, {{}, "bspwalk: TGA Texture: File not found  - font.tga\n", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Shadow);
    std::string err;
    const auto shot = [&](std::vector<std::string> args) {  // 640 pixels: room for the rate
      args.insert(args.end(), c.Level.begin(), c.Level.end());
      if (std::find(args.begin(), args.end(), "--size") == args.end()) args.push_back("--size=640x160");
      args.insert(args.end(), {"--screenshot", dir / "shot.png"});
      const testsupport::TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, args, dir.Path());
      EXPECT_EQ(run.ExitCode, 0) << run.Err;
      err = run.Err;
      return ReadPNG(dir / "shot.png");
    };
    fs::remove(dir / "font.tga");
    const TPicture builtIn = shot({away});
    EXPECT_EQ(err, c.ErrWithoutFont);
    fs::copy_file(fs::path(BSPWALK_SOURCE_DIR) / "font.tga", dir / "font.tga");
    const TPicture file = shot({away});
    EXPECT_GT(CountOf(file, {255, 255, 255}), 500);
    EXPECT_TRUE(builtIn.Rgb == file.Rgb && shot({away, "--frames", "10"}).Rgb == file.Rgb);
    const TPicture white = shot({below, "--size", "256x160"});
    const int black = CountOf(white, {0, 0, 0});
    EXPECT_EQ(black + CountOf(white, {255, 255, 255}), 256 * 160);
    EXPECT_EQ(black > 500, c.Shadow) << black;
    testsupport::WriteFile(dir / "font.tga", testsupport::MakeTGA(16, 16, testsupport::TBytes(1024, 0), {.Depth = 32}));
    EXPECT_EQ(CountOf(shot({away}), {0, 0, 0}), 640 * 160);
  }
}

}  // namespace
