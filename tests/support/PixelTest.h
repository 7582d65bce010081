#pragma once
// What the tests that draw share: an offscreen context with the entry-point table loaded and the
// frame read back, and textures of one colour. Linked from bspwalk_testsupport_gl, so that the
// tests of the pure rooms link no GL.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "window/OffscreenContext.h"

namespace testsupport {

// The fixture of a pixel test: a width x height offscreen context, current while the test runs,
// with the GL entry points loaded from the system's library (and unloaded at the end).
class TPixelTest : public ::testing::Test {
 protected:
  TPixelTest(int width, int height);
  ~TPixelTest() override;

  // Reads the whole frame as RGBA into Pixels, bottom row first.
  void ReadBack();
  // The RGB of a pixel of the last read-back, counted from the bottom left.
  std::array<int, 3> At(int x, int y) const;

  platform::TOffscreenGLContext Context;
  std::vector<std::uint8_t> Pixels;
};

// A new 1 x 1 RGB texture of one colour (0 to 255 each), sampled nearest; left bound.
GLuint SolidTexture(std::array<int, 3> colour);

}  // namespace testsupport
