#include "support/PixelTest.h"

#include <cstdint>

#include "gl/OpenGL.h"

namespace testsupport {

TPixelTest::TPixelTest(int width, int height, TEntryPoints entryPoints)
    : Context(width, height), EntryPoints(entryPoints) {
  if (EntryPoints == TEntryPoints::PerTest) {
    LoadOpenGL("opengl32.dll");
  } else if (OpenGL.glClear == nullptr) {
    // Also after a per-test fixture of the same program emptied the table.
    InitOpenGLEntryPoints();
  }
}

TPixelTest::~TPixelTest() {
  if (EntryPoints == TEntryPoints::PerTest) UnloadOpenGL();
}

void TPixelTest::ReadBack() {
  Pixels.assign(static_cast<std::size_t>(Context.Width()) * Context.Height() * 4, 0);
  glReadPixels(0, 0, Context.Width(), Context.Height(), GL_RGBA, GL_UNSIGNED_BYTE, Pixels.data());
}

std::array<int, 3> TPixelTest::At(int x, int y) const {
  const std::size_t i = static_cast<std::size_t>((y * Context.Width() + x) * 4);
  return {Pixels[i], Pixels[i + 1], Pixels[i + 2]};
}

GLuint SolidTexture(std::array<int, 3> colour) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  const std::uint8_t texel[3] = {static_cast<std::uint8_t>(colour[0]),
                                 static_cast<std::uint8_t>(colour[1]),
                                 static_cast<std::uint8_t>(colour[2])};
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  return name;
}

}  // namespace testsupport
