#pragma once
// The GL state the viewer's start-up and lightmap loading leave, with a projection of one unit per
// pixel over a square of `size` pixels: the frame of the synthetic pixel tests.
#include <GL/gl.h>

namespace testsupport {

inline void OrthographicStartUp(int size) {
  glEnable(GL_DEPTH_TEST);
  glCullFace(GL_FRONT);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, size, 0, size, -1, 1);
}

}  // namespace testsupport
