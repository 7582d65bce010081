// The viewer's tool keys through the paint pass, driven by a fake clock and a fake cursor as the
// frame-loop tests are: mode toggles next to W/S/A/D/Esc, flying up and down, the overlay line and
// its shadow, F12 screenshots that never replace a file, and F5 / --watch reloads.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "FrameLoopGlobals.h"
#include "app/viewer/KeyTable.h"
#include "app/viewer/ViewModes.h"
#include "app/viewer/frmMain.h"
#include "gl/OpenGL.h"
#include "gl/Textures.h"
#include "support/BspWriter.h"
#include "support/PixelTest.h"
#include "support/TestSupport.h"
#include "window/Input.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
using TColouring = TRenderOptions::TColouring;

class ToolsTest : public testsupport::TPixelTest {
 protected:
  ToolsTest() : TPixelTest(kWidth, kHeight, testsupport::TEntryPoints::ForTheProgram) {}

  void SetUp() override {
    apptest::ResetFrameLoopGlobals();
    app::SetFixedGLState();
    PreviousTicks = platform::SetTickSource([this] { return Tick; });
    PreviousCursor = platform::SetCursorSource(
        {[] { return platform::TPoint{160, 120}; }, [](platform::TPoint) {}});
    Surface = app::TPaintSurface{[] { return kWidth; }, [] { return kHeight; }, [] {}, [] {},
                                 [] {}, [] {}, [] {}};
    fs::create_directory(Dir / "lgmp");
  }
  void TearDown() override {
    platform::SetTickSource(std::move(PreviousTicks));
    platform::SetCursorSource(std::move(PreviousCursor));
    Level = TQuake3BSP{};
  }

  // Dark (shadow) pixels in the band of heads-up line `line`, over a white picture.
  int DarkPixelsInLine(int line) {
    ReadBack();
    const int bottom = kHeight - 32 - 16 * line - 1;
    int dark = 0;
    for (int y = bottom; y < bottom + 16; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const std::array<int, 3> rgb = At(x, y);
        dark += rgb[0] < 64 && rgb[1] < 64;
      }
    return dark;
  }

  void PaintAt(std::uint32_t tick) {
    Tick = tick;
    app::PaintPass(Surface, State());
  }
  // The form's own state, which its keys and these paint passes share.
  app::TViewerState& State() { return Form.ViewerState(); }
  void Press(std::uint16_t key) {
    Form.FormKeyDown(key, 0);
    Form.FormKeyUp(key, 0);
  }

  testsupport::TTempDir Dir;
  testsupport::TScopedWorkingDir InDir{Dir.Path()};
  Tfrmcube Form;
  std::uint32_t Tick = 0;
  app::TPaintSurface Surface;
  platform::TTickSource PreviousTicks;
  platform::TCursorSource PreviousCursor;
};

TEST_F(ToolsTest, ModeKeysToggleOncePerPress) {
  struct TKeyCase {
    std::vector<std::uint16_t> Keys;
    std::string Modes;
    bool Overlay;
  };
  const TKeyCase cases[] = {
      {{}, "plain", false},
      {{app::VK_F1}, "textures", false},
      {{app::VK_F1, app::VK_F1}, "plain", false},
      {{app::VK_F1, app::VK_F2}, "lightmaps", false},
      {{app::VK_F6, app::VK_F3}, "clusters+wireframe", false},
      {{app::VK_F3, app::VK_F4, app::VK_TAB}, "wireframe+freeze", true},
      {{app::VK_TAB, app::VK_TAB, app::VK_F4, app::VK_F4}, "plain", false},
  };
  for (const TKeyCase& c : cases) {
    State() = {};
    for (const std::uint16_t key : c.Keys) Press(key);
    EXPECT_EQ(app::ModeNames(State().Render), c.Modes) << c.Keys.size();
    EXPECT_EQ(State().Overlay, c.Overlay);
    EXPECT_EQ(app::ExtraLineShown(State()), c.Overlay || c.Modes != "plain");
  }
  // A held key repeats its down event: still one toggle.
  State() = {};
  std::uint16_t f3 = app::VK_F3;
  Form.FormKeyDown(f3, 0);
  Form.FormKeyDown(f3, 0);
  EXPECT_TRUE(State().Render.Wireframe);
  EXPECT_TRUE(Keys[app::VK_F3]);
  Form.FormKeyUp(f3, 0);

  // F4 freezes where the camera is when it is pressed.
  State() = {};
  Press(app::VK_F4);
  EXPECT_EQ(State().Render.FreezePosition.X, 100.0f);
  EXPECT_EQ(State().Render.FreezePosition.Z, 300.0f);
}

TEST_F(ToolsTest, UpAndDownKeysBesideTheDesignKeys) {
  struct TMoveCase {
    std::vector<std::uint16_t> Held;
    float DeltaY, DeltaZ;  // after 100 ms at 150 units per second
  };
  const TMoveCase cases[] = {
      {{app::VK_E}, 0, 15},          {{app::VK_SPACE}, 0, 15},
      {{app::VK_Q}, 0, -15},         {{app::VK_C}, 0, -15},
      {{app::VK_E, app::VK_SPACE}, 0, 15}, {{app::VK_E, app::VK_Q}, 0, 0},
      {{87, app::VK_E}, 15, 15},     {{}, 0, 0},
  };
  std::uint32_t tick = 1000;
  for (const TMoveCase& c : cases) {
    InitCamera(Camera, 100, 200, 300, 0, 270);
    Keys.fill(false);
    PaintAt(tick);
    for (const std::uint16_t key : c.Held) Keys[key] = true;
    PaintAt(tick + 100);
    tick += 1000;
    EXPECT_NEAR(Camera.Y, 200 + c.DeltaY, 1e-3f) << c.Held.size();
    EXPECT_NEAR(Camera.Z, 300 + c.DeltaZ, 1e-3f) << c.Held.size();
    EXPECT_NEAR(Camera.X, 100, 1e-3f);
  }
}

// Over a white sky the white text shows only by its shadow: off, the band of the first line and
// of the ninth are white; with the overlay on, both hold dark shadow pixels.
TEST_F(ToolsTest, OverlayAddsANinthLineAndAShadowUnderEveryLine) {
  testsupport::TMessageCapture messages;
  ASSERT_TRUE(LoadTexture(std::string(BSPWALK_SOURCE_DIR) + "/font.tga", FontTexture, false));
  std::uint32_t tick = 1000;
  for (const bool overlay : {false, true, false}) {
    State().Overlay = overlay;
    glClearColor(1, 1, 1, 1);
    PaintAt(tick += 16);
    if (overlay) {
      EXPECT_GT(DarkPixelsInLine(0), 100);
      EXPECT_GT(DarkPixelsInLine(8), 100);
      EXPECT_EQ(DarkPixelsInLine(9), 0);
    } else {
      EXPECT_EQ(DarkPixelsInLine(0), 0);
      EXPECT_EQ(DarkPixelsInLine(8), 0);
    }
  }
  EXPECT_EQ(app::OverlayLine(Level, Camera, State()),
            "  plain leaf:-1 cluster:-1 sees:0/0 --camera=100,200,300,0,270 --view=100,200,300,90,0");
}

// H shows the key table below the heads-up block, shadowed as the overlay is, and hides it again;
// every key the tools handle has its row in that table.
TEST_F(ToolsTest, HTogglesTheKeyReferenceFromTheKeyTable) {
  testsupport::TMessageCapture messages;
  ASSERT_TRUE(LoadTexture(std::string(BSPWALK_SOURCE_DIR) + "/font.tga", FontTexture, false));
  std::uint32_t tick = 1000;
  for (const bool shown : {false, true, false}) {
    if (shown != State().KeyReference) Press(app::VK_H);
    ASSERT_EQ(State().KeyReference, shown);
    glClearColor(1, 1, 1, 1);
    PaintAt(tick += 16);
    EXPECT_EQ(DarkPixelsInLine(0), 0) << "the heads-up lines keep their plain look";
    EXPECT_EQ(DarkPixelsInLine(app::kKeyReferenceFirstLine - 1), 0);
    // 240 pixels hold the heading and the first row.
    EXPECT_EQ(DarkPixelsInLine(app::kKeyReferenceFirstLine) > 100, shown);
    EXPECT_EQ(DarkPixelsInLine(app::kKeyReferenceFirstLine + 1) > 100, shown);
  }
  EXPECT_EQ(app::KeyReferenceLines()[1], "    W, S      fly forward, back along the view");

  std::set<std::uint16_t> inTable;
  for (const app::TKeyRow& row : app::KeyTable()) inTable.insert(row.Codes.begin(), row.Codes.end());
  for (std::uint16_t key = 1; key < 256; ++key) {
    State() = {};
    EXPECT_TRUE(!app::HandleToolKey(key, false, TVector{0, 0, 0}, State()) || inTable.count(key)) << key;
  }
}

// The shaders' clock runs with the tick clock from the level's load; P stops and starts it.
TEST_F(ToolsTest, PPausesTheClockOfMovingSurfaces) {
  app::RestartClock(State());
  std::uint32_t tick = 1000;
  PaintAt(tick);
  PaintAt(tick += 500);
  EXPECT_DOUBLE_EQ(State().LevelRender.Time, 0.5);
  Press(app::VK_P);
  PaintAt(tick += 2000);
  EXPECT_DOUBLE_EQ(State().LevelRender.Time, 0.5);
  Press(app::VK_P);
  PaintAt(tick += 250);
  EXPECT_DOUBLE_EQ(State().LevelRender.Time, 0.75);
  const std::vector<std::string> lines = app::KeyReferenceLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "    P         the clock of moving surfaces (--shaders) paused or running"),
            lines.end());
}

TEST_F(ToolsTest, F12SavesNumberedPicturesAndNeverReplacesAFile) {
  State().LevelPath = "maps\\Q3DM1.bsp";
  testsupport::WriteFile(Dir / "bspwalk-Q3DM1-2.png", {'m', 'i', 'n', 'e'});
  std::uint32_t tick = 1000;
  for (const char* expected : {"bspwalk-Q3DM1-1.png", "bspwalk-Q3DM1-3.png"}) {
    Press(app::VK_F12);
    PaintAt(tick += 16);
    EXPECT_EQ(State().Note, "Saved " + (std::filesystem::current_path() / expected).string());
    const std::vector<std::uint8_t> png = testsupport::ReadFile(Dir / expected);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');
  }
  EXPECT_EQ(testsupport::ReadFile(Dir / "bspwalk-Q3DM1-2.png"),
            (std::vector<std::uint8_t>{'m', 'i', 'n', 'e'}));
  PaintAt(tick += 1000);
  EXPECT_EQ(State().Note, "Saved " + (std::filesystem::current_path() / "bspwalk-Q3DM1-3.png").string())
      << "shown for two seconds";
  PaintAt(tick += 1001);
  EXPECT_EQ(State().Note, "");
}

TEST_F(ToolsTest, ReloadTakesTheNewFileAndKeepsTheOldOneWhenItFails) {
  testsupport::TMessageCapture messages;
  const std::string path = Dir / "level.bsp";
  testsupport::TBspWriter writer = testsupport::TBspWriter::SmallLevel();
  writer.WriteTo(path);
  ASSERT_TRUE(Level.LoadBSP(path));
  State().LevelPath = path;
  State().Render.Wireframe = true;
  writer.Faces.push_back(writer.Faces[0]);
  writer.WriteTo(path);
  std::uint32_t tick = 1000;
  Press(app::VK_F5);
  PaintAt(tick += 16);
  EXPECT_EQ(Level.FaceCount, 2);
  EXPECT_EQ(State().Note, "Reloaded " + path);
  EXPECT_TRUE(State().Render.Wireframe) << "modes are kept";
  EXPECT_EQ(Camera.X, 100.0f) << "the pose is kept";

  const std::vector<std::uint8_t> good = writer.Bytes();
  struct TBroken {
    std::function<void()> Break;
    std::string Reason;
  };
  const TBroken broken[] = {
      {[&] { testsupport::WriteFile(path, {}); }, "the file is empty"},
      {[&] { testsupport::WriteFile(path, {good.begin(), good.begin() + 200}); }, "Read beyond end of file"},
      {[&] { fs::remove(path); }, "the file is gone"},
      {[&] { fs::create_directory(path); }, "not a file"},
  };
  for (const TBroken& b : broken) {
    fs::remove_all(path);
    b.Break();
    Press(app::VK_F5);
    PaintAt(tick += 16);
    EXPECT_EQ(Level.FaceCount, 2);
    EXPECT_EQ(State().Note, "Reload failed, old level kept: " + path + ": " + b.Reason);
    PaintAt(tick += 5000);
    EXPECT_FALSE(State().Note.empty()) << "the reason stays while the old level is shown";
  }
  EXPECT_TRUE(messages.Messages().empty()) << messages.Messages().front().Text;

  // --watch: a change of the file is noticed at the next poll, about a second later.
  fs::remove_all(path);
  State().Watch = true;
  testsupport::WriteFile(path, good);
  PaintAt(tick += 1000);  // the first poll only notes the file
  writer.Faces.push_back(writer.Faces[0]);
  writer.WriteTo(path);
  PaintAt(tick += 500);
  EXPECT_EQ(Level.FaceCount, 2) << "not polled yet";
  PaintAt(tick += 600);
  EXPECT_EQ(Level.FaceCount, 3);

  // Another level in the file's place with the pose outside it (below its floor, in a leaf
  // without a cluster): the view starts again at its first spawn point.
  writer.Leaves[1].Cluster = -1;
  writer.Entities = "{\"classname\" \"info_player_deathmatch\" \"origin\" \"32 40 8\" \"angle\" \"90\"}";
  Camera.Z = -500;
  writer.WriteTo(path);
  PaintAt(tick += 1100);
  EXPECT_EQ(State().Note, "Reloaded " + path);
  EXPECT_NEAR(Camera.X, 32, 1e-3);
  EXPECT_NEAR(Camera.Z, 8 + 26, 1e-3);
  EXPECT_EQ(State().SpawnPoint, 0) << "PageDown goes on to the second";
}

}  // namespace
