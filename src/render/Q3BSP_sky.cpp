// The sky box and cloud layers of --shaders, drawn after the opaque surfaces of a frame.
#include "render/Q3BSP_sky.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "gl/OpenGL.h"
#include "render/ShaderStages.h"

namespace {

// The dome: a sphere of directions around the eye, 32 steps round and 16 from the zenith down,
// its coordinates those of the cloud layer in each direction. Made once, at the first frame's cloud
// height: a level has one sky shader, so the height does not change while the cache lives.
void BuildDome(TShadedFrame& frame, float height) {
  constexpr int kAround = 32, kDown = 16;
  if (!frame.DomePositions.empty()) return;
  for (int i = 0; i <= kDown; ++i) {
    const double polar = std::numbers::pi * i / kDown;
    for (int j = 0; j <= kAround; ++j) {
      const double azimuth = 2 * std::numbers::pi * j / kAround;
      const TVector d{static_cast<float>(std::sin(polar) * std::cos(azimuth)),
                      static_cast<float>(std::sin(polar) * std::sin(azimuth)), static_cast<float>(std::cos(polar))};
      frame.DomePositions.push_back({d.X * kSkyBoxHalfSide, d.Y * kSkyBoxHalfSide, d.Z * kSkyBoxHalfSide});
      frame.DomeCoords.push_back(CloudCoords(d, height));
    }
  }
  for (GLuint i = 0; i < kDown; ++i)
    for (GLuint j = 0; j < kAround; ++j) {
      const GLuint a = i * (kAround + 1) + j, b = a + kAround + 1;
      frame.DomeIndices.insert(frame.DomeIndices.end(), {a, b, a + 1, a + 1, b, b + 1});
    }
}

void DrawBox(const TLevelShading& shading) {
  static constexpr std::array<float, 8> coords = {0, 0, 1, 0, 1, 1, 0, 1};
  OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, coords.data());
  for (std::size_t side = 0; side < 6; ++side) {
    glBindTexture(GL_TEXTURE_2D, shading.SkyBox[side]);
    OpenGL.glVertexPointer(3, GL_FLOAT, 0, (shading.JoinedSky ? kJoinedSkySides : kSkySides)[side].data());
    OpenGL.glDrawArrays(GL_QUADS, 0, 4);
  }
}

// The sky shader's stages over the box, each with its blend and texture matrix of this frame.
void DrawClouds(const TLevelShading& shading, TShadedFrame& frame) {
  const TShadedSurface& sky = shading.Sky;
  BuildDome(frame, sky.Shader->CloudHeight);
  TStageState state;
  state.Pointers(frame.DomePositions.data(), frame.DomeCoords.data());
  for (std::size_t i = 0; i < sky.Plan.Stages.size() && i < frame.SkyValues.size(); ++i) {
    const shaders::TPlannedStage& stage = sky.Plan.Stages[i];
    if (stage.Texture != shaders::TStageTexture::Image) continue;
    const shaders::TStageValues& values = frame.SkyValues[i];
    const std::vector<std::uint32_t>& frames = sky.StageTextures[stage.Stage];
    if (values.Frame >= frames.size() || frames[values.Frame] == 0) continue;
    // Over a far box, even an opaque first layer is the box's; without one it covers.
    state.Blend(stage.Blend, static_cast<GLenum>(stage.Source), static_cast<GLenum>(stage.Destination));
    state.Colours(nullptr, values.Colour);
    state.TexMatrix(values);
    state.Texture(frames[values.Frame]);
    OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(frame.DomeIndices.size()), GL_UNSIGNED_INT,
                          frame.DomeIndices.data());
  }
  state.Blend(false, GL_ONE, GL_ZERO);
  const float white[4] = {1, 1, 1, 1};
  state.Colours(nullptr, white);
  state.TexMatrix(shaders::TStageValues{});
}

}  // namespace

TTexCoord CloudCoords(const TVector& d, float height) {
  // Where the ray from the eye meets a sphere of radius R + h around a point R below the eye.
  const double R = kCloudEarthRadius;
  const double h = std::isfinite(height) ? std::clamp(static_cast<double>(height), 1.0, 65536.0) : 128.0;
  const double dz = d.Z;
  const double distance = -R * dz + std::sqrt(R * R * dz * dz + (R + h) * (R + h) - R * R);
  // t the other way round, like the surfaces' coordinates, so that tcMod moves clouds as it moves
  // surfaces.
  return {static_cast<float>(d.X * distance / kCloudTile), static_cast<float>(-d.Y * distance / kCloudTile)};
}

// Drawn after the opaque surfaces at the far end of the depth range with an "equal or less" test:
// only the pixels no surface covered receive it, which is the sky behind everything without paying
// for the pixels that surfaces hide. The box is moved to the eye on the model-view matrix, and the
// matrix its caller works on is selected again afterwards: the frame and the overview go on with
// the projection matrix after the level, and their later transforms would otherwise land on the
// model-view matrix.
void DrawSky(const TLevelShading& shading, TShadedFrame& frame, const TVector& eye,
             const std::array<GLint, 4>& cloudArea) {
  const bool clouds = shading.Sky.Shader && !shading.Sky.Plan.Stages.empty() && shading.SkyClouds != 0;
  if (shading.SkyBox.empty() && !clouds) return;
  GLint matrixModeWas = GL_PROJECTION;
  OpenGL.glGetIntegerv(GL_MATRIX_MODE, &matrixModeWas);
  OpenGL.glDisable(GL_CULL_FACE);
  OpenGL.glDisable(GL_ALPHA_TEST);
  OpenGL.glDepthMask(GL_FALSE);
  OpenGL.glDepthRange(1.0, 1.0);
  OpenGL.glDepthFunc(GL_LEQUAL);
  OpenGL.glMatrixMode(GL_MODELVIEW);
  OpenGL.glPushMatrix();
  OpenGL.glTranslatef(eye.X, eye.Y, eye.Z);
  if (!shading.SkyBox.empty()) DrawBox(shading);
  // The layers are blended over every pixel they cover; limited to where the sky is seen, they
  // cost nothing over the rest of the window.
  if (clouds && cloudArea[2] > 0 && cloudArea[3] > 0) {
    OpenGL.glScissor(cloudArea[0], cloudArea[1], cloudArea[2], cloudArea[3]);
    OpenGL.glEnable(GL_SCISSOR_TEST);
    DrawClouds(shading, frame);
    OpenGL.glDisable(GL_SCISSOR_TEST);
  }
  OpenGL.glPopMatrix();
  OpenGL.glMatrixMode(static_cast<GLenum>(matrixModeWas));
  OpenGL.glDepthFunc(GL_LESS);
  OpenGL.glDepthRange(0.0, 1.0);
  OpenGL.glDepthMask(GL_TRUE);
  OpenGL.glEnable(GL_CULL_FACE);
}
