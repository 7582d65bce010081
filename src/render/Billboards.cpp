// Flares as squares facing the eye.
#include "render/Billboards.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "gl/OpenGL.h"
#include "render/ShaderStages.h"

namespace {

TVector Cross(TVector a, TVector b) { return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X}; }

bool Unit(TVector& v) {
  const float length = std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z);
  if (!(length > 1e-6f) || !std::isfinite(length)) return false;
  v = {v.X / length, v.Y / length, v.Z / length};
  return true;
}

// One flare's square into the frame's buffers; false when it is not seen.
bool AddFlare(TShadedFrame& frame, const TBSPFace& face, const TVector& eye) {
  const TVector& origin = face.LightmapOrigin;
  TVector toEye{eye.X - origin.X, eye.Y - origin.Y, eye.Z - origin.Z};
  const float distance = std::sqrt(toEye.X * toEye.X + toEye.Y * toEye.Y + toEye.Z * toEye.Z);
  const TVector& n = face.Normal;
  if (n.X * toEye.X + n.Y * toEye.Y + n.Z * toEye.Z < 0) return false;
  const float fade = 1.0f - distance / kFlareFadeDistance;
  if (!(fade > 0) || !Unit(toEye)) return false;
  TVector right = Cross({0, 0, 1}, toEye);
  if (!Unit(right)) right = {0, 1, 0};
  const TVector up = Cross(toEye, right);
  const float r = kFlareRadius;
  // Clockwise as the eye sees it, the side the level's front-face culling keeps.
  const float corners[4][2] = {{-r, -r}, {-r, r}, {r, r}, {r, -r}};
  const TTexCoord coords[4] = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
  const TVector& c = face.LightmapVectors[0];
  const auto channel = [fade](float v) {
    return static_cast<std::uint8_t>(std::clamp(std::isfinite(v) ? v * fade : 0.0f, 0.0f, 1.0f) * 255.0f + 0.5f);
  };
  for (int i = 0; i < 4; ++i) {
    const float a = corners[i][0], b = corners[i][1];
    frame.FlarePositions.push_back({origin.X + a * right.X + b * up.X, origin.Y + a * right.Y + b * up.Y,
                                    origin.Z + a * right.Z + b * up.Z});
    frame.FlareCoords.push_back(coords[i]);
    frame.FlareColours.push_back({channel(c.X), channel(c.Y), channel(c.Z), 255});
  }
  return true;
}

}  // namespace

void DrawBillboards(const TQuake3BSP& level, TShadedFrame& frame, const TVector& eye) {
  if (frame.Billboards.empty()) return;
  frame.FlarePositions.clear();
  frame.FlareCoords.clear();
  frame.FlareColours.clear();
  // Runs of one texture (the list is in texture order): where each starts in the buffers.
  std::vector<std::pair<std::int32_t, std::size_t>> runs;
  for (const std::int32_t f : frame.Billboards) {
    const TBSPFace& face = level.Faces[static_cast<std::size_t>(f)];
    const std::size_t before = frame.FlarePositions.size();
    if (!AddFlare(frame, face, eye)) continue;
    if (runs.empty() || runs.back().first != face.TextureIndex) runs.push_back({face.TextureIndex, before});
  }
  if (runs.empty()) return;
  OpenGL.glEnable(GL_BLEND);
  OpenGL.glBlendFunc(GL_ONE, GL_ONE);
  OpenGL.glDepthMask(GL_FALSE);
  OpenGL.glEnableClientState(GL_COLOR_ARRAY);
  OpenGL.glColorPointer(4, GL_UNSIGNED_BYTE, 0, frame.FlareColours.data());
  OpenGL.glVertexPointer(3, GL_FLOAT, 0, frame.FlarePositions.data());
  OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, frame.FlareCoords.data());
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const std::size_t end = r + 1 < runs.size() ? runs[r + 1].second : frame.FlarePositions.size();
    const GLuint texture = level.SurfaceTextures[static_cast<std::size_t>(runs[r].first)];
    glBindTexture(GL_TEXTURE_2D, texture != 0 ? texture : level.Shading.WhiteTexture);
    OpenGL.glDrawArrays(GL_QUADS, static_cast<GLint>(runs[r].second), static_cast<GLsizei>(end - runs[r].second));
  }
  OpenGL.glDisableClientState(GL_COLOR_ARRAY);
  OpenGL.glColor4f(1, 1, 1, 1);
  OpenGL.glDepthMask(GL_TRUE);
  OpenGL.glDisable(GL_BLEND);
}
