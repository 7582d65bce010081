// How a run with LEVEL starts and ends in full screen on a real X server, beside the run without
// arguments, which keeps its own behaviour: the first frame, a tap on Esc shorter than a frame,
// and the font.
#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/viewer/ViewModes.h"
#include "app/viewer/frmMain.h"
#include "gl/OpenGL.h"
#include "support/BspWriter.h"
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
}

// The pointer where the display starts it turns the first frame of the run without arguments
// only; from then on both runs turn by its motion from the home point. An Esc tap between two
// frames ends a run with LEVEL at its key-down event; the run without arguments misses it. With no
// font.tga the built-in font stands in, after the loader's message only without LEVEL.
TEST(LevelRun, FirstFrameEscTapAndFontBesideTheRunWithoutArguments) {
  static const bool loaded = (InitOpenGLEntryPoints(), true);
  (void)loaded;
  // A 1024 x 768 display (its pointer starts in the middle, at 512, 384), the small level as the
  // fixed level, and no font.tga.
  testsupport::TTempDir folder;
  fs::create_directories(folder / "lgmp");
  testsupport::TBspWriter::SmallLevel().WriteTo(folder / "maps/testmap.BSP");
  testsupport::TScopedWorkingDir inFolder(folder.Path());
  testsupport::TXvfbServer server(1024, 768);
  testsupport::TScopedDisplay display(server.Display());
  testsupport::TMessageCapture messageCapture;
  platform::TVideoSystem video;
  const struct {
    bool LevelRun;
    float Yaw, Pitch;  // after the first frame
    int ExitCode;
    std::size_t Frames, FontMessages;
  } cases[] = {{false, (512 - 160) * 0.3f, 270 + (384 - 120) * 0.3f, 3, 3, 1}, {true, 0, 270, 0, 2, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.LevelRun);
    ResetGlobals();
    app::TStartupOptions options;
    options.Viewer.LevelRun = options.Viewer.OwnStartPose = c.LevelRun;
    options.StartPose = TCamera{32, 32, 40, 0, 270};
    std::vector<TCamera> poses;
    options.FrameDrawn = [&](double) {
      poses.push_back(Camera);
      if (poses.size() == 1) platform::SetCursorPos(170, 130);  // 10 pixels right and down
      for (const Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        SDL_Event event{};
        event.type = type;
        event.key.keysym.sym = SDLK_ESCAPE;
        if (poses.size() == 2) SDL_PushEvent(&event);
      }
      if (poses.size() == 3) platform::PostQuitMessage(3);  // the tap was missed
    };
    platform::SetCursorPos(512, 384);
    const std::size_t messages = messageCapture.Messages().size();
    Tfrmcube form(options);
    ASSERT_TRUE(form.CreateForm());
    EXPECT_EQ(messageCapture.Messages().size() - messages, c.FontMessages);
    EXPECT_NE(FontTexture, 0u);
    EXPECT_EQ(form.Run(), c.ExitCode);
    ASSERT_EQ(poses.size(), c.Frames);
    EXPECT_FLOAT_EQ(poses[0].Yaw, c.Yaw);
    EXPECT_FLOAT_EQ(poses[0].Pitch, c.Pitch);
    EXPECT_FLOAT_EQ(poses[1].Yaw, c.Yaw + 3);
    EXPECT_FLOAT_EQ(poses[1].Pitch, c.Pitch + 3);
  }
  ResetGlobals();
}

}  // namespace
