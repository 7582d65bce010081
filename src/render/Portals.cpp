#include "render/Portals.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <optional>
#include <cmath>
#include <vector>

#include "gl/OpenGL.h"
#include "level/Portals.h"
#include "level/Q3BSP_visibility.h"
#include "render/FastPath.h"
#include "render/Frustum.h"
#include "render/ItemModels.h"
#include "render/Q3BSP_render.h"
#include "render/Q3BSP_shaders.h"

namespace {

using TWindowBox = std::array<GLint, 4>;

double Ahead(const TPortalView& view, const TVector& eye) {
  return static_cast<double>(view.Normal.X) * eye.X + static_cast<double>(view.Normal.Y) * eye.Y +
         static_cast<double>(view.Normal.Z) * eye.Z - view.Distance;
}

double DistanceSquared(const TVector& a, const TVector& b) {
  const double x = a.X - b.X, y = a.Y - b.Y, z = a.Z - b.Z;
  return x * x + y * y + z * z;
}

// The visible portal faces seen from their front, nearest first, at most kMostPortalViews.
std::vector<const TPortalView*> ViewsInSight(const TQuake3BSP& level, const TVector& eye) {
  std::vector<const TPortalView*> views;
  for (const TPortalView& view : level.Shading.PortalViews)
    if (level.FaceVisible[static_cast<std::size_t>(view.Face)] != 0 && Ahead(view, eye) > 0.1) views.push_back(&view);
  std::sort(views.begin(), views.end(), [&](const TPortalView* a, const TPortalView* b) {
    return DistanceSquared(a->Centre, eye) < DistanceSquared(b->Centre, eye);
  });
  if (views.size() > kMostPortalViews) views.resize(kMostPortalViews);
  return views;
}

void DrawFace(const TQuake3BSP& level, std::int32_t f) {
  const std::size_t face = static_cast<std::size_t>(f);
  OpenGL.glVertexPointer(3, GL_FLOAT, 0, level.FaceVertices[face].data());
  const std::vector<GLuint>& indices = level.FaceIndices[face];
  if (!indices.empty())
    OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
  else
    OpenGL.glDrawArrays(GL_TRIANGLE_FAN, 0, static_cast<GLsizei>(level.FaceVertices[face].size()));
}

// The face's pixels in the stencil buffer as `mark`, nothing else written.
void MarkFace(const TQuake3BSP& level, const TPortalView& view, GLint mark) {
  OpenGL.glStencilFunc(GL_ALWAYS, mark, 0xff);
  OpenGL.glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
  OpenGL.glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  OpenGL.glDepthMask(GL_FALSE);
  OpenGL.glDisable(GL_DEPTH_TEST);  // an earlier view's depths must not hide this face
  OpenGL.glDisable(GL_CULL_FACE);
  OpenGL.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  DrawFace(level, view.Face);
  OpenGL.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL.glEnable(GL_CULL_FACE);
  OpenGL.glEnable(GL_DEPTH_TEST);
  OpenGL.glDepthMask(GL_TRUE);
  OpenGL.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  OpenGL.glStencilFunc(GL_EQUAL, mark, 0xff);
  OpenGL.glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
}

// The level as the shaded frame draws it, seen from `eye` with the faces marked from `from`, its
// items too, without views of its own portals.
void DrawLevelFrom(TQuake3BSP& level, TRenderCache& cache, const TVector& from, const TVector& eye,
                   const TRenderOptions& options) {
  const bool allSurfaces = options.Surfaces == TSurfaceSet::All;
  TShadedFrame& frame = cache.Shaded;
  UpdateShadedGroups(level, frame, allSurfaces);
  frame.VertexLight = options.VertexLight;
  frame.OnePassDrawn = options.Fast;
  EvaluateShadedFrame(level, frame, eye, options.Time);
  SetPortalAlphas(level, frame, eye);
  // The frame's count is of the faces the eye sees itself.
  const std::int32_t counted = VisibleFaceCount;
  if (options.Fast) DrawFastSurfaces(level, cache, eye, options);
  DrawShadedPasses(level, cache, eye, allSurfaces, options.VertexLight, nullptr);
  VisibleFaceCount = counted;
  if (options.Items) {
    TRenderOptions items = options;
    items.Markers = false;
    DrawLevelThings(level, cache.Markers, from, items, eye);
  }
}

// The window box (x, y, width, height) of the face's pixels; nothing when the face is off the
// picture, the whole viewport when it reaches behind the eye.
std::optional<TWindowBox> WindowBox(const TQuake3BSP& level, const TPortalView& view) {
  TWindowBox viewport{};
  OpenGL.glGetIntegerv(GL_VIEWPORT, viewport.data());
  const TMatrix clip = CurrentClipMatrix();
  double low[2] = {1, 1}, high[2] = {-1, -1};
  for (const TVector& v : level.FaceVertices[static_cast<std::size_t>(view.Face)]) {
    double at[4];
    for (std::size_t r = 0; r < 4; ++r) at[r] = clip[r] * v.X + clip[4 + r] * v.Y + clip[8 + r] * v.Z + clip[12 + r];
    if (!(at[3] > 1e-3)) return viewport;
    for (int k = 0; k < 2; ++k) low[k] = std::min(low[k], at[k] / at[3]), high[k] = std::max(high[k], at[k] / at[3]);
  }
  GLint box[4];
  for (int k = 0; k < 2; ++k) {
    const double size = viewport[static_cast<std::size_t>(k + 2)], start = viewport[static_cast<std::size_t>(k)];
    const double from = std::floor(start + (std::max(low[k], -1.0) + 1) / 2 * size);
    const double to = std::ceil(start + (std::min(high[k], 1.0) + 1) / 2 * size);
    if (!(to > from)) return std::nullopt;
    box[k] = static_cast<GLint>(from), box[k + 2] = static_cast<GLint>(to - from);
  }
  return TWindowBox{box[0], box[1], box[2], box[3]};
}

// The view drawn into the box alone: the projection stretched so that the box fills the viewport,
// which leaves each pixel's ray as it was and culls the level's batches to the box.
class TBoxedView {
 public:
  explicit TBoxedView(const TWindowBox& box) {
    OpenGL.glGetIntegerv(GL_VIEWPORT, Viewport.data());
    OpenGL.glGetIntegerv(GL_MATRIX_MODE, &ModeWas);
    OpenGL.glGetFloatv(GL_PROJECTION_MATRIX, Projection.data());
    double ndc[4];
    for (std::size_t k = 0; k < 2; ++k) {
      ndc[k] = 2.0 * (box[k] - Viewport[k]) / Viewport[k + 2] - 1;
      ndc[k + 2] = 2.0 * (box[k] + box[k + 2] - Viewport[k]) / Viewport[k + 2] - 1;
    }
    TMatrix stretch{};
    stretch[0] = static_cast<float>(2 / (ndc[2] - ndc[0]));
    stretch[5] = static_cast<float>(2 / (ndc[3] - ndc[1]));
    stretch[12] = static_cast<float>(-(ndc[2] + ndc[0]) / (ndc[2] - ndc[0]));
    stretch[13] = static_cast<float>(-(ndc[3] + ndc[1]) / (ndc[3] - ndc[1]));
    stretch[10] = stretch[15] = 1;
    OpenGL.glMatrixMode(GL_PROJECTION);
    OpenGL.glLoadMatrixf(Multiply(stretch, Projection).data());
    OpenGL.glViewport(box[0], box[1], box[2], box[3]);
    OpenGL.glScissor(box[0], box[1], box[2], box[3]);
    OpenGL.glEnable(GL_SCISSOR_TEST);
  }
  ~TBoxedView() {
    OpenGL.glDisable(GL_SCISSOR_TEST);
    OpenGL.glViewport(Viewport[0], Viewport[1], Viewport[2], Viewport[3]);
    OpenGL.glMatrixMode(GL_PROJECTION);
    OpenGL.glLoadMatrixf(Projection.data());
    OpenGL.glMatrixMode(static_cast<GLenum>(ModeWas));
  }
  TBoxedView(const TBoxedView&) = delete;
  TBoxedView& operator=(const TBoxedView&) = delete;

 private:
  TWindowBox Viewport{};
  GLint ModeWas = GL_MODELVIEW;
  TMatrix Projection{};
};

void DrawView(TQuake3BSP& level, TRenderCache& cache, const TPortalView& view, const TWindowBox& box,
              const TVector& eye, const TRenderOptions& options) {
  if (!view.Mirror) {
    std::fill(level.FaceVisible.begin(), level.FaceVisible.end(), 0);
    MarkVisibleFaces(level, view.Camera);
  }
  const TBoxedView boxed(box);
  OpenGL.glClear(GL_DEPTH_BUFFER_BIT);
  OpenGL.glMatrixMode(GL_MODELVIEW);
  OpenGL.glPushMatrix();
  OpenGL.glMultMatrixd(view.Matrix.data());
  OpenGL.glClipPlane(GL_CLIP_PLANE0, view.Clip.data());
  OpenGL.glEnable(GL_CLIP_PLANE0);
  GLint frontWas = GL_CCW;
  OpenGL.glGetIntegerv(GL_FRONT_FACE, &frontWas);
  // A reflection turns every face's winding round.
  if (view.Mirror) OpenGL.glFrontFace(frontWas == GL_CCW ? GL_CW : GL_CCW);
  DrawLevelFrom(level, cache, view.Mirror ? eye : view.Camera, PortalEye(view, eye), options);
  OpenGL.glFrontFace(static_cast<GLenum>(frontWas));
  OpenGL.glDisable(GL_CLIP_PLANE0);
  OpenGL.glMatrixMode(GL_MODELVIEW);
  OpenGL.glPopMatrix();
}

// The faces' own depth, pushed a little back so that their stages still pass at it: the frame's
// surfaces behind a face, and its sky, leave the view alone.
void WriteFaceDepths(const TQuake3BSP& level, const std::vector<const TPortalView*>& views) {
  OpenGL.glClear(GL_DEPTH_BUFFER_BIT);
  OpenGL.glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  OpenGL.glPolygonOffset(1.0f, 1.0f);
  OpenGL.glEnable(GL_POLYGON_OFFSET_FILL);
  OpenGL.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  for (const TPortalView* view : views) DrawFace(level, view->Face);
  OpenGL.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL.glDisable(GL_POLYGON_OFFSET_FILL);
  OpenGL.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

}  // namespace

void DrawPortalViews(TQuake3BSP& level, TRenderCache& cache, const TVector& eye, const TRenderOptions& options) {
  cache.PortalViewsDrawn = 0;
  if (!level.Shading.Portals || level.Shading.PortalViews.empty()) return;
  const std::vector<const TPortalView*> views = ViewsInSight(level, eye);
  if (views.empty()) return;
  GLint stencilBits = 0;
  OpenGL.glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
  if (stencilBits < 2) return;
  cache.Portals.resize(kMostPortalViews);
  cache.KeptMarks = level.FaceVisible;
  OpenGL.glClearStencil(0);
  OpenGL.glClear(GL_STENCIL_BUFFER_BIT);
  OpenGL.glEnable(GL_STENCIL_TEST);
  std::vector<const TPortalView*> drawn;
  for (std::size_t k = 0; k < views.size(); ++k) {
    const std::optional<TWindowBox> box = WindowBox(level, *views[k]);
    if (!box) continue;  // off the picture
    MarkFace(level, *views[k], static_cast<GLint>(k + 1));
    DrawView(level, cache.Portals[k], *views[k], *box, eye, options);
    level.FaceVisible = cache.KeptMarks;
    drawn.push_back(views[k]);
  }
  OpenGL.glDisable(GL_STENCIL_TEST);
  if (!drawn.empty()) WriteFaceDepths(level, drawn);
  cache.PortalViewsDrawn = static_cast<std::int32_t>(drawn.size());
}

void SetPortalAlphas(const TQuake3BSP& level, TShadedFrame& frame, const TVector& eye) {
  if (!level.Shading.Portals) return;
  for (const TPortalView& view : level.Shading.PortalViews) {
    const std::size_t t = static_cast<std::size_t>(view.Texture);
    if (level.FaceVisible[static_cast<std::size_t>(view.Face)] == 0 || t >= frame.Values.size()) continue;
    const TShadedSurface& surface = level.Shading.Surfaces[t];
    const float distance = static_cast<float>(std::sqrt(DistanceSquared(view.Centre, eye)));
    for (std::size_t i = 0; i < surface.Plan.Stages.size() && i < frame.Values[t].size(); ++i) {
      const std::size_t s = surface.Plan.Stages[i].Stage;
      if (!surface.Shader || s >= surface.Shader->Stages.size()) continue;
      const float range = surface.Shader->Stages[s].PortalRange;
      if (range > 0) frame.Values[t][i].Colour[3] = std::min(1.0f, distance / range);
    }
  }
}
