#include "render/FragmentCount.h"

#include "gl/Multitexture.h"
#include "gl/OpenGL.h"
#include "level/Q3BSP.h"
#include "render/RenderCache.h"

namespace {

// The pixels whose depth the surfaces set nearer than the far plane: a window-sized quad at depth
// 1 passes "greater" exactly there, and writes nothing.
std::uint32_t CountCovered(GLuint query) {
  const GLboolean alphaTestWas = OpenGL.glIsEnabled(GL_ALPHA_TEST);
  GLint matrixModeWas = GL_MODELVIEW;
  OpenGL.glGetIntegerv(GL_MATRIX_MODE, &matrixModeWas);
  OpenGL.glDisable(GL_ALPHA_TEST);
  OpenGL.glDisable(GL_CULL_FACE);
  OpenGL.glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  OpenGL.glDepthMask(GL_FALSE);
  OpenGL.glDepthFunc(GL_GREATER);
  OpenGL.glDepthRange(1.0, 1.0);
  for (const GLenum mode : {GL_PROJECTION, GL_MODELVIEW}) {
    OpenGL.glMatrixMode(mode);
    OpenGL.glPushMatrix();
    OpenGL.glLoadIdentity();
  }
  OpenGL15.glBeginQuery(GL_SAMPLES_PASSED, query);
  OpenGL.glBegin(GL_QUADS);
  OpenGL.glVertex2f(-1, -1);
  OpenGL.glVertex2f(1, -1);
  OpenGL.glVertex2f(1, 1);
  OpenGL.glVertex2f(-1, 1);
  OpenGL.glEnd();
  OpenGL15.glEndQuery(GL_SAMPLES_PASSED);
  for (const GLenum mode : {GL_PROJECTION, GL_MODELVIEW}) {
    OpenGL.glMatrixMode(mode);
    OpenGL.glPopMatrix();
  }
  OpenGL.glMatrixMode(static_cast<GLenum>(matrixModeWas));
  OpenGL.glDepthRange(0.0, 1.0);
  OpenGL.glDepthFunc(GL_LESS);
  OpenGL.glDepthMask(GL_TRUE);
  OpenGL.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  OpenGL.glEnable(GL_CULL_FACE);
  if (alphaTestWas) OpenGL.glEnable(GL_ALPHA_TEST);
  GLuint covered = 0;
  OpenGL15.glGetQueryObjectuiv(query, GL_QUERY_RESULT, &covered);
  return covered;
}

}  // namespace

TFragmentCount::TFragmentCount(const TRenderOptions& options) {
  if (!options.Fast || !options.CountFragments || !OpenGL15.Usable()) return;
  OpenGL15.glGenQueries(2, Queries);
  OpenGL15.glBeginQuery(GL_SAMPLES_PASSED, Queries[0]);
  Counting = true;
}

TFragmentCount::~TFragmentCount() {
  if (Queries[0] != 0 && OpenGL15.glDeleteQueries != nullptr) OpenGL15.glDeleteQueries(2, Queries);
}

void TFragmentCount::Finish(TFastFrame& frame) {
  if (!Counting) return;
  Counting = false;
  OpenGL15.glEndQuery(GL_SAMPLES_PASSED);
  GLuint fragments = 0;
  OpenGL15.glGetQueryObjectuiv(Queries[0], GL_QUERY_RESULT, &fragments);
  frame.Fragments = fragments;
  frame.CoveredPixels = CountCovered(Queries[1]);
}
