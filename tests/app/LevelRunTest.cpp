// How a run with LEVEL (or a pose of its own) starts and ends on a real X server, beside the run
// without arguments, which keeps its own behaviour: the first frame in full screen, and a tap on
// Esc shorter than a frame.
#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/ViewModes.h"
#include "app/frmMain.h"
#include "gl/OpenGL.h"
#include "platform/Input.h"
#include "platform/Window.h"
#include "support/BspWriter.h"
#include "support/TestSupport.h"
#include "support/XServer.h"

namespace fs = std::filesystem;

namespace {

// A private 1024 x 768 display (its pointer starts in the middle, at 512, 384), the small level
// as the fixed level, and the globals as at program start.
class LevelRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const bool loaded = (InitOpenGLEntryPoints(), true);
    (void)loaded;
    Reset();
    fs::create_directories(Folder / "lgmp");
    fs::copy_file(fs::path(BSPWALK_SOURCE_DIR) / "font.tga", Folder / "font.tga");
    testsupport::TBspWriter::SmallLevel().WriteTo(Folder / "maps/testmap.BSP");
  }
  void TearDown() override { Reset(); }
  static void Reset() {
    Keys.fill(false);
    CurrentTime = LastFrameTime = LastFpsTime = Fps = 0;
    FpsText.clear();
    FontTexture = 0;
    Level = TQuake3BSP{};
    app::ViewModes = {};
  }

  testsupport::TTempDir Folder;
  testsupport::TScopedWorkingDir InFolder{Folder.Path()};
  testsupport::TXvfbServer Server{1024, 768};
  testsupport::TScopedDisplay Display{Server.Display()};
  testsupport::TMessageCapture Messages;
  platform::TVideoSystem Video;
};

TEST_F(LevelRunTest, FirstFrameInFullScreenTurnsOnlyInTheRunWithoutAPose) {
  const struct {
    bool OwnPose;
    float Yaw, Pitch;  // after the first frame
  } cases[] = {{false, (512 - 160) * 0.3f, 270 + (384 - 120) * 0.3f}, {true, 0, 270}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.OwnPose);
    Reset();
    app::ViewModes.OwnStartPose = c.OwnPose;
    app::TStartupOptions options;
    options.StartPose = TCamera{32, 32, 40, 0, 270};
    TCamera first{};
    int frames = 0;
    options.FrameDrawn = [&](double) {
      if (++frames == 1) {
        first = Camera;
        platform::SetCursorPos(170, 130);  // the mouse moved 10 pixels right and down
      } else {
        platform::PostQuitMessage(0);
      }
    };
    platform::SetCursorPos(512, 384);
    Tfrmcube form(options);
    ASSERT_TRUE(form.CreateForm());
    EXPECT_EQ(form.Run(), 0);
    EXPECT_FLOAT_EQ(first.Yaw, c.Yaw);
    EXPECT_FLOAT_EQ(first.Pitch, c.Pitch);
    // From then on the pointer's home point turns the view as always.
    EXPECT_FLOAT_EQ(Camera.Yaw, c.Yaw + 3);
    EXPECT_FLOAT_EQ(Camera.Pitch, c.Pitch + 3);
    EXPECT_EQ(platform::GetCursorPos().X, 160);
    EXPECT_EQ(platform::GetCursorPos().Y, 120);
  }
}

TEST_F(LevelRunTest, EscTappedBetweenFramesEndsARunWithLevelAtOnce) {
  const struct {
    bool LevelRun;
    int ExitCode, Frames;
  } cases[] = {{false, 3, 1}, {true, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.LevelRun);
    Reset();
    app::ViewModes.LevelRun = c.LevelRun;
    app::TStartupOptions options;
    int frames = 0;
    // A frame drawn after the tap ends the loop with 3: the tap was missed.
    options.FrameDrawn = [&](double) {
      ++frames;
      platform::PostQuitMessage(3);
    };
    Tfrmcube form(options);
    ASSERT_TRUE(form.CreateForm());
    for (const Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
      SDL_Event event{};
      event.type = type;
      event.key.keysym.sym = SDLK_ESCAPE;
      ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    EXPECT_EQ(form.Run(), c.ExitCode);
    EXPECT_EQ(frames, c.Frames);
  }
}

TEST_F(LevelRunTest, WithoutFontFileTheBuiltInFontStandsInAfterTheMessageOnlyWithoutLevel) {
  fs::remove(Folder / "font.tga");
  for (const bool levelRun : {false, true}) {
    SCOPED_TRACE(levelRun);
    Reset();
    app::ViewModes.LevelRun = levelRun;
    const std::size_t before = Messages.Messages().size();
    Tfrmcube form;
    ASSERT_TRUE(form.CreateForm());
    ASSERT_EQ(Messages.Messages().size() - before, levelRun ? 0u : 1u);
    if (!levelRun) {
      EXPECT_EQ(Messages.Messages().back().Text, "File not found  - font.tga");
    }
    ASSERT_NE(FontTexture, 0u);
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, FontTexture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 128);  // 16 glyphs of 8 x 16 pixels a row, 16 rows
    EXPECT_EQ(height, 256);
  }
}

}  // namespace
