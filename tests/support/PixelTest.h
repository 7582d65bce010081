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

// How long a pixel test's GL entry points stay loaded.
enum class TEntryPoints {
  // Loaded from the system's library for the test and unloaded at its end.
  PerTest,
  // Loaded as the program does at start-up (with its floating-point set-up) by the first test
  // that needs them, and kept to the end of the test program: the paint-pass tests drive the
  // viewer's own start-up state, which never sees the table emptied.
  ForTheProgram,
};

// The fixture of a pixel test: a width x height offscreen context, current while the test runs,
// with the GL entry points loaded.
class TPixelTest : public ::testing::Test {
 protected:
  TPixelTest(int width, int height, TEntryPoints entryPoints = TEntryPoints::PerTest);
  ~TPixelTest() override;

  // Reads the whole frame as RGBA into Pixels, bottom row first.
  void ReadBack();
  // The RGB of a pixel of the last read-back, counted from the bottom left.
  std::array<int, 3> At(int x, int y) const;

  platform::TOffscreenGLContext Context;
  std::vector<std::uint8_t> Pixels;

 private:
  TEntryPoints EntryPoints;
};

// A new 1 x 1 RGB texture of one colour (0 to 255 each), sampled nearest; left bound.
GLuint SolidTexture(std::array<int, 3> colour);

}  // namespace testsupport
