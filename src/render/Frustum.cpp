#include "render/Frustum.h"

#include <GL/gl.h>

#include "gl/OpenGL.h"

TMatrix CurrentClipMatrix() {
  TMatrix projection{}, modelView{};
  OpenGL.glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
  OpenGL.glGetFloatv(GL_MODELVIEW_MATRIX, modelView.data());
  return Multiply(projection, modelView);
}
