// One paint pass after another, driven by a fake clock and a fake cursor, drawing into an
// offscreen context through a stand-in for the window.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "FrameLoopGlobals.h"
#include "app/viewer/frmMain.h"
#include "gl/OpenGL.h"
#include "gl/Textures.h"
#include "render/Q3BSP_render.h"
#include "support/PixelTest.h"
#include "support/TestSupport.h"
#include "window/Input.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

class FrameLoopTest : public testsupport::TPixelTest {
 protected:
  FrameLoopTest() : TPixelTest(kWidth, kHeight, testsupport::TEntryPoints::ForTheProgram) {}

  void SetUp() override {
    apptest::ResetFrameLoopGlobals();
    VisibleFaceCount = 0;
    glEnable(GL_DEPTH_TEST);
    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);

    PreviousTicks = platform::SetTickSource([this] { return Tick; });
    PreviousCursor = platform::SetCursorSource(
        {[this] {
           ++CursorReads;
           return Cursor;
         },
         [this](platform::TPoint p) { Cursor = p; }});
    Surface = app::TPaintSurface{
        [] { return kWidth; },
        [] { return kHeight; },
        [this] { ++Begins; },
        [this] { ++Ends; },
        [this] { ++Swaps; },
        [this] { ++Invalidates; },
        [this] { ++Closes; },
    };
  }

  void TearDown() override {
    platform::SetTickSource(std::move(PreviousTicks));
    platform::SetCursorSource(std::move(PreviousCursor));
  }

  void PaintAt(std::uint32_t tick) {
    Tick = tick;
    app::PaintPass(Surface, State);
  }

  app::TViewerState State;
  std::uint32_t Tick = 0;
  platform::TPoint Cursor{160, 120};
  int CursorReads = 0;
  int Begins = 0, Ends = 0, Swaps = 0, Invalidates = 0, Closes = 0;
  app::TPaintSurface Surface;
  platform::TTickSource PreviousTicks;
  platform::TCursorSource PreviousCursor;
};

TEST_F(FrameLoopTest, APassInTheSameTickDrawsNothingButAsksForTheNext) {
  PaintAt(1000);
  EXPECT_EQ(Swaps, 1);
  EXPECT_EQ(Begins, 1);
  EXPECT_EQ(Ends, 1);
  EXPECT_EQ(Invalidates, 1);
  EXPECT_EQ(LastFrameTime, 1000.0f);

  Keys[87] = true;
  Keys[27] = true;
  Cursor = {200, 100};
  const TCamera before = Camera;
  const int reads = CursorReads;
  PaintAt(1000);
  EXPECT_EQ(Swaps, 1);
  EXPECT_EQ(Begins, 1);
  EXPECT_EQ(Ends, 1);
  EXPECT_EQ(Invalidates, 2);
  EXPECT_EQ(Closes, 0);
  EXPECT_EQ(CursorReads, reads);
  EXPECT_EQ(Camera.Y, before.Y);
  EXPECT_EQ(Camera.Yaw, before.Yaw);

  PaintAt(1001);
  EXPECT_EQ(Swaps, 2);
}

TEST_F(FrameLoopTest, MovementScalesWithTheFrameTime) {
  PaintAt(1000);  // the first frame measures from 0
  Keys[87] = true;
  PaintAt(1020);  // 20 ms at 150 units per second
  EXPECT_NEAR(Camera.X, 100.0f, 1e-3f);
  EXPECT_NEAR(Camera.Y, 203.0f, 1e-3f);
  EXPECT_NEAR(Camera.Z, 300.0f, 1e-3f);
  PaintAt(1120);
  EXPECT_NEAR(Camera.Y, 218.0f, 1e-3f);
}

TEST_F(FrameLoopTest, WAndSCancelWAndDBothMove) {
  PaintAt(1000);
  Keys[87] = Keys[83] = true;
  PaintAt(1100);
  EXPECT_NEAR(Camera.X, 100.0f, 1e-3f);
  EXPECT_NEAR(Camera.Y, 200.0f, 1e-3f);
  Keys[83] = false;
  Keys[68] = true;
  PaintAt(1200);
  EXPECT_NEAR(Camera.X, 115.0f, 1e-3f);
  EXPECT_NEAR(Camera.Y, 215.0f, 1e-3f);
  Keys[87] = Keys[68] = false;
  Keys[65] = true;
  PaintAt(1300);
  EXPECT_NEAR(Camera.X, 100.0f, 1e-3f);
  EXPECT_EQ(Camera.Z, 300.0f);
}

TEST_F(FrameLoopTest, MovementUsesThePoseFromBeforeThisFramesMouseLook) {
  PaintAt(1000);
  Keys[87] = true;
  Cursor = {460, 120};  // 300 pixels right: 90 degrees, so the next frames fly along +X
  PaintAt(1100);
  EXPECT_NEAR(Camera.X, 100.0f, 1e-3f);
  EXPECT_NEAR(Camera.Y, 215.0f, 1e-3f);
  EXPECT_FLOAT_EQ(Camera.Yaw, 90.0f);
  EXPECT_EQ(Cursor.X, 160);
  EXPECT_EQ(Cursor.Y, 120);
  PaintAt(1200);
  EXPECT_NEAR(Camera.X, 115.0f, 1e-3f);
  EXPECT_NEAR(Camera.Y, 215.0f, 1e-3f);
}

TEST_F(FrameLoopTest, EscClosesAfterTheFrameIsComplete) {
  Keys[27] = true;
  Cursor = {170, 120};
  PaintAt(1000);
  EXPECT_EQ(Closes, 1);
  EXPECT_EQ(Swaps, 1);
  EXPECT_FLOAT_EQ(Camera.Yaw, 3.0f);
  EXPECT_EQ(Invalidates, 1);
}

TEST_F(FrameLoopTest, FrameRateTextRefreshesAfterMoreThan100Ms) {
  const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  PaintAt(1000);
  EXPECT_EQ(FpsText, renderer + " Fps:  1.0000");
  EXPECT_EQ(LastFpsTime, 1000.0f);
  PaintAt(1016);
  EXPECT_EQ(FpsText, renderer + " Fps:  1.0000");
  PaintAt(1100);  // exactly 100 ms: not yet
  EXPECT_EQ(FpsText, renderer + " Fps:  1.0000");
  PaintAt(1101);  // the rate of this one frame, not an average
  EXPECT_EQ(FpsText, renderer + " Fps: 1000.0000");
  EXPECT_EQ(Fps, 1000.0f);
  PaintAt(1112);
  EXPECT_EQ(FpsText, renderer + " Fps: 1000.0000");
  PaintAt(1212);
  EXPECT_EQ(FpsText, renderer + " Fps: 10.0000");
  EXPECT_EQ(LastFpsTime, 1212.0f);
}

TEST_F(FrameLoopTest, TheTickCountReturningToZeroKeepsFramesMovementAndEsc) {
  PaintAt(4294967000u);
  PaintAt(4294967295u);
  const int swaps = Swaps;
  Keys[87] = true;
  const float y = Camera.Y;
  PaintAt(5);  // the count went round: a short frame, not a stop
  EXPECT_EQ(Swaps, swaps + 1);
  EXPECT_NEAR(Camera.Y - y, 0.15f, 1e-4f);
  PaintAt(6);
  EXPECT_EQ(Swaps, swaps + 2);
  EXPECT_NEAR(Camera.Y - y, 0.30f, 1e-4f);
  // The rate text goes on refreshing too.
  const std::string before = FpsText;
  PaintAt(200);
  EXPECT_NE(FpsText, before);
  EXPECT_EQ(LastFpsTime, 200.0f);
  Keys[27] = true;
  PaintAt(201);
  EXPECT_EQ(Closes, 1);
}

TEST_F(FrameLoopTest, AFrameLeavesTheHeadsUpState) {
  GLuint font = 0;
  glGenTextures(1, &font);
  glBindTexture(GL_TEXTURE_2D, font);
  FontTexture = font;
  glBindTexture(GL_TEXTURE_2D, 0);
  PaintAt(1000);

  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_PROJECTION);
  GLfloat projection[16], modelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  // glOrtho(0, 320, 0, 240, -800, 800)
  const GLfloat ortho[16] = {2.0f / kWidth, 0, 0, 0, 0, 2.0f / kHeight, 0, 0,
                             0, 0, -1.0f / 800.0f, 0, -1, -1, 0, 1};
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(projection[i], ortho[i], 1e-6f) << i;
    EXPECT_EQ(modelview[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
  }
  EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
  GLint alphaFunc = 0;
  GLfloat alphaRef = 0;
  glGetIntegerv(GL_ALPHA_TEST_FUNC, &alphaFunc);
  glGetFloatv(GL_ALPHA_TEST_REF, &alphaRef);
  EXPECT_EQ(alphaFunc, GL_GREATER);
  EXPECT_NEAR(alphaRef, 0.6f, 1e-6f);
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), font);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], kWidth);
  EXPECT_EQ(viewport[3], kHeight);
  GLint depth = 0;
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The repository's font, drawn through the whole heads-up path, shows each glyph texel for texel:
// the first stored row of a cell is the top row of its character on the screen.
TEST_F(FrameLoopTest, HeadsUpTextShowsTheFontsGlyphsUpright) {
  testsupport::TMessageCapture messages;
  const std::string fontPath = std::string(BSPWALK_SOURCE_DIR) + "/font.tga";
  ASSERT_TRUE(LoadTexture(fontPath, FontTexture, false));
  const std::vector<std::uint8_t> tga = testsupport::ReadFile(fontPath);
  ASSERT_EQ(tga.size(), 18u + 128u * 256u * 4u);
  EXPECT_EQ(tga[2], 2);   // uncompressed
  EXPECT_EQ(tga[16], 32);  // with alpha
  const auto glyphTexel = [&](unsigned code, int x, int y) {
    const unsigned cell = (code + 255) % 256;
    const std::size_t row = (cell / 16) * 16 + static_cast<std::size_t>(y);
    const std::size_t column = (cell % 16) * 8 + static_cast<std::size_t>(x);
    return tga[18 + (row * 128 + column) * 4 + 3] > 153;
  };

  const std::array<std::string, 8> lines = {"  Ag|_", "", "", "", "", "", "", " ~"};
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  app::DrawHud(kWidth, kHeight, lines);
  ReadBack();
  // Screen row y from the top.
  const auto white = [&](int x, int y) { return At(x, kHeight - 1 - y) == std::array<int, 3>{255, 255, 255}; };
  int glyphPixels = 0;
  for (int line : {1, 8}) {
    const std::string& text = lines[static_cast<std::size_t>(line - 1)];
    for (int i = 0; i < 8; ++i)
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) {
          const bool expected = i < static_cast<int>(text.size()) &&
                                glyphTexel(static_cast<unsigned char>(text[static_cast<std::size_t>(i)]), x, y);
          glyphPixels += expected;
          EXPECT_EQ(white(i * 8 + x, 16 * line + y), expected)
              << "line " << line << " char " << i << " texel " << x << "," << y;
        }
  }
  EXPECT_GT(glyphPixels, 60);
  // Nothing above the first line.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; ++x) EXPECT_FALSE(white(x, y));
  EXPECT_TRUE(messages.Messages().empty());
}

TEST(HudTextTest, LinesHaveTheirFormats) {
  FpsText = "llvmpipe Fps: 62.5000";
  VisibleFaceCount = 1234;
  Level = TQuake3BSP{};
  Level.FaceCount = -7;
  InitCamera(Camera, 1.5f, -2.0f, 123456.78f, 0, 0);
  const auto lines = app::HudLines(app::TViewerState{});
  EXPECT_EQ(lines[0], "  bspwalk 0.1.0 (README.md)");
  EXPECT_EQ(lines[1], "  url: README.md");
  EXPECT_EQ(lines[2], "  llvmpipe Fps: 62.5000");
  EXPECT_EQ(lines[3], "  Faces: 1234");
  EXPECT_EQ(lines[4], "  col:-7");
  EXPECT_EQ(lines[5], "  X:1.50000");
  EXPECT_EQ(lines[6], "  Y:-2.00000");
  EXPECT_EQ(lines[7], "  Z:123456.78125");
  Camera.X = 0;
  EXPECT_EQ(app::HudLines(app::TViewerState{})[5], "  X:0.00000");
  Level = TQuake3BSP{};
}

TEST(HudTextTest, FrameRateTextIsCutAtOneHundredCharacters) {
  EXPECT_EQ(app::FormatFpsText("llvmpipe", 62.5f), "llvmpipe Fps: 62.5000");
  EXPECT_EQ(app::FormatFpsText("x", 1000.0f / 110.0f), "x Fps:  9.0909");
  EXPECT_EQ(app::FormatFpsText(nullptr, 1000.0f), " Fps: 1000.0000");
  EXPECT_EQ(app::FormatFpsText("", 12345678.0f), " Fps: 12345678.0000");

  const std::string renderer87(87, 'r');
  EXPECT_EQ(app::FormatFpsText(renderer87.c_str(), 62.5f), renderer87 + " Fps: 62.5000");
  const std::string renderer89(89, 'r');
  const std::string cut = app::FormatFpsText(renderer89.c_str(), 62.5f);
  EXPECT_EQ(cut.size(), 100u);
  EXPECT_EQ(cut, renderer89 + " Fps: 62.50");  // the rate loses its last digits
  const std::string renderer94(94, 'r');
  EXPECT_EQ(app::FormatFpsText(renderer94.c_str(), 62.5f), renderer94 + " Fps: ");
  const std::string renderer300(300, 'r');
  EXPECT_EQ(app::FormatFpsText(renderer300.c_str(), 62.5f), std::string(100, 'r'));
}

TEST(ErrorTextTest, AFullStopIsAddedAfterCharactersThatSortAboveIt) {
  EXPECT_EQ(app::ErrorMessageText("Read beyond end of file"), "Read beyond end of file.");
  EXPECT_EQ(app::ErrorMessageText("Cannot create file lgmp\\lgmp0.jpg"),
            "Cannot create file lgmp\\lgmp0.jpg.");
  EXPECT_EQ(app::ErrorMessageText("Done."), "Done.");
  EXPECT_EQ(app::ErrorMessageText("What?"), "What?.");  // '?' sorts above '.'
  EXPECT_EQ(app::ErrorMessageText("Stop!"), "Stop!");    // '!' sorts below it
  EXPECT_EQ(app::ErrorMessageText("a-"), "a-");
  EXPECT_EQ(app::ErrorMessageText("Fehler \xE4"), "Fehler \xE4.");
  EXPECT_EQ(app::ErrorMessageText(""), "");
}

}  // namespace
