#include "render/FastPath.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "gl/Multitexture.h"
#include "gl/OpenGL.h"
#include "render/Frustum.h"
#include "render/Q3BSP_lighting.h"
#include "render/Q3BSP_render.h"
#include "render/Q3BSP_shaders.h"
#include "render/RenderCache.h"


namespace {

using TInView = TDrawBatch::TInView;

// How far (level units) in front of a face's culled side the eye must be for the face to be left
// out: one seen edge on covers no pixel either way, and rounding decides nothing.
constexpr float kEdgeOn = 0.25f;

// The cluster the faces were marked from: the frozen position's while visibility is frozen.
TVector MarkedFrom(const TVector& cameraPosition, const TRenderOptions& options) {
  return options.FreezeVisibility ? options.FreezePosition : cameraPosition;
}

// Whether the GL would cull the polygon face seen from the eye (on the side its wound normal
// points to when side is +1, the other when -1); a face seen edge on is kept.
bool SeenFromCulledSide(const TFaceRun& run, const TBackFaces& back) {
  const TVector& n = run.Winding;
  const float dx = back.Eye.X - run.Corner.X, dy = back.Eye.Y - run.Corner.Y, dz = back.Eye.Z - run.Corner.Z;
  const float along = back.Side * (n.X * dx + n.Y * dy + n.Z * dz);
  const float length = std::sqrt(n.X * n.X + n.Y * n.Y + n.Z * n.Z);
  return along > kEdgeOn * length;
}

void CullBatch(TDrawBatch& batch, const TFrustum& frustum, const TBackFaces& back, TFastFrame& frame) {
  batch.InView.clear();
  batch.LargeInView.assign(batch.LargeFaces.size(), 0);
  batch.FacesInView = 0;
  const TBoxSide whole = Classify(frustum, batch.Box);
  if (whole == TBoxSide::Outside || (whole == TBoxSide::Inside && back.Side == 0)) {
    const bool in = whole == TBoxSide::Inside;
    batch.View = in ? TInView::All : TInView::None;
    std::fill(batch.LargeInView.begin(), batch.LargeInView.end(), in ? 1 : 0);
    batch.FacesInView = in ? static_cast<std::int32_t>(batch.Faces.size() + batch.LargeFaces.size()) : 0;
    return;
  }
  std::int32_t small = 0;
  for (const TFaceRun& run : batch.Faces) {
    if (whole == TBoxSide::Across && Classify(frustum, run.Box) == TBoxSide::Outside) continue;
    if (back.Side != 0 && SeenFromCulledSide(run, back)) {
      ++frame.BackFaces;
      continue;
    }
    ++small;
    batch.InView.insert(batch.InView.end(), batch.Indices.begin() + run.First,
                        batch.Indices.begin() + run.First + run.Count);
  }
  const bool all = small == static_cast<std::int32_t>(batch.Faces.size());
  batch.View = all ? TInView::All : small == 0 ? TInView::None : TInView::Part;
  batch.FacesInView = small;
  for (std::size_t i = 0; i < batch.LargeFaces.size(); ++i) {
    batch.LargeInView[i] = whole == TBoxSide::Inside || Classify(frustum, batch.LargeFaces[i].Box) != TBoxSide::Outside;
    batch.FacesInView += batch.LargeInView[i];
  }
}

// Which side of a face the GL culls now: +1 the side its wound normal points to (front faces
// culled, counter-clockwise front), -1 the other, 0 none (culling off, or both sides culled).
float CulledSide() {
  if (!OpenGL.glIsEnabled(GL_CULL_FACE)) return 0;
  GLint mode = GL_BACK, front = GL_CCW;
  OpenGL.glGetIntegerv(GL_CULL_FACE_MODE, &mode);
  OpenGL.glGetIntegerv(GL_FRONT_FACE, &front);
  if (mode == GL_FRONT_AND_BACK) return 0;
  return (mode == GL_FRONT) == (front == GL_CCW) ? 1.0f : -1.0f;
}

// Unit 1's (or 2's) coordinates, leaving unit 0's client state active.
void SetUnitCoords(GLenum unit, const AGLNrf2& coords) {
  OpenGL13.glClientActiveTexture(unit);
  OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, coords.data());
  OpenGL13.glClientActiveTexture(GL_TEXTURE0);
}

// The indices this frame draws of the batch, and their count.
const std::vector<std::uint32_t>& DrawnIndices(const TDrawBatch& batch) {
  return batch.View == TInView::Part ? batch.InView : batch.Indices;
}

// The gathered faces in one call, then each large face in view from its own arrays. `coords` and
// `faceCoords` are the texture coordinates of the unit drawn (or of the pass); with
// `lightmapUnit`, unit 1 gets the lightmap coordinates too, with `detailUnit` unit 2 unit 0's.
void DrawBatch(const TQuake3BSP& level, const TDrawBatch& batch, const AGLNrf2& coords,
               const std::vector<AGLNrf2>& faceCoords, bool lightmapUnit, bool detailUnit = false) {
  const std::vector<std::uint32_t>& indices = DrawnIndices(batch);
  if (batch.View != TInView::None && !indices.empty()) {
    if (lightmapUnit) SetUnitCoords(GL_TEXTURE1, batch.LightmapCoords);
    if (detailUnit) SetUnitCoords(GL_TEXTURE2, coords);
    OpenGL.glVertexPointer(3, GL_FLOAT, 0, batch.Positions.data());
    OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, coords.data());
    OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
  }
  for (std::size_t i = 0; i < batch.LargeFaces.size(); ++i) {
    if (batch.LargeInView[i] == 0) continue;
    const std::size_t face = batch.LargeFaces[i].First;
    if (lightmapUnit) SetUnitCoords(GL_TEXTURE1, level.FaceLightmapCoords[face]);
    if (detailUnit) SetUnitCoords(GL_TEXTURE2, faceCoords[face]);
    OpenGL.glVertexPointer(3, GL_FLOAT, 0, level.FaceVertices[face].data());
    OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, faceCoords[face].data());
    const std::vector<std::uint32_t>& own = level.FaceIndices[face];
    if (!own.empty())
      OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(own.size()), GL_UNSIGNED_INT, own.data());
    else
      OpenGL.glDrawArrays(GL_TRIANGLE_FAN, 0, static_cast<GLsizei>(level.FaceVertices[face].size()));
  }
}

// The image of a planned stage (a clampMap's own texture; white for an image that is missing, as
// the stages draw it).
GLuint StageImage(const TQuake3BSP& level, const TShadedSurface& surface, std::size_t planned) {
  const std::size_t stage = surface.Plan.Stages[planned].Stage;
  if (stage < surface.StageTextures.size() && !surface.StageTextures[stage].empty() && surface.StageTextures[stage][0] != 0)
    return surface.StageTextures[stage][0];
  return level.Shading.WhiteTexture;
}

// The batch's image: under --shaders its image stage's, else the texture's slot.
GLuint BatchImage(const TQuake3BSP& level, const TDrawBatch& batch, bool shaded) {
  const auto t = static_cast<std::size_t>(batch.Texture);
  return shaded ? StageImage(level, level.Shading.Surfaces[t], 0) : level.SurfaceTextures[t];
}

// The batch's detail stage under --shaders (a still image multiplied over image and lightmap), or
// null.
const TShadedSurface* DetailOf(const TQuake3BSP& level, const TDrawBatch& batch, bool shaded) {
  if (!shaded) return nullptr;
  const TShadedSurface& surface = level.Shading.Surfaces[static_cast<std::size_t>(batch.Texture)];
  return surface.Plan.OnePassDetail ? &surface : nullptr;
}

// The active unit's texture matrix: `matrix` as OpenGL takes it, or the identity for null.
void SetTextureMatrix(const float* matrix) {
  GLint mode = GL_MODELVIEW;
  OpenGL.glGetIntegerv(GL_MATRIX_MODE, &mode);
  OpenGL.glMatrixMode(GL_TEXTURE);
  if (matrix != nullptr) OpenGL.glLoadMatrixf(matrix);
  else OpenGL.glLoadIdentity();
  OpenGL.glMatrixMode(static_cast<GLenum>(mode));
}

// The detail stage's texture matrix (scales and fixed transforms: the same at every time).
void LoadDetailMatrix(const TShadedSurface& surface) {
  SetTextureMatrix(shaders::EvaluateStage(*surface.Shader, surface.Plan.Stages[2], 0.0).Matrix);
}

// Where the GL has no third unit (or no second): the detail stages as a pass of their own over
// the pixels the batches drew, blended as their stages say.
void DrawDetailPass(const TQuake3BSP& level, const TDrawLists& lists, bool shaded) {
  bool any = false;
  for (const TDrawBatch& batch : lists.Batches) {
    const TShadedSurface* detail = DetailOf(level, batch, shaded);
    if (batch.FacesInView == 0 || detail == nullptr) continue;
    if (!any) {
      OpenGL.glDepthFunc(GL_EQUAL);
      OpenGL.glEnable(GL_BLEND);
      any = true;
    }
    OpenGL.glBlendFunc(GL_DST_COLOR, detail->Plan.DetailTwice ? GL_SRC_COLOR : GL_ZERO);
    OpenGL.glBindTexture(GL_TEXTURE_2D, StageImage(level, *detail, 2));
    LoadDetailMatrix(*detail);
    const bool twoSided = level.Shading.States[static_cast<std::size_t>(batch.Texture)].TwoSided;
    if (twoSided) OpenGL.glDisable(GL_CULL_FACE);
    DrawBatch(level, batch, batch.Coords, level.FaceTexCoords, false);
    if (twoSided) OpenGL.glEnable(GL_CULL_FACE);
    SetTextureMatrix(nullptr);
  }
  if (!any) return;
  OpenGL.glDisable(GL_BLEND);
  OpenGL.glDepthFunc(GL_LESS);
}

// The texture's own state under --shaders: its alpha test and whether both sides are drawn.
void ApplyTextureState(const TQuake3BSP& level, const TDrawBatch& batch, bool shaded) {
  if (!shaded) return;
  const shaders::TDrawState& state = level.Shading.States[static_cast<std::size_t>(batch.Texture)];
  SetAlphaTest(state.AlphaTest);
  if (state.TwoSided) OpenGL.glDisable(GL_CULL_FACE);
}

void RestoreTextureState(const TQuake3BSP& level, const TDrawBatch& batch, bool shaded) {
  if (shaded && level.Shading.States[static_cast<std::size_t>(batch.Texture)].TwoSided)
    OpenGL.glEnable(GL_CULL_FACE);
}

// A unit that multiplies its texture into what the unit before gave, at `scale`, clamped: unit 1
// the lightmap at twice the product (the colour of the two passes' blend), unit 2 a detail image
// (its scale set per batch). Alpha is unit 0's, so an alpha test decides as in the first pass.
void BeginModulateUnit(GLenum unit, GLint scale) {
  OpenGL13.glActiveTexture(unit);
  OpenGL.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
  OpenGL.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
  OpenGL.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PREVIOUS);
  OpenGL.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_TEXTURE);
  OpenGL.glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, scale);
  OpenGL.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
  OpenGL.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_PREVIOUS);
  OpenGL13.glClientActiveTexture(unit);
  OpenGL.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL13.glClientActiveTexture(GL_TEXTURE0);
  OpenGL13.glActiveTexture(GL_TEXTURE0);
}

// The unit back as the rest of the program expects it: off, MODULATE at scale 1, the identity
// texture matrix, no coordinates; unit 0 active.
void EndModulateUnit(GLenum unit) {
  OpenGL13.glActiveTexture(unit);
  OpenGL.glDisable(GL_TEXTURE_2D);
  OpenGL.glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, 1);
  OpenGL.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  SetTextureMatrix(nullptr);
  OpenGL13.glClientActiveTexture(unit);
  OpenGL.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL13.glClientActiveTexture(GL_TEXTURE0);
  OpenGL13.glActiveTexture(GL_TEXTURE0);
}

bool HasDetail(const TQuake3BSP& level, const TDrawLists& lists, bool shaded) {
  return std::any_of(lists.Batches.begin(), lists.Batches.end(), [&](const TDrawBatch& batch) {
    return batch.FacesInView > 0 && DetailOf(level, batch, shaded) != nullptr;
  });
}

void DrawOnePass(const TQuake3BSP& level, const TDrawLists& lists, const TDrawOrder& order, bool shaded, GLint units,
                 TFastFrame& frame) {
  BeginModulateUnit(GL_TEXTURE1, level.Lighting.GameLight ? 1 : 2);
  const bool detailPass = HasDetail(level, lists, shaded);
  const bool thirdUnit = detailPass && units >= 3;
  if (thirdUnit) BeginModulateUnit(GL_TEXTURE2, 1);
  bool secondUnitOn = false, thirdUnitOn = false;
  for (const std::uint32_t b : order.Batches) {
    const TDrawBatch& batch = lists.Batches[b];
    if (batch.FacesInView == 0) continue;
    const bool lit = batch.Lightmap >= 0;
    OpenGL13.glActiveTexture(GL_TEXTURE1);
    if (lit != secondUnitOn) (lit ? OpenGL.glEnable : OpenGL.glDisable)(GL_TEXTURE_2D);
    secondUnitOn = lit;
    if (lit) OpenGL.glBindTexture(GL_TEXTURE_2D, level.LightmapTextures[static_cast<std::size_t>(batch.Lightmap)]);
    if (thirdUnit) {
      const TShadedSurface* detail = DetailOf(level, batch, shaded);
      OpenGL13.glActiveTexture(GL_TEXTURE2);
      if ((detail != nullptr) != thirdUnitOn) (detail ? OpenGL.glEnable : OpenGL.glDisable)(GL_TEXTURE_2D);
      thirdUnitOn = detail != nullptr;
      if (detail) {
        OpenGL.glBindTexture(GL_TEXTURE_2D, StageImage(level, *detail, 2));
        OpenGL.glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, detail->Plan.DetailTwice ? 2 : 1);
        LoadDetailMatrix(*detail);
      }
    }
    OpenGL13.glActiveTexture(GL_TEXTURE0);
    OpenGL.glBindTexture(GL_TEXTURE_2D, BatchImage(level, batch, shaded));
    ApplyTextureState(level, batch, shaded);
    // Unit 1's (and unit 2's) coordinates are set also when it is off: its array stays enabled,
    // and must never point at another batch's shorter one.
    DrawBatch(level, batch, batch.Coords, level.FaceTexCoords, true, thirdUnit);
    RestoreTextureState(level, batch, shaded);
    ++frame.Batches;
  }
  if (thirdUnit) EndModulateUnit(GL_TEXTURE2);
  EndModulateUnit(GL_TEXTURE1);
  frame.Passes = 1;
  if (detailPass && !thirdUnit) {
    if (shaded) OpenGL.glDisable(GL_ALPHA_TEST);
    DrawDetailPass(level, lists, shaded);
    frame.Passes = 2;
  }
}

// Without two units: the batches in the two passes, the lightmap multiplied in where the first
// pass left its depth, as the plain frame does.
void DrawTwoPasses(const TQuake3BSP& level, const TDrawLists& lists, const TDrawOrder& order, bool shaded,
                   TFastFrame& frame) {
  for (const std::uint32_t b : order.Batches) {
    const TDrawBatch& batch = lists.Batches[b];
    if (batch.FacesInView == 0) continue;
    OpenGL.glBindTexture(GL_TEXTURE_2D, BatchImage(level, batch, shaded));
    ApplyTextureState(level, batch, shaded);
    DrawBatch(level, batch, batch.Coords, level.FaceTexCoords, false);
    RestoreTextureState(level, batch, shaded);
    ++frame.Batches;
  }
  if (shaded) OpenGL.glDisable(GL_ALPHA_TEST);
  OpenGL.glDepthFunc(GL_EQUAL);
  OpenGL.glEnable(GL_BLEND);
  SetLightBlend(level);
  for (const TDrawBatch& batch : lists.Batches) {
    if (batch.FacesInView == 0 || batch.Lightmap < 0) continue;
    OpenGL.glBindTexture(GL_TEXTURE_2D, level.LightmapTextures[static_cast<std::size_t>(batch.Lightmap)]);
    const bool twoSided = shaded && level.Shading.States[static_cast<std::size_t>(batch.Texture)].TwoSided;
    if (twoSided) OpenGL.glDisable(GL_CULL_FACE);
    DrawBatch(level, batch, batch.LightmapCoords, level.FaceLightmapCoords, false);
    if (twoSided) OpenGL.glEnable(GL_CULL_FACE);
  }
  OpenGL.glDisable(GL_BLEND);
  OpenGL.glDepthFunc(GL_LESS);
  frame.Passes = 2;
  if (HasDetail(level, lists, shaded)) {
    DrawDetailPass(level, lists, shaded);
    frame.Passes = 3;
  }
}

}  // namespace

void CullDrawLists(TDrawLists& lists, const TFrustum& frustum, TFastFrame& frame, const TBackFaces& back,
                   const TQuake3BSP* shaded) {
  for (TDrawBatch& batch : lists.Batches) {
    // A shader drawing both sides (cull none) keeps its faces' backs.
    const bool twoSided = shaded != nullptr && shaded->Shading.States[static_cast<std::size_t>(batch.Texture)].TwoSided;
    const std::int32_t backFaces = frame.BackFaces;
    CullBatch(batch, frustum, twoSided ? TBackFaces{} : back, frame);
    // Faces turned away are in view (as --at counts them), only not sent to the GL.
    frame.FacesDrawn += batch.FacesInView + frame.BackFaces - backFaces;
  }
  frame.FacesCulled = lists.BatchedFaces - frame.FacesDrawn;
}

void DrawFastSurfaces(const TQuake3BSP& level, TRenderCache& cache, const TVector& cameraPosition,
                      const TRenderOptions& options) {
  const TPassTimes times = cache.Fast.PassTimes;  // started by the frame
  cache.Fast = {};
  cache.Fast.PassTimes = times;
  TDrawLists& lists = cache.DrawLists;
  const TDrawListKey key = DrawListKey(level, MarkedFrom(cameraPosition, options), options);
  if (!lists.Built || !(lists.Key == key)) {
    BuildDrawLists(lists, level, key);
    cache.Fast.ListsBuilt = true;
  }
  // Under --shaders the stages' groups count the frame's faces.
  if (!key.Shaded) VisibleFaceCount += lists.VisibleFaces;
  // Every batch is culled before the first draw, against the view the caller set up.
  // Near to far, so that the depth test turns hidden fragments away before they are textured; the
  // runs are put in order before the culling gathers them.
  cache.Fast.Sorted = UpdateDrawOrder(cache.DrawOrder, lists, cameraPosition);
  // Faces turned away from the eye are left out here, on the side the GL would cull them.
  CullDrawLists(lists, FrustumOf(CurrentClipMatrix()), cache.Fast, {cameraPosition, CulledSide()},
                key.Shaded ? &level : nullptr);
  const TMultitextureSupport support = CheckMultitexture();
  if (support.Usable)
    DrawOnePass(level, lists, cache.DrawOrder, key.Shaded, support.Units, cache.Fast);
  else
    DrawTwoPasses(level, lists, cache.DrawOrder, key.Shaded, cache.Fast);
  if (key.Shaded) OpenGL.glDisable(GL_ALPHA_TEST);
  if (options.VertexLight && !key.Shaded) {
    // Faces lit by their vertex colours are batched without a lightmap; their own pass multiplies
    // the colours in where they were drawn, as it does after the two passes. Under --shaders it
    // follows the stages of the other opaque surfaces.
    OpenGL.glDepthFunc(GL_EQUAL);
    OpenGL.glEnable(GL_BLEND);
    SetLightBlend(level);
    DrawVertexLitFaces(level, cache.VertexLit, level.Lighting.VertexLitFaces, key.AllSurfaces);
    OpenGL.glDisable(GL_BLEND);
    OpenGL.glDepthFunc(GL_LESS);
  }
}
