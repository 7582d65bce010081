// The real program on a private X server, as a person uses it: started in a folder holding a real
// OpenArena level, watched through screenshots, driven with xdotool's keys and mouse, ended with
// Esc. And started without a level, where it shows its message and ends.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "level/LevelFile.h"
#include "support/Program.h"
#include "support/TestSupport.h"
#include "support/XServer.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::Shell;
using testsupport::WaitUntil;
using testsupport::WindowId;

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
// The level whose fixed start point (200, 500, 700) lies inside it.
constexpr const char* kLevel = "maps/kaos2.bsp";

using testsupport::Quote;

struct TScreen {
  std::vector<std::uint8_t> Rgb;  // top row first
  const std::uint8_t* At(int x, int y) const {
    return &Rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3];
  }
  bool Valid() const { return Rgb.size() == static_cast<std::size_t>(kWidth) * kHeight * 3; }
};

TScreen Capture(const std::string& display, const std::string& folder) {
  const std::string file = folder + "/screen.rgb";
  Shell(display, "import -window root -depth 8 rgb:" + Quote(file));
  TScreen screen;
  std::ifstream in(file, std::ios::binary);
  screen.Rgb.assign(std::istreambuf_iterator<char>(in), {});
  return screen;
}

// Share of pixels in the rectangle that are not black.
double LitShare(const TScreen& s, int x0, int y0, int x1, int y1) {
  long lit = 0, all = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x, ++all) {
      const std::uint8_t* p = s.At(x, y);
      if (p[0] > 16 || p[1] > 16 || p[2] > 16) ++lit;
    }
  return all ? static_cast<double>(lit) / all : 0;
}

// Share of pixels in the rectangle whose colour changed by more than a little.
double ChangedShare(const TScreen& a, const TScreen& b, int x0, int y0, int x1, int y1) {
  long changed = 0, all = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x, ++all) {
      const std::uint8_t* p = a.At(x, y);
      const std::uint8_t* q = b.At(x, y);
      if (std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 24) ++changed;
    }
  return all ? static_cast<double>(changed) / all : 0;
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(fs::path(BSPWALK_SOURCE_DIR) / "font.tga", Folder / "font.tga");
    fs::create_directory(Folder / "lgmp");
  }

  // A real level with the surface images it names, as scripts/run prepares it.
  void InstallLevel() {
    const fs::path data = testsupport::ExtractOpenArena("pak1-maps.pk3", {kLevel});
    fs::create_directory(Folder / "maps");
    fs::copy_file(data / kLevel, Folder / "maps/testmap.BSP");
    testsupport::InstallOpenArenaImages(
        TLevelFile(Folder / "maps/testmap.BSP").TextureNames(), Folder.Path());
  }

  // The program as a person starts it: no arguments, in the folder, on the private display.
  testsupport::TStartedProgram StartProgram() {
    return testsupport::TStartedProgram(BSPWALK_PROGRAM, {}, Folder.Path(), Server.Display());
  }

  testsupport::TTempDir Folder;
  testsupport::TXvfbServer Server{kWidth, kHeight};
};

// The glyph texels of the repository's font.tga: 128 x 256, 8 x 16 cells, first row on top.
struct TFont {
  std::vector<std::uint8_t> Bytes;
  bool Set(unsigned code, int x, int y) const {
    const unsigned cell = (code + 255) % 256;
    const int column = static_cast<int>(cell % 16) * 8 + x;
    const int row = static_cast<int>(cell / 16) * 16 + y;
    return Bytes[18 + (static_cast<std::size_t>(row) * 128 + column) * 4 + 3] > 153;
  }
};

// Share of the glyph texels of heads-up line `line` (from 1) that show as white on the screen.
double GlyphsShown(const TScreen& screen, const TFont& font, int line, const std::string& text) {
  long shown = 0, all = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) {
        if (!font.Set(static_cast<unsigned char>(text[i]), x, y)) continue;
        const std::uint8_t* p = screen.At(static_cast<int>(i) * 8 + x, 16 * line + y);
        ++all;
        if (p[0] > 240 && p[1] > 240 && p[2] > 240) ++shown;
      }
  return all ? static_cast<double>(shown) / all : 0;
}

// Holds a key down for a while: the frame loop reads the key table once per frame, so a press
// and release between two frames would not be seen.
void HoldKey(const std::string& display, const std::string& key, const std::string& seconds) {
  Shell(display, "xdotool keydown " + key + " sleep " + seconds + " keyup " + key);
}

TEST_F(EndToEndTest, FliesThroughARealLevelAndEndsWithEsc) {
  InstallLevel();
  TFont font{testsupport::ReadFile(std::string(BSPWALK_SOURCE_DIR) + "/font.tga")};
  ASSERT_EQ(font.Bytes.size(), 18u + 128u * 256u * 4u);
  const std::string& display = Server.Display();
  testsupport::DeclareDecorationHints(display);
  testsupport::TStartedProgram program = StartProgram();

  // Loading takes a while; the window shows once it is done.
  TScreen first;
  WaitUntil(
      [&] {
        if (!program.Running()) return true;
        first = Capture(display, Folder.Path());
        return first.Valid() && LitShare(first, 0, 0, kWidth, kHeight) > 0.5;
      },
      300s, 250ms);
  ASSERT_TRUE(program.Running()) << program.Err();
  ASSERT_TRUE(first.Valid());
  EXPECT_GT(LitShare(first, 0, 160, kWidth, kHeight), 0.5);

  // Covering the screen, the window has no frame and stays above the other windows.
  const std::string window = WindowId(display, "bspwalk");
  ASSERT_FALSE(window.empty());
  const testsupport::TWindowManagerHints hints = testsupport::ReadWindowManagerHints(display, window);
  EXPECT_NE(hints.Properties.find("_MOTIF_WM_HINTS"), std::string::npos) << hints.Properties;
  EXPECT_FALSE(hints.Decorated) << hints.Properties;
  EXPECT_TRUE(hints.Above) << hints.Properties;

  // The first frame turned the view by the cursor's offset from (160, 120): Xvfb starts the
  // cursor in the middle of the screen, (512, 384), so the view stands at pitch 259.2. 336 pixels
  // down turn it to 360: straight down onto the dark floor, where the white text stands out.
  // The next frame drawn shows it, however long the machine takes to draw one. Every frame puts
  // the cursor back at (160, 120); on a loaded machine that request of an earlier frame can reach
  // the server after the move and undo it. A view still unchanged after long enough for several
  // frames means the move was lost, and it is made again.
  TScreen down;
  WaitUntil(
      [&] {
        Shell(display, "xdotool mousemove 160 456");
        return WaitUntil(
            [&] {
              down = Capture(display, Folder.Path());
              return down.Valid() && ChangedShare(first, down, 0, 160, kWidth, kHeight) > 0.1 &&
                     GlyphsShown(down, font, 1, "  bspwalk 0.1.0 (README.md)") > 0.95;
            },
            30s, 250ms);
      },
      120s, 0ms);
  ASSERT_TRUE(down.Valid());
  EXPECT_GT(ChangedShare(first, down, 0, 160, kWidth, kHeight), 0.1);
  EXPECT_GT(GlyphsShown(down, font, 1, "  bspwalk 0.1.0 (README.md)"), 0.95);
  EXPECT_GT(GlyphsShown(down, font, 2, "  url: README.md"), 0.95);
  EXPECT_GT(GlyphsShown(down, font, 6, "  X:200.00000"), 0.95);
  EXPECT_GT(GlyphsShown(down, font, 8, "  Z:700.00000"), 0.95);
  // Not just any white: the same glyphs one line lower are not there.
  EXPECT_LT(GlyphsShown(down, font, 2, "  bspwalk 0.1.0 (README.md)"), 0.6);

  // Standing still, the picture stays as it is.
  const TScreen still = Capture(display, Folder.Path());
  EXPECT_LT(ChangedShare(down, still, 0, 160, kWidth, kHeight), 0.01);

  // W held for a moment flies down towards the floor: the picture and the Z line change. A
  // loaded machine may draw no frame while the key is down; then it is held again.
  TScreen moved;
  WaitUntil(
      [&] {
        HoldKey(display, "w", "0.8");
        return WaitUntil(
            [&] {
              moved = Capture(display, Folder.Path());
              return moved.Valid() && GlyphsShown(moved, font, 8, "  Z:700.00000") < 0.95;
            },
            5s, 250ms);
      },
      120s, 0ms);
  ASSERT_TRUE(moved.Valid());
  EXPECT_GT(ChangedShare(still, moved, 0, 160, kWidth, kHeight), 0.1);
  EXPECT_LT(GlyphsShown(moved, font, 8, "  Z:700.00000"), 0.95);
  EXPECT_GT(GlyphsShown(moved, font, 1, "  bspwalk 0.1.0 (README.md)"), 0.95);

  // Esc, held until a frame has seen it.
  WaitUntil(
      [&] {
        HoldKey(display, "Escape", "0.8");
        return program.WaitForExit(2s).has_value();
      },
      120s, 0ms);
  const std::optional<int> exitCode = program.WaitForExit(0s);
  ASSERT_TRUE(exitCode.has_value()) << "Esc did not end the program";
  EXPECT_EQ(*exitCode, 0) << program.Err();
}

TEST_F(EndToEndTest, MissingLevelShowsItsMessageAndEndsWithoutAFrame) {
  const std::string& display = Server.Display();
  testsupport::TStartedProgram program = StartProgram();
  std::string box;
  WaitUntil([&] { return !(box = WindowId(display, "Error")).empty() || !program.Running(); },
            120s);
  ASSERT_FALSE(box.empty()) << "no message box; standard error: " << program.Err();

  // The box (226 x 100 pixels, about 3 % of the screen) draws itself; the main window was never
  // shown.
  double boxShare = 0;
  WaitUntil(
      [&] {
        const TScreen screen = Capture(display, Folder.Path());
        if (screen.Valid()) boxShare = LitShare(screen, 0, 0, kWidth, kHeight);
        return boxShare > 0.02;
      },
      60s, 200ms);
  EXPECT_GT(boxShare, 0.02);
  const std::string main = WindowId(display, "bspwalk");
  if (!main.empty()) {
    EXPECT_NE(Shell(display, "xwininfo -id " + main).find("IsUnMapped"), std::string::npos);
  }

  // Return to the box, again until it has been read.
  WaitUntil(
      [&] {
        Shell(display, "xdotool key --window " + box + " Return");
        return program.WaitForExit(2s).has_value();
      },
      120s, 0ms);
  const std::optional<int> exitCode = program.WaitForExit(0s);
  ASSERT_TRUE(exitCode.has_value()) << "the program did not end after the message";
  EXPECT_EQ(*exitCode, 0);
  // Shown in the box, so not on standard error.
  EXPECT_EQ(program.Err().find("Could not find the BSP file!"), std::string::npos) << program.Err();
}

}  // namespace
