#include <GL/gl.h>
#include <gtest/gtest.h>

#include "window/OffscreenContext.h"

TEST(OffscreenContext, RendersAndHasADepthBuffer) {
  platform::TOffscreenGLContext context(32, 16);
  GLint depthBits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  EXPECT_GE(depthBits, 24);
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  std::uint8_t pixel[4] = {};
  glReadPixels(31, 15, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  EXPECT_EQ(pixel[0], 255);
  EXPECT_EQ(pixel[1], 0);
}
