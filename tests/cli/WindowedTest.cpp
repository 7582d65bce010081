// The viewer in a window under a private X server: the size asked for, centred, the display mode
// untouched, the load summary of --verbose on standard error, and Esc still ends it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "ProgramSupport.h"
#include "XvfbServer.h"
#include "support/BspWriter.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kSoftwareDriver = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so";

// The id of the top-level window with this title, as xwininfo lists it; empty if none.
std::string WindowId(const std::string& display, const std::string& title) {
  const std::string tree = clitest::Shell(display, "xwininfo -root -tree");
  const std::size_t at = tree.find("\"" + title + "\": (");
  if (at == std::string::npos) return {};
  const std::size_t lineStart = tree.rfind('\n', at) + 1;
  const std::size_t idStart = tree.find_first_not_of(' ', lineStart);
  return tree.substr(idStart, tree.find(' ', idStart) - idStart);
}

std::string ScreenSize(const std::string& display) {
  std::smatch match;
  const std::string info = clitest::Shell(display, "xdpyinfo");
  return std::regex_search(info, match, std::regex("dimensions: +([0-9]+x[0-9]+)")) ? match[1].str()
                                                                                   : "";
}

TEST(Windowed, SizeAskedForAndTheDisplayModeLeftAlone) {
  apptest::TXvfbServer server(800, 600);
  testsupport::TTempDir folder;
  fs::create_directory(folder / "lgmp");
  fs::copy_file(fs::path(BSPWALK_SOURCE_DIR) / "font.tga", folder / "font.tga");
  testsupport::TBspWriter::SmallLevel().WriteTo(folder / "maps/testmap.BSP");
  ASSERT_EQ(ScreenSize(server.Display()), "800x600");

  // Mesa unloads its X11 software driver (swrast_dri and the libraries it pulls in) when the
  // display closes; in a sanitizer build the driver's own allocations could then be neither named
  // nor suppressed. Loaded from the start, it stays, and its leaks keep their names.
  std::vector<std::string> environment;
  if (fs::exists(kSoftwareDriver)) environment.push_back(std::string("LD_PRELOAD=") + kSoftwareDriver);
  clitest::TStartedProgram program({"--windowed", "--size", "320x240", "--verbose"}, folder.Path(),
                                   server.Display(), environment);
  std::string window;
  for (auto end = std::chrono::steady_clock::now() + 30s;
       window.empty() && std::chrono::steady_clock::now() < end && program.WaitForExit(0) < 0;)
    if ((window = WindowId(server.Display(), "bspwalk")).empty()) std::this_thread::sleep_for(100ms);
  ASSERT_FALSE(window.empty()) << program.Err();
  // Shown once the message loop runs; give the first frames a moment.
  std::string geometry;
  for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(100ms)) {
    geometry = clitest::Shell(server.Display(), "xwininfo -id " + window);
    if (geometry.find("IsViewable") != std::string::npos) break;
  }
  EXPECT_NE(geometry.find("Width: 320"), std::string::npos) << geometry;
  EXPECT_NE(geometry.find("Height: 240"), std::string::npos) << geometry;
  EXPECT_NE(geometry.find("Absolute upper-left X:  240"), std::string::npos) << geometry;
  EXPECT_NE(geometry.find("Absolute upper-left Y:  180"), std::string::npos) << geometry;
  EXPECT_EQ(ScreenSize(server.Display()), "800x600");

  // Esc as a person presses it, to the window that has the keyboard; the window takes the focus
  // when it is shown, which under load may come a little after it is viewable, so press again
  // until it ends.
  for (int attempt = 0; attempt < 20 && program.WaitForExit(0) < 0; ++attempt) {
    clitest::Shell(server.Display(), "xdotool keydown Escape sleep 0.1 keyup Escape");
    program.WaitForExit(1000);
  }
  ASSERT_EQ(program.WaitForExit(0), 0) << program.Err();
  EXPECT_EQ(ScreenSize(server.Display()), "800x600");
  const std::string err = program.Err();
  EXPECT_NE(err.find("bspwalk: 1 textures: 0 images found, 1 missing"), std::string::npos) << err;
  EXPECT_NE(err.find("bspwalk: 1 lightmaps"), std::string::npos) << err;
  EXPECT_NE(err.find("bspwalk: level loaded in "), std::string::npos) << err;
}

}  // namespace
