#include "render/WorldFog.h"

#include <GL/gl.h>

#include <cmath>

#include "gl/OpenGL.h"
#include "render/FogLayers.h"

namespace {

// The depth a layer at `distance` from the eye has, from the frame's projection (which carries the
// camera too: the rows that give depth and w are the perspective's times a rigid move, so their
// lengths give the perspective's own two numbers). Nothing without perspective.
struct TDepthRows {
  double Scale = 0, Offset = 0;  // z_ndc = Scale + Offset / distance
};

bool DepthRows(TDepthRows& rows) {
  GLdouble m[16];
  OpenGL.glGetDoublev(GL_PROJECTION_MATRIX, m);
  const double w[4] = {m[3], m[7], m[11], m[15]}, z[4] = {m[2], m[6], m[10], m[14]};
  const double length2 = w[0] * w[0] + w[1] * w[1] + w[2] * w[2];
  if (!(length2 > 1e-12)) return false;
  // w = -z_eye; z_clip = A z_eye + B: the z row is -A times the w row plus B in the last place.
  const double a = -(z[0] * w[0] + z[1] * w[1] + z[2] * w[2]) / length2;
  const double b = z[3] + a * w[3];
  const double unit = std::sqrt(length2);  // w counts distance times this
  rows.Scale = -a;
  rows.Offset = b / unit;
  return std::isfinite(rows.Scale) && std::isfinite(rows.Offset);
}

void Layer(double depth, float share, const TWorldFog& fog) {
  OpenGL.glColor4f(fog.Colour[0], fog.Colour[1], fog.Colour[2], share);
  const float z = static_cast<float>(depth);
  OpenGL.glBegin(GL_QUADS);
  OpenGL.glVertex3f(-1, -1, z);
  OpenGL.glVertex3f(1, -1, z);
  OpenGL.glVertex3f(1, 1, z);
  OpenGL.glVertex3f(-1, 1, z);
  OpenGL.glEnd();
}

}  // namespace

void DrawWorldFog(const TWorldFog& fog) {
  TDepthRows rows;
  if (!(fog.Density > 0) || !(fog.Alpha > 0) || !DepthRows(rows)) return;
  GLint matrixModeWas = GL_PROJECTION;
  OpenGL.glGetIntegerv(GL_MATRIX_MODE, &matrixModeWas);
  OpenGL.glMatrixMode(GL_PROJECTION);
  OpenGL.glPushMatrix();
  OpenGL.glLoadIdentity();
  OpenGL.glMatrixMode(GL_MODELVIEW);
  OpenGL.glPushMatrix();
  OpenGL.glLoadIdentity();
  PushFogBlendState();
  // Layer k brings what lies behind it from cover (k-1)/n to k/n of the haze's most: the share
  // of what is left that it takes is the step over what was left.
  float before = 0;
  for (int k = 1; k <= kWorldFogLayers; ++k) {
    const float cover = fog.Alpha * static_cast<float>(k) / kWorldFogLayers;
    // Each layer at the middle of its step, so that the stepped haze is right on average.
    const double distance = fog.DistanceOf(fog.Alpha * (static_cast<float>(k) - 0.5f) / kWorldFogLayers);
    const double depth = rows.Scale + rows.Offset / distance;
    if (!(distance > 0) || !std::isfinite(depth)) break;
    if (depth >= 1) {
      // Beyond the far plane only the pixels nothing covered are left: they take the rest at once.
      Layer(1 - 1e-6, (fog.Alpha - before) / (1 - before), fog);
      break;
    }
    if (depth <= -1) continue;  // nearer than the near plane: the next layer takes its share too
    Layer(depth, (cover - before) / (1 - before), fog);
    before = cover;
  }
  OpenGL.glPopAttrib();
  OpenGL.glPopMatrix();
  OpenGL.glMatrixMode(GL_PROJECTION);
  OpenGL.glPopMatrix();
  OpenGL.glMatrixMode(static_cast<GLenum>(matrixModeWas));
}
