// Drawing the stages of --shaders. A texture group's visible triangles are index lists into the
// joined vertex arrays, rebuilt only when the marked faces change; each stage then costs its
// state changes and one draw (one per lightmap for a lightmap stage), however many faces it has.
#include "render/ShaderStages.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "gl/OpenGL.h"
#include "level/Q3BSP_surfaces.h"

namespace {

void BuildGroup(const TQuake3BSP& level, std::size_t t, bool allSurfaces, TShadedGroup& group) {
  const bool drawnState = level.Shading.States[t].Drawn;
  std::map<std::int32_t, std::vector<GLuint>> byLightmap;
  for (const std::int32_t f : level.TextureFaces[t]) {
    const std::size_t face = static_cast<std::size_t>(f);
    if (level.FaceVisible[face] == 0) continue;
    // As in the plain frame: with every surface drawn only faces that are drawn count.
    const bool drawn = FrameDrawsFace(level, face, allSurfaces);
    if (allSurfaces && !drawn) continue;
    ++group.Visible;
    if (!drawn || !drawnState) continue;
    if (level.Shading.Arrays.First[face] == TShadedArrays::kNotJoined) {
      group.Large.push_back(f);
      continue;
    }
    group.Faces.push_back(f);
    AppendFaceTriangles(level, face, byLightmap[level.Faces[face].LightmapIndex]);
  }
  for (auto& [lightmap, indices] : byLightmap) {
    group.Ranges.push_back({lightmap, group.Indices.size(), indices.size()});
    group.Indices.insert(group.Indices.end(), indices.begin(), indices.end());
  }
}

bool Billboard(const TQuake3BSP& level, std::size_t face) {
  const TBSPFace& f = level.Faces[face];
  if (f.FaceType != kBillboardFace || f.TextureIndex < 0 || f.TextureIndex >= level.TextureCount) return false;
  const TShadedSurface& surface = level.Shading.Surfaces[static_cast<std::size_t>(f.TextureIndex)];
  return !surface.Plan.Stages.empty();
}

// Moves the visible faces of a deformed group, from the joined arrays into the frame's buffers.
void DeformFaces(const TQuake3BSP& level, TShadedFrame& frame, const shaders::TShader& shader,
                 const TShadedGroup& group, const TVector& eye, double seconds) {
  const TShadedArrays& arrays = level.Shading.Arrays;
  for (const std::int32_t f : group.Faces) {
    const std::size_t first = arrays.First[static_cast<std::size_t>(f)];
    const std::size_t n = level.FaceVertices[static_cast<std::size_t>(f)].size();
    std::copy_n(arrays.Positions.begin() + static_cast<std::ptrdiff_t>(first), n,
                frame.Positions.begin() + static_cast<std::ptrdiff_t>(first));
    std::copy_n(arrays.Normals.begin() + static_cast<std::ptrdiff_t>(first), n,
                frame.Normals.begin() + static_cast<std::ptrdiff_t>(first));
    const shaders::TDeformFace vertices{std::span(frame.Positions).subspan(first, n),
                                        std::span(frame.Normals).subspan(first, n),
                                        std::span(arrays.TexCoords).subspan(first, n)};
    for (const shaders::TDeform& deform : shader.Deforms) {
      if (deform.Kind == shaders::TDeformKind::AutoSprite || deform.Kind == shaders::TDeformKind::AutoSprite2)
        shaders::AutoSprite(vertices.Positions, eye, deform.Kind == shaders::TDeformKind::AutoSprite2);
      else
        shaders::ApplyDeform(deform, seconds, vertices);
    }
  }
}

// tcGen environment: the eye's direction mirrored in the normal, as coordinates (the t the other
// way round, like the surface coordinates).
void EnvironmentCoords(const TQuake3BSP& level, TShadedFrame& frame, const TShadedGroup& group, bool deformed,
                       const TVector& eye) {
  const TShadedArrays& arrays = level.Shading.Arrays;
  const AGLNrf3& positions = deformed ? frame.Positions : arrays.Positions;
  const AGLNrf3& normals = deformed ? frame.Normals : arrays.Normals;
  for (const std::int32_t f : group.Faces) {
    const std::size_t first = arrays.First[static_cast<std::size_t>(f)];
    const std::size_t end = first + level.FaceVertices[static_cast<std::size_t>(f)].size();
    for (std::size_t i = first; i < end; ++i) {
      TVector v{eye.X - positions[i].X, eye.Y - positions[i].Y, eye.Z - positions[i].Z};
      const float length = std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z);
      if (length > 0 && std::isfinite(length)) v = {v.X / length, v.Y / length, v.Z / length};
      const TVector& n = normals[i];
      const float d = 2 * (n.X * v.X + n.Y * v.Y + n.Z * v.Z);
      const float ry = n.Y * d - v.Y, rz = n.Z * d - v.Z;
      frame.EnvCoords[i] = {0.5f + ry * 0.5f, -(0.5f - rz * 0.5f)};
    }
  }
}

// The frame's buffers the size of the joined arrays, made once for a level that needs them.
void SizeBuffers(const TLevelShading& shading, TShadedFrame& frame) {
  const std::size_t n = shading.Arrays.Positions.size();
  bool deformed = false, environment = false;
  for (const TShadedSurface& s : shading.Surfaces) {
    deformed = deformed || s.Plan.Deformed;
    environment = environment || s.Plan.Environment;
  }
  if (deformed && frame.Positions.size() != n) {
    frame.Positions.resize(n);
    frame.Normals.resize(n);
  }
  if (environment && frame.EnvCoords.size() != n) frame.EnvCoords.resize(n);
}

}  // namespace

void AppendFaceTriangles(const TQuake3BSP& level, std::size_t face, std::vector<GLuint>& indices) {
  const GLuint base = level.Shading.Arrays.First[face];
  const std::vector<GLuint>& own = level.FaceIndices[face];
  if (!own.empty()) {
    for (const GLuint i : own) indices.push_back(base + i);
  } else {
    const GLuint n = static_cast<GLuint>(level.FaceVertices[face].size());
    for (GLuint i = 1; i + 1 < n; ++i) indices.insert(indices.end(), {base, base + i, base + i + 1});
  }
}

std::int32_t UpdateShadedGroups(const TQuake3BSP& level, TShadedFrame& frame, bool allSurfaces) {
  if (frame.Built && frame.AllSurfaces == allSurfaces && frame.Marked == level.FaceVisible)
    return frame.VisibleTotal;
  frame.Marked = level.FaceVisible;
  frame.AllSurfaces = allSurfaces;
  frame.Built = true;
  frame.Groups.assign(static_cast<std::size_t>(level.TextureCount), {});
  frame.VisibleTotal = 0;
  for (std::size_t t = 0; t < frame.Groups.size(); ++t) {
    BuildGroup(level, t, allSurfaces, frame.Groups[t]);
    frame.VisibleTotal += frame.Groups[t].Visible;
  }
  frame.Billboards.clear();
  frame.SkyFaces.clear();
  for (std::size_t f = 0; f < level.Faces.size(); ++f) {
    if (level.FaceVisible[f] == 0) continue;
    if (Billboard(level, f)) frame.Billboards.push_back(static_cast<std::int32_t>(f));
    const std::int32_t t = level.Faces[f].TextureIndex;
    if (t >= 0 && t < level.TextureCount && level.Shading.States[static_cast<std::size_t>(t)].Sky)
      frame.SkyFaces.push_back(static_cast<std::int32_t>(f));
  }
  std::stable_sort(frame.Billboards.begin(), frame.Billboards.end(), [&level](std::int32_t a, std::int32_t b) {
    return level.Faces[static_cast<std::size_t>(a)].TextureIndex < level.Faces[static_cast<std::size_t>(b)].TextureIndex;
  });
  return frame.VisibleTotal;
}

std::array<GLint, 4> SkyArea(const TQuake3BSP& level, const TShadedFrame& frame) {
  GLint viewport[4] = {0, 0, 0, 0};
  OpenGL.glGetIntegerv(GL_VIEWPORT, viewport);
  if (frame.SkyFaces.empty()) return {viewport[0], viewport[1], 0, 0};
  GLdouble m[16], p[16];
  OpenGL.glGetDoublev(GL_MODELVIEW_MATRIX, m);
  OpenGL.glGetDoublev(GL_PROJECTION_MATRIX, p);
  double x0 = 1, y0 = 1, x1 = -1, y1 = -1;  // normalised device coordinates
  bool whole = false;
  std::vector<std::array<double, 4>> clips;
  for (const std::int32_t f : frame.SkyFaces) {
    clips.clear();
    int outside[6] = {0, 0, 0, 0, 0, 0};  // vertices beyond each side of the view volume
    for (const TVector& v : level.FaceVertices[static_cast<std::size_t>(f)]) {
      double eye[4];
      std::array<double, 4> c{};
      for (int r = 0; r < 4; ++r) eye[r] = m[r] * v.X + m[4 + r] * v.Y + m[8 + r] * v.Z + m[12 + r];
      for (int r = 0; r < 4; ++r) c[r] = p[r] * eye[0] + p[4 + r] * eye[1] + p[8 + r] * eye[2] + p[12 + r] * eye[3];
      for (int a = 0; a < 3; ++a) {
        outside[2 * a] += c[a] < -c[3];
        outside[2 * a + 1] += c[a] > c[3];
      }
      clips.push_back(c);
    }
    // A face wholly beyond one side is not seen; one that reaches behind the eye is not projected.
    if (std::any_of(std::begin(outside), std::end(outside), [&](int n) { return n == static_cast<int>(clips.size()); }))
      continue;
    for (const auto& c : clips) {
      if (!(c[3] > 1e-6)) whole = true;
      if (whole) break;
      x0 = std::min(x0, c[0] / c[3]), x1 = std::max(x1, c[0] / c[3]);
      y0 = std::min(y0, c[1] / c[3]), y1 = std::max(y1, c[1] / c[3]);
    }
    if (whole) return {viewport[0], viewport[1], viewport[2], viewport[3]};
  }
  if (x0 > x1 || y0 > y1) return {viewport[0], viewport[1], 0, 0};
  const auto window = [](double ndc, GLint origin, GLint size) {
    return origin + static_cast<GLint>(std::clamp((ndc + 1) / 2, 0.0, 1.0) * size);
  };
  const GLint left = window(x0, viewport[0], viewport[2]) - 1, bottom = window(y0, viewport[1], viewport[3]) - 1;
  const GLint right = window(x1, viewport[0], viewport[2]) + 1, top = window(y1, viewport[1], viewport[3]) + 1;
  return {left, bottom, std::max(0, right - left), std::max(0, top - bottom)};
}

void EvaluateShadedFrame(const TQuake3BSP& level, TShadedFrame& frame, const TVector& eye, double seconds) {
  const TLevelShading& shading = level.Shading;
  SizeBuffers(shading, frame);
  frame.Seconds = seconds;
  frame.Values.resize(frame.Groups.size());
  for (std::size_t t = 0; t < frame.Groups.size(); ++t) {
    const TShadedGroup& group = frame.Groups[t];
    const TShadedSurface& surface = shading.Surfaces[t];
    if ((group.Faces.empty() && group.Large.empty()) || !surface.Shader || surface.Plan.Stages.empty()) continue;
    std::vector<shaders::TStageValues>& values = frame.Values[t];
    values.clear();
    for (const shaders::TPlannedStage& stage : surface.Plan.Stages)
      values.push_back(shaders::EvaluateStage(*surface.Shader, stage, seconds));
    if (surface.Plan.Deformed) DeformFaces(level, frame, *surface.Shader, group, eye, seconds);
    if (surface.Plan.Environment) EnvironmentCoords(level, frame, group, surface.Plan.Deformed, eye);
  }
  frame.SkyValues.clear();
  if (shading.Sky.Shader)
    for (const shaders::TPlannedStage& stage : shading.Sky.Plan.Stages)
      frame.SkyValues.push_back(shaders::EvaluateStage(*shading.Sky.Shader, stage, seconds));
}
