// The viewer in a window under a private X server: an ordinary window of the size asked for,
// centred, not kept above other windows, the display mode untouched, the load summary of
// --verbose on standard error, and Esc still ends it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>

#include "support/BspWriter.h"
#include "support/Program.h"
#include "support/TestSupport.h"
#include "support/XServer.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::Shell;

namespace {

std::string ScreenSize(const std::string& display) {
  std::smatch match;
  const std::string info = Shell(display, "xdpyinfo");
  return std::regex_search(info, match, std::regex("dimensions: +([0-9]+x[0-9]+)")) ? match[1].str()
                                                                                   : "";
}

TEST(Windowed, SizeAskedForAndTheDisplayModeLeftAlone) {
  testsupport::TXvfbServer server(800, 600);
  const std::string& display = server.Display();
  testsupport::TTempDir folder;
  fs::create_directory(folder / "lgmp");
  fs::copy_file(fs::path(BSPWALK_SOURCE_DIR) / "font.tga", folder / "font.tga");
  testsupport::TBspWriter::SmallLevel().WriteTo(folder / "maps/testmap.BSP");
  ASSERT_EQ(ScreenSize(display), "800x600");

  testsupport::DeclareDecorationHints(display);
  testsupport::TStartedProgram program(BSPWALK_PROGRAM,
                                       {"--windowed", "--size", "320x240", "--verbose"},
                                       folder.Path(), display);
  std::string window;
  testsupport::WaitUntil(
      [&] { return !(window = testsupport::WindowId(display, "bspwalk")).empty() || !program.Running(); },
      120s);
  ASSERT_FALSE(window.empty()) << program.Err();
  // Shown once the message loop runs.
  std::string geometry;
  EXPECT_TRUE(testsupport::WaitUntil(
      [&] {
        geometry = Shell(display, "xwininfo -id " + window);
        return geometry.find("IsViewable") != std::string::npos || !program.Running();
      },
      120s))
      << geometry;
  EXPECT_NE(geometry.find("IsViewable"), std::string::npos) << geometry << program.Err();
  EXPECT_NE(geometry.find("Width: 320"), std::string::npos) << geometry;
  EXPECT_NE(geometry.find("Height: 240"), std::string::npos) << geometry;
  EXPECT_NE(geometry.find("Absolute upper-left X:  240"), std::string::npos) << geometry;
  EXPECT_NE(geometry.find("Absolute upper-left Y:  180"), std::string::npos) << geometry;
  EXPECT_EQ(ScreenSize(display), "800x600");
  // An ordinary window: framed by the window manager, stacked like any other.
  const testsupport::TWindowManagerHints hints = testsupport::ReadWindowManagerHints(display, window);
  EXPECT_NE(hints.Properties.find("_MOTIF_WM_HINTS"), std::string::npos) << hints.Properties;
  EXPECT_TRUE(hints.Decorated) << hints.Properties;
  EXPECT_FALSE(hints.Above) << hints.Properties;

  // Esc as a person presses it, to the window that has the keyboard; the window takes the focus
  // when it is shown, which under load may come a little after it is viewable, so press again
  // until it ends.
  EXPECT_TRUE(testsupport::WaitUntil(
      [&] {
        Shell(display, "xdotool keydown Escape sleep 0.1 keyup Escape");
        return program.WaitForExit(1s).has_value();
      },
      120s));
  ASSERT_EQ(program.WaitForExit(0s), 0) << program.Err();
  EXPECT_EQ(ScreenSize(display), "800x600");
  const std::string err = program.Err();
  EXPECT_NE(err.find("bspwalk: 1 textures: 0 images found, 1 missing"), std::string::npos) << err;
  EXPECT_NE(err.find("bspwalk: 1 lightmaps"), std::string::npos) << err;
  EXPECT_NE(err.find("bspwalk: level loaded in "), std::string::npos) << err;
}

}  // namespace
