// The sky box of --shaders, drawn after the opaque surfaces of a frame.
#include "render/Q3BSP_sky.h"

#include <GL/gl.h>

#include <array>

#include "gl/OpenGL.h"

namespace {

// A cube around the camera, seen from inside, in the level's axes (z up). Looking along +X one sees
// the "ft" image, along +Y "lf", along -X "bk", along -Y "rt"; "up" and "dn" have their bottom edge
// towards +X and -X respectively. Each side: four corners from the image's bottom left, anticlockwise.
constexpr float S = 64.0f;
constexpr std::array<std::array<float, 12>, 6> SkySides = {{
    {S, -S, -S, -S, -S, -S, -S, -S, S, S, -S, S},   // rt: -Y
    {-S, -S, -S, -S, S, -S, -S, S, S, -S, -S, S},   // bk: -X
    {-S, S, -S, S, S, -S, S, S, S, -S, S, S},       // lf: +Y
    {S, S, -S, S, -S, -S, S, -S, S, S, S, S},       // ft: +X
    {S, S, S, S, -S, S, -S, -S, S, -S, S, S},       // up: +Z
    {-S, S, -S, -S, -S, -S, S, -S, -S, S, S, -S},   // dn: -Z
}};

}  // namespace

// Drawn after the opaque surfaces at the far end of the depth range with an "equal or less" test:
// only the pixels no surface covered receive it, which is the sky behind everything without paying
// for the pixels that surfaces hide. The box is moved to the eye on the model-view matrix, and the
// matrix its caller works on is selected again afterwards: the frame and the overview go on with
// the projection matrix after the level, and their later transforms would otherwise land on the
// model-view matrix.
void DrawSky(const TLevelShading& shading, const TVector& eye) {
  if (shading.SkyBox.empty() && shading.SkyClouds == 0) return;
  GLint matrixModeWas = GL_PROJECTION;
  OpenGL.glGetIntegerv(GL_MATRIX_MODE, &matrixModeWas);
  const float tiles = shading.SkyBox.empty() ? 2.0f : 1.0f;
  const std::array<float, 8> coords = {0, 0, tiles, 0, tiles, tiles, 0, tiles};
  OpenGL.glDisable(GL_CULL_FACE);
  OpenGL.glDisable(GL_ALPHA_TEST);
  OpenGL.glDepthMask(GL_FALSE);
  OpenGL.glDepthRange(1.0, 1.0);
  OpenGL.glDepthFunc(GL_LEQUAL);
  OpenGL.glMatrixMode(GL_MODELVIEW);
  OpenGL.glPushMatrix();
  OpenGL.glTranslatef(eye.X, eye.Y, eye.Z);
  OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, coords.data());
  for (std::size_t side = 0; side < 6; ++side) {
    glBindTexture(GL_TEXTURE_2D, shading.SkyBox.empty() ? shading.SkyClouds : shading.SkyBox[side]);
    OpenGL.glVertexPointer(3, GL_FLOAT, 0, SkySides[side].data());
    OpenGL.glDrawArrays(GL_QUADS, 0, 4);
  }
  OpenGL.glPopMatrix();
  OpenGL.glMatrixMode(static_cast<GLenum>(matrixModeWas));
  OpenGL.glDepthFunc(GL_LESS);
  OpenGL.glDepthRange(0.0, 1.0);
  OpenGL.glDepthMask(GL_TRUE);
  OpenGL.glEnable(GL_CULL_FACE);
}
