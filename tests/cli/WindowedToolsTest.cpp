// The viewer in a window as a desktop program: kept inside a desktop smaller than --size,
// resizable, and its first frame shows --camera's view wherever the pointer was (F12 saves it,
// and it matches the headless --screenshot of the same pose).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "support/BspWriter.h"
#include "support/Picture.h"
#include "support/Program.h"
#include "support/TestSupport.h"
#include "support/XServer.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::Shell;

namespace {

int Number(const std::string& text, const std::string& label) {
  std::smatch match;
  return std::regex_search(text, match, std::regex(label + " *(-?[0-9]+)")) ? std::stoi(match[1]) : -99999;
}

TEST(WindowedTools, InsideTheDesktopResizableAndTheFirstFrameTurnsNothing) {
  testsupport::TXvfbServer server(640, 480);
  const std::string& display = server.Display();
  testsupport::TTempDir folder;
  fs::create_directory(folder / "lgmp");
  fs::copy_file(fs::path(BSPWALK_SOURCE_DIR) / "font.tga", folder / "font.tga");
  testsupport::TBspWriter::SmallLevel().WriteTo(folder / "maps/testmap.BSP");
  const std::vector<std::string> pose{"--camera=32,-20,-40,0,230", "--no-hud"};

  // The pointer far from the mouse-look home point, as a person's pointer would be.
  Shell(display, "xdotool mousemove 600 440");
  testsupport::DeclareDecorationHints(display);
  std::vector<std::string> args{"--windowed", "--size", "900x700"};
  args.insert(args.end(), pose.begin(), pose.end());
  testsupport::TStartedProgram program(BSPWALK_PROGRAM, args, folder.Path(), display);
  std::string window, geometry;
  ASSERT_TRUE(testsupport::WaitUntil(
      [&] {
        if (window.empty()) window = testsupport::WindowId(display, "bspwalk");
        if (!window.empty()) geometry = Shell(display, "xwininfo -id " + window);
        return geometry.find("IsViewable") != std::string::npos || !program.Running();
      },
      120s))
      << program.Err();
  const int width = Number(geometry, "Width:"), height = Number(geometry, "Height:");
  EXPECT_LE(width, 640) << geometry;
  EXPECT_LE(height, 480) << geometry;
  EXPECT_GE(Number(geometry, "Absolute upper-left X:"), 0) << geometry;
  EXPECT_GE(Number(geometry, "Absolute upper-left Y:"), 0) << geometry;
  const std::string hints = Shell(display, "xprop -id " + window + " WM_NORMAL_HINTS");
  EXPECT_EQ(hints.find("program specified maximum size"), std::string::npos) << hints;

  // F12 until the picture is there (the window takes the focus a little after it shows).
  const std::string saved = folder / "bspwalk-testmap-1.png";
  EXPECT_TRUE(testsupport::WaitUntil(
      [&] {
        Shell(display, "xdotool key F12");
        return fs::exists(saved) || !program.Running();
      },
      120s, 1000ms));
  EXPECT_TRUE(testsupport::WaitUntil(
      [&] {
        Shell(display, "xdotool key Escape");
        return program.WaitForExit(1s).has_value();
      },
      120s));
  ASSERT_EQ(program.WaitForExit(0s), 0) << program.Err();

  std::vector<std::string> headless{"--screenshot", folder / "headless.png", "--size",
                                    std::to_string(width) + "x" + std::to_string(height)};
  headless.insert(headless.end(), pose.begin(), pose.end());
  const testsupport::TRun run = testsupport::RunProgram(BSPWALK_PROGRAM, headless, folder.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const testsupport::TPicture windowed = testsupport::ReadPNG(saved), expected = testsupport::ReadPNG(folder / "headless.png");
  ASSERT_EQ(windowed.Width, expected.Width);
  ASSERT_EQ(windowed.Height, expected.Height);
  std::size_t differing = 0, lit = 0;
  for (std::size_t i = 0; i < expected.Rgb.size(); ++i) {
    differing += std::abs(windowed.Rgb[i] - expected.Rgb[i]) > 8;
    lit += expected.Rgb[i] > 0;
  }
  EXPECT_GT(lit, expected.Rgb.size() / 10) << "the pose shows the level's square";
  EXPECT_LT(differing, expected.Rgb.size() / 100) << "the first frame looked where --camera says";
}

}  // namespace
