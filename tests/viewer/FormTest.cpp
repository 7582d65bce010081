// Start-up and shutdown of the main form on a real X server (a private Xvfb): window, pixel
// format, context and its fixed state, the display-mode request, the failures that end start-up.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "app/viewer/frmMain.h"
#include "gl/OpenGL.h"
#include "render/Q3BSP_render.h"
#include "support/TestSupport.h"
#include "support/XServer.h"
#include "window/Input.h"
#include "window/Window.h"

namespace fs = std::filesystem;

namespace {

void ResetGlobals() {
  Keys.fill(false);
  CurrentTime = LastFrameTime = LastFpsTime = Fps = 0;
  FpsText.clear();
  FontTexture = 0;
  Level = TQuake3BSP{};
  Camera = TCamera{};
}

// A private X display for one test, with the video system on it and every message captured.
// Decoration hints, when asked for, are declared before the video system starts, so that the
// window's frame can be read back without a window manager.
struct TXSession {
  TXSession(int width, int height, bool decorationHints = false)
      : Server(width, height),
        Display(Server.Display()),
        HintsDeclared(decorationHints &&
                      (testsupport::DeclareDecorationHints(Server.Display()), true)) {}

  testsupport::TXvfbServer Server;
  testsupport::TScopedDisplay Display;
  bool HintsDeclared;
  testsupport::TMessageCapture Messages;
  platform::TVideoSystem Video;
};

// A working folder as the program expects it: font.tga and lgmp/, and no level unless a test
// writes one.
class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const bool loaded = (InitOpenGLEntryPoints(), true);
    (void)loaded;
    ResetGlobals();
    fs::copy_file(fs::path(BSPWALK_SOURCE_DIR) / "font.tga", Folder / "font.tga");
    fs::create_directory(Folder / "lgmp");
    fs::create_directory(Folder / "maps");
  }
  void TearDown() override { ResetGlobals(); }

  testsupport::TTempDir Folder;
  testsupport::TScopedWorkingDir InFolder{Folder.Path()};
};

TEST(DisplayModeTest, RequestIsTheDevmodeRecordWithOnlySizeFieldsAndMode) {
  const platform::TDevMode mode = DisplayModeRequest(1024, 768, 32);
  unsigned char bytes[156];
  std::memcpy(bytes, &mode, sizeof bytes);
  unsigned char expected[156] = {};
  const auto put16 = [&](int at, unsigned v) {
    expected[at] = v & 255;
    expected[at + 1] = (v >> 8) & 255;
  };
  const auto put32 = [&](int at, unsigned v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  put16(36, 156);
  put32(40, 0x1C0000);
  put32(104, 32);
  put32(108, 1024);
  put32(112, 768);
  for (int i = 0; i < 156; ++i) EXPECT_EQ(bytes[i], expected[i]) << "byte " << i;
}

TEST(KeyTest, HandlersUseTheLowByteAndLeaveTheKeyAsItWas) {
  Keys.fill(false);
  Tfrmcube form;
  std::uint16_t key = 0x157;  // shares its entry with 'W'
  form.FormKeyDown(key, 0);
  EXPECT_EQ(key, 0x157);
  EXPECT_TRUE(Keys[87]);
  std::uint16_t w = 87;
  form.FormKeyDown(w, 0);  // a repeat sets it again
  EXPECT_TRUE(Keys[87]);
  form.FormKeyUp(w, 0);
  EXPECT_FALSE(Keys[87]);
  EXPECT_EQ(std::count(Keys.begin(), Keys.end(), true), 0);
}

TEST(KeyTest, KeysArriveAsVirtualKeyCodes) {
  using platform::VirtualKeyFromKeycode;
  EXPECT_EQ(VirtualKeyFromKeycode('w'), 87);
  EXPECT_EQ(VirtualKeyFromKeycode('s'), 83);
  EXPECT_EQ(VirtualKeyFromKeycode('a'), 65);
  EXPECT_EQ(VirtualKeyFromKeycode('d'), 68);
  EXPECT_EQ(VirtualKeyFromKeycode('z'), 90);
  EXPECT_EQ(VirtualKeyFromKeycode(27), 27);  // Esc
  EXPECT_EQ(VirtualKeyFromKeycode('0'), 48);
  EXPECT_EQ(VirtualKeyFromKeycode('9'), 57);
  EXPECT_EQ(VirtualKeyFromKeycode(' '), 32);
  EXPECT_EQ(VirtualKeyFromKeycode('\r'), 13);
  EXPECT_EQ(VirtualKeyFromKeycode(0x40000050), 37);  // left arrow
  EXPECT_EQ(VirtualKeyFromKeycode(0x4000003A), 112);  // F1
  EXPECT_EQ(VirtualKeyFromKeycode(0x400000E1), 16);   // left shift
  EXPECT_EQ(VirtualKeyFromKeycode(0x40000101), 0);    // a key Windows has no code for
}

TEST_F(FormTest, MissingLevelShowsItsMessageAndEndsWithoutAFrame) {
  TXSession x(1024, 768);
  {
    Tfrmcube form;
    ASSERT_TRUE(form.CreateForm());
    ASSERT_EQ(x.Messages.Messages().size(), 1u);
    EXPECT_EQ(x.Messages.Messages()[0].Text, "Could not find the BSP file!");
    EXPECT_EQ(x.Messages.Messages()[0].Caption, "Error");
    EXPECT_TRUE(platform::QuitRequested());
    // Start-up went on to its end all the same.
    EXPECT_EQ(Camera.X, 200.0f);
    EXPECT_EQ(Camera.Pitch, 180.0f);
    EXPECT_EQ(form.Run(), 0);
    EXPECT_EQ(LastFrameTime, 0.0f);
    EXPECT_TRUE(FpsText.empty());
    EXPECT_FALSE(form.Window()->Visible());
  }
  EXPECT_EQ(platform::ScreenWidth(), 1024);
}

TEST_F(FormTest, ShortLevelEndsStartUpWithTheErrorTextAndNothingAfterIt) {
  testsupport::WriteFile("maps/testmap.BSP", {'I', 'B', 'S', 'P', 46, 0, 0, 0, 1, 2, 3});
  TXSession x(1024, 768);
  Tfrmcube form;
  EXPECT_FALSE(form.CreateForm());
  ASSERT_EQ(x.Messages.Messages().size(), 1u);
  EXPECT_EQ(x.Messages.Messages()[0].Text, "Read beyond end of file.");
  EXPECT_EQ(x.Messages.Messages()[0].Caption, "bspwalk");
  EXPECT_EQ(x.Messages.Messages()[0].Icon, platform::TMessageIcon::Error);
  // The remaining steps were skipped: camera all zero, initial size, no quit request posted.
  EXPECT_EQ(Camera.X, 0.0f);
  EXPECT_EQ(Camera.Pitch, 0.0f);
  EXPECT_EQ(form.Window()->ClientWidth(), 632);
  EXPECT_EQ(form.Window()->ClientHeight(), 454);
  EXPECT_NE(FontTexture, 0u);  // the font had loaded before the level failed
}

TEST_F(FormTest, FormCreateGivesADepthBufferAndTheFixedState) {
  TXSession x(1024, 768, true);
  Tfrmcube form;
  ASSERT_TRUE(form.CreateForm());

  // Full screen: no frame, above the other windows.
  const testsupport::TWindowManagerHints hints = testsupport::ReadWindowManagerHints(
      x.Server.Display(), testsupport::WindowId(x.Server.Display(), "bspwalk"));
  EXPECT_FALSE(hints.Decorated) << hints.Properties;
  EXPECT_TRUE(hints.Above) << hints.Properties;

  // The request names no depth buffer; the surface has one all the same.
  unsigned char pfd[40];
  std::memcpy(pfd, &form.PFD, sizeof pfd);
  const unsigned char expected[40] = {40, 0, 1, 0, 37};
  for (int i = 0; i < 40; ++i) EXPECT_EQ(pfd[i], expected[i]) << "byte " << i;
  GLint depthBits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  EXPECT_GE(depthBits, 24);
  GLboolean doubleBuffered = GL_FALSE;
  glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
  EXPECT_TRUE(doubleBuffered);

  GLfloat clear[4] = {1, 1, 1, 1};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  for (GLfloat c : clear) EXPECT_EQ(c, 0.0f);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLint value = 0;
  glGetIntegerv(GL_CULL_FACE_MODE, &value);
  EXPECT_EQ(value, GL_FRONT);
  glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
  EXPECT_EQ(value, GL_NICEST);
  glGetIntegerv(GL_MATRIX_MODE, &value);
  EXPECT_EQ(value, GL_MODELVIEW);  // never switched during start-up

  EXPECT_NE(FontTexture, 0u);
  // The display took the mode (the screen already had it) and the window covers the screen.
  EXPECT_EQ(form.Window()->ClientWidth(), 1024);
  EXPECT_EQ(form.Window()->ClientHeight(), 768);
  EXPECT_TRUE(ChangeResolution(1024, 768, 32));
  EXPECT_FALSE(ChangeResolution(1024, 768, 16));
}

TEST_F(FormTest, RefusedDisplayModeLeavesTheWindowAtTheDesktopSize) {
  TXSession x(800, 600);
  Tfrmcube form;
  ASSERT_TRUE(form.CreateForm());
  EXPECT_FALSE(ChangeResolution(1024, 768, 32));
  EXPECT_EQ(platform::ScreenWidth(), 800);
  EXPECT_EQ(form.Window()->ClientWidth(), 800);
  EXPECT_EQ(form.Window()->ClientHeight(), 600);
}

TEST_F(FormTest, WindowedStartKeepsTheDisplayAndTakesTheGivenSize) {
  TXSession x(1024, 768, true);
  app::TStartupOptions options;
  options.FullScreen = false;
  options.Width = 400;
  options.Height = 300;
  options.StartPose = TCamera{1, 2, 3, 4, 5};
  Tfrmcube form(options);
  ASSERT_TRUE(form.CreateForm());
  EXPECT_EQ(form.Window()->ClientWidth(), 400);
  EXPECT_EQ(form.Window()->ClientHeight(), 300);
  EXPECT_EQ(platform::ScreenWidth(), 1024);
  // An ordinary window: framed, stacked like any other.
  const testsupport::TWindowManagerHints hints = testsupport::ReadWindowManagerHints(
      x.Server.Display(), testsupport::WindowId(x.Server.Display(), "bspwalk"));
  EXPECT_NE(hints.Properties.find("_MOTIF_WM_HINTS"), std::string::npos) << hints.Properties;
  EXPECT_TRUE(hints.Decorated) << hints.Properties;
  EXPECT_FALSE(hints.Above) << hints.Properties;
  EXPECT_EQ(Camera.Yaw, 4.0f);
  EXPECT_EQ(Camera.Pitch, 5.0f);
}

TEST_F(FormTest, EscHeldAtTheStartEndsTheLoopAfterOneWholeFrame) {
  const fs::path data = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/kaos2.bsp"});
  fs::copy_file(data / "maps/kaos2.bsp", "maps/testmap.BSP");
  TXSession x(1024, 768);
  Tfrmcube form;
  ASSERT_TRUE(form.CreateForm());
  EXPECT_FALSE(platform::QuitRequested());
  EXPECT_EQ(Level.FaceCount, 2194);
  Keys[27] = true;
  EXPECT_EQ(form.Run(), 0);
  EXPECT_TRUE(form.Window()->Visible());
  // One frame ran to its end: timed, rate text set, mouse look done with the desktop's cursor
  // (Xvfb starts it in the middle of the screen) and the cursor brought home.
  // The tick count starts with the display, so the first frame may come within its first 100 ms,
  // and then the rate text waits for a later one.
  EXPECT_GT(LastFrameTime, 0.0f);
  if (LastFrameTime > 100) {
    EXPECT_EQ(LastFpsTime, LastFrameTime);
    const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    EXPECT_EQ(FpsText.rfind(renderer + " Fps: ", 0), 0u) << FpsText;
  } else {
    EXPECT_TRUE(FpsText.empty());
  }
  EXPECT_FLOAT_EQ(Camera.Yaw, (512 - 160) * 0.3f);
  EXPECT_FLOAT_EQ(Camera.Pitch, 180 + (384 - 120) * 0.3f);
  EXPECT_EQ(platform::GetCursorPos().X, 160);
  EXPECT_EQ(platform::GetCursorPos().Y, 120);
  EXPECT_GT(VisibleFaceCount, 0);
  EXPECT_TRUE(x.Messages.Messages().empty());
}

}  // namespace
