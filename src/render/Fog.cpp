// Fog volumes drawn over the opaque surfaces.
#include "render/Fog.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "gl/OpenGL.h"
#include "level/FogVolumes.h"
#include "render/FogLayers.h"
#include "render/ShaderStages.h"

namespace {

// Per face, the bounds of its vertices: a face whose rays cannot reach the fog's box costs one
// test a frame.
void FaceBounds(const TQuake3BSP& level, TShadedFrame& frame) {
  if (frame.FaceMins.size() == level.FaceVertices.size()) return;
  frame.FaceMins.assign(level.FaceVertices.size(), {0, 0, 0});
  frame.FaceMaxs.assign(level.FaceVertices.size(), {0, 0, 0});
  for (std::size_t f = 0; f < level.FaceVertices.size(); ++f) {
    const AGLNrf3& vertices = level.FaceVertices[f];
    if (vertices.empty()) continue;
    TVector lo = vertices[0], hi = vertices[0];
    for (const TVector& v : vertices) {
      lo = {std::fmin(lo.X, v.X), std::fmin(lo.Y, v.Y), std::fmin(lo.Z, v.Z)};
      hi = {std::fmax(hi.X, v.X), std::fmax(hi.Y, v.Y), std::fmax(hi.Z, v.Z)};
    }
    frame.FaceMins[f] = lo;
    frame.FaceMaxs[f] = hi;
  }
}

// Whether the box around the eye and the face can meet the fog's box.
bool MayCross(const TFogVolume& fog, const TVector& eye, const TVector& lo, const TVector& hi) {
  return std::fmin(eye.X, lo.X) <= fog.Maxs.X && std::fmax(eye.X, hi.X) >= fog.Mins.X &&
         std::fmin(eye.Y, lo.Y) <= fog.Maxs.Y && std::fmax(eye.Y, hi.Y) >= fog.Mins.Y &&
         std::fmin(eye.Z, lo.Z) <= fog.Maxs.Z && std::fmax(eye.Z, hi.Z) >= fog.Mins.Z;
}

// The faces of one fog into the frame's fog indices and colours; true when any has fog.
bool GatherFog(const TQuake3BSP& level, TShadedFrame& frame, const TFogVolume& fog, const TVector& eye) {
  const TLevelShading& shading = level.Shading;
  frame.FogIndices.clear();
  // A script's NaN would pass through the clamp and convert to a byte undefined.
  const auto channel = [](float c) {
    return std::isfinite(c) ? static_cast<std::uint8_t>(std::clamp(c, 0.0f, 1.0f) * 255.0f + 0.5f) : std::uint8_t{0};
  };
  const std::array<std::uint8_t, 3> rgb{channel(fog.Colour[0]), channel(fog.Colour[1]), channel(fog.Colour[2])};
  for (std::size_t t = 0; t < frame.Groups.size(); ++t) {
    const shaders::TStagePlan& plan = shading.Surfaces[t].Plan;
    if (plan.Stages.empty() || plan.AfterSky || plan.Deformed) continue;
    for (const std::int32_t f : frame.Groups[t].Faces) {
      const std::size_t face = static_cast<std::size_t>(f);
      if (!MayCross(fog, eye, frame.FaceMins[face], frame.FaceMaxs[face])) continue;
      const std::size_t first = shading.Arrays.First[face];
      const std::size_t end = first + level.FaceVertices[face].size();
      bool any = false;
      for (std::size_t i = first; i < end; ++i) {
        const float alpha = FogAlpha(fog, eye, shading.Arrays.Positions[i]);
        frame.FogColours[i] = {rgb[0], rgb[1], rgb[2], channel(alpha)};
        any = any || alpha > 0;
      }
      if (any) AppendFaceTriangles(level, face, frame.FogIndices);
    }
  }
  return !frame.FogIndices.empty();
}

}  // namespace

float FogAlpha(const TFogVolume& fog, const TVector& eye, const TVector& vertex) {
  if (!(fog.OpaqueDistance > 0)) return 0;
  const float alpha = DistanceInside(fog, eye, vertex) / fog.OpaqueDistance;
  return std::isfinite(alpha) ? std::clamp(alpha, 0.0f, 1.0f) : 0.0f;
}

void DrawFog(const TQuake3BSP& level, TShadedFrame& frame, const TVector& eye) {
  const TLevelShading& shading = level.Shading;
  if (shading.FogLayers) {
    DrawFogLayers(shading.Fogs, eye);  // render/FogLayers.h: by each pixel's ray, not per vertex
    return;
  }
  if (std::none_of(shading.Fogs.begin(), shading.Fogs.end(), [](const TFogVolume& f) { return !f.Planes.empty(); }))
    return;
  FaceBounds(level, frame);
  frame.FogColours.resize(shading.Arrays.Positions.size());
  bool drawing = false;
  for (const TFogVolume& fog : shading.Fogs) {
    if (fog.Planes.empty() || !GatherFog(level, frame, fog, eye)) continue;
    if (!drawing) {
      drawing = true;
      OpenGL.glDisable(GL_TEXTURE_2D);
      OpenGL.glEnable(GL_BLEND);
      OpenGL.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      OpenGL.glDepthMask(GL_FALSE);
      OpenGL.glDepthFunc(GL_LEQUAL);
      OpenGL.glEnableClientState(GL_COLOR_ARRAY);
      OpenGL.glColorPointer(4, GL_UNSIGNED_BYTE, 0, frame.FogColours.data());
      OpenGL.glVertexPointer(3, GL_FLOAT, 0, shading.Arrays.Positions.data());
    }
    OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(frame.FogIndices.size()), GL_UNSIGNED_INT,
                          frame.FogIndices.data());
  }
  if (!drawing) return;
  OpenGL.glDisableClientState(GL_COLOR_ARRAY);
  OpenGL.glColor4f(1, 1, 1, 1);
  OpenGL.glDepthFunc(GL_LESS);
  OpenGL.glDepthMask(GL_TRUE);
  OpenGL.glDisable(GL_BLEND);
  OpenGL.glEnable(GL_TEXTURE_2D);
}
