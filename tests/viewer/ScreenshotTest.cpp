// The PNG writer, read back with libpng, and the frame read-back under a real GL context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "app/viewer/Screenshot.h"
#include "support/Picture.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

namespace {

TEST(WritePNG, StoresTheTopRowFirstWhateverTheMemoryOrder) {
  testsupport::TTempDir dir;
  // 3 x 2, odd width so that rows are not 4-byte multiples.
  const std::vector<std::uint8_t> topDown{1, 2, 3, 4, 5, 6, 7, 8, 9,  // top row
                                          10, 11, 12, 13, 14, 15, 16, 17, 18};
  const std::vector<std::uint8_t> bottomUp{10, 11, 12, 13, 14, 15, 16, 17, 18,
                                           1, 2, 3, 4, 5, 6, 7, 8, 9};
  app::WritePNG(dir / "a.png", 3, 2, topDown, false);
  app::WritePNG(dir / "b.png", 3, 2, bottomUp, true);
  for (const char* name : {"a.png", "b.png"}) {
    const testsupport::TPicture picture = testsupport::ReadPNG(dir / name);
    EXPECT_EQ(picture.Rgb, topDown) << name;
    EXPECT_EQ(picture.Width, 3);
    EXPECT_EQ(picture.Height, 2);
  }
  const std::vector<std::uint8_t> bytes = testsupport::ReadFile(dir / "a.png");
  ASSERT_GE(bytes.size(), 8u);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8),
            (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'}));
}

TEST(WritePNG, FailuresNameTheFile) {
  testsupport::TTempDir dir;
  const std::vector<std::uint8_t> pixel{0, 0, 0};
  try {
    app::WritePNG(dir / "missing/x.png", 1, 1, pixel, false);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot write PNG file " + (dir / "missing/x.png") + ": ", 0), 0u)
        << e.what();
  }
  EXPECT_THROW(app::WritePNG(dir / "y.png", 2, 1, pixel, false), std::runtime_error);
  EXPECT_THROW(app::WritePNG(dir / "z.png", 0, 1, {}, false), std::runtime_error);
}

TEST(ReadFramePixels, BottomRowFirstAndTightlyPacked) {
  platform::TOffscreenGLContext context(5, 4);
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 5, 1);  // the bottom row red
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  glFinish();
  const std::vector<std::uint8_t> pixels = app::ReadFramePixels(5, 4);
  ASSERT_EQ(pixels.size(), 5u * 4 * 3);
  EXPECT_EQ(pixels[0], 255);
  EXPECT_EQ(pixels[2], 0);
  EXPECT_EQ(pixels[5 * 3 * 3 + 0], 0);  // top row, first pixel: blue
  EXPECT_EQ(pixels[5 * 3 * 3 + 2], 255);
  EXPECT_EQ(pixels.back(), 255);
}

}  // namespace
