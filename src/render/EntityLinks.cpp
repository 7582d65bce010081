// Links and trigger volumes over the level (--mode entities, F7, and the inspected entity's).
#include "render/EntityLinks.h"

#include <GL/gl.h>

#include <cmath>

#include "gl/OpenGL.h"
#include "render/ItemModels.h"

namespace {

constexpr float kLinkInset = 10;     // the line stops short of the markers' boxes (16 units)
constexpr float kArrowLength = 12, kArrowHalfWidth = 5;

TVector Add(const TVector& a, const TVector& b, float scale) {
  return {a.X + b.X * scale, a.Y + b.Y * scale, a.Z + b.Z * scale};
}

void AppendLink(TMarkerArrays& arrays, const TVector& from, const TVector& to) {
  const TVector d{to.X - from.X, to.Y - from.Y, to.Z - from.Z};
  const float length = std::sqrt(d.X * d.X + d.Y * d.Y + d.Z * d.Z);
  if (!(length > 0) || !std::isfinite(length)) return;
  const TVector u{d.X / length, d.Y / length, d.Z / length};
  const float inset = length > 4 * kLinkInset ? kLinkInset : 0;
  const TVector start = Add(from, u, inset), tip = Add(to, u, -inset);
  // The arrowhead lies in the vertical plane of the line (a level line: the horizontal one), so
  // that it reads from above as well as from the side.
  TVector side{-u.Y, u.X, 0};
  const float sideLength = std::sqrt(side.X * side.X + side.Y * side.Y);
  side = sideLength > 1e-3f ? TVector{side.X / sideLength, side.Y / sideLength, 0} : TVector{1, 0, 0};
  const TVector back = Add(tip, u, -kArrowLength);
  const TVector ends[6] = {start, tip, tip, Add(back, side, kArrowHalfWidth), tip, Add(back, side, -kArrowHalfWidth)};
  for (const TVector& end : ends) {
    arrays.Lines.push_back(end);
    arrays.LineColours.push_back(kLinkColour);
  }
}

void AppendBox(TMarkerArrays& arrays, const TVector& a, const TVector& b, std::array<std::uint8_t, 4> colour) {
  const TVector corner[8] = {{a.X, a.Y, a.Z}, {b.X, a.Y, a.Z}, {b.X, b.Y, a.Z}, {a.X, b.Y, a.Z},
                             {a.X, a.Y, b.Z}, {b.X, a.Y, b.Z}, {b.X, b.Y, b.Z}, {a.X, b.Y, b.Z}};
  constexpr int kSides[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  constexpr int kEdges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                 {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  for (const auto& sideCorners : kSides)
    for (const int c : sideCorners) {
      arrays.Quads.push_back(corner[c]);
      arrays.QuadColours.push_back(colour);
    }
  colour[3] = 255;
  for (const auto& edge : kEdges)
    for (const int c : edge) {
      arrays.Lines.push_back(corner[c]);
      arrays.LineColours.push_back(colour);
    }
}

void Clear(TMarkerArrays& arrays) {
  arrays.Quads.clear();
  arrays.Lines.clear();
  arrays.QuadColours.clear();
  arrays.LineColours.clear();
}

// The arrays drawn, quads blended, lines two pixels wide; the state put back as it was.
void DrawArrays(TMarkerArrays& arrays, bool overWalls) {
  GLfloat lineWidthWas = 1;
  GLint blendSourceWas = GL_ONE, blendDestinationWas = GL_ZERO;
  OpenGL.glGetFloatv(GL_LINE_WIDTH, &lineWidthWas);
  OpenGL.glGetIntegerv(GL_BLEND_SRC, &blendSourceWas);
  OpenGL.glGetIntegerv(GL_BLEND_DST, &blendDestinationWas);
  const GLboolean blendWas = OpenGL.glIsEnabled(GL_BLEND), depthWas = OpenGL.glIsEnabled(GL_DEPTH_TEST);
  const GLboolean cullWas = OpenGL.glIsEnabled(GL_CULL_FACE), textureWas = OpenGL.glIsEnabled(GL_TEXTURE_2D);
  const GLboolean coordsWas = OpenGL.glIsEnabled(GL_TEXTURE_COORD_ARRAY), vertexWas = OpenGL.glIsEnabled(GL_VERTEX_ARRAY);
  OpenGL.glDisable(GL_TEXTURE_2D);
  OpenGL.glDisable(GL_CULL_FACE);
  if (overWalls) OpenGL.glDisable(GL_DEPTH_TEST);
  OpenGL.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL.glEnableClientState(GL_VERTEX_ARRAY);
  OpenGL.glEnableClientState(GL_COLOR_ARRAY);
  if (!arrays.Quads.empty()) {
    OpenGL.glEnable(GL_BLEND);
    OpenGL.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    OpenGL.glDepthMask(GL_FALSE);
    OpenGL.glVertexPointer(3, GL_FLOAT, 0, arrays.Quads.data());
    OpenGL.glColorPointer(4, GL_UNSIGNED_BYTE, 0, arrays.QuadColours.data());
    OpenGL.glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(arrays.Quads.size()));
    OpenGL.glDepthMask(GL_TRUE);
    OpenGL.glBlendFunc(static_cast<GLenum>(blendSourceWas), static_cast<GLenum>(blendDestinationWas));
    if (!blendWas) OpenGL.glDisable(GL_BLEND);
  }
  DrawMarkerLines(arrays, lineWidthWas);
  if (!vertexWas) OpenGL.glDisableClientState(GL_VERTEX_ARRAY);
  if (coordsWas) OpenGL.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  if (depthWas) OpenGL.glEnable(GL_DEPTH_TEST);
  if (cullWas) OpenGL.glEnable(GL_CULL_FACE);
  if (textureWas) OpenGL.glEnable(GL_TEXTURE_2D);
  OpenGL.glColor4ub(255, 255, 255, 255);
}

}  // namespace

void DrawMarkerLines(const TMarkerArrays& arrays, float lineWidthWas) {
  OpenGL.glLineWidth(2);
  OpenGL.glVertexPointer(3, GL_FLOAT, 0, arrays.Lines.data());
  OpenGL.glColorPointer(4, GL_UNSIGNED_BYTE, 0, arrays.LineColours.data());
  OpenGL.glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(arrays.Lines.size()));
  OpenGL.glLineWidth(lineWidthWas);
  OpenGL.glDisableClientState(GL_COLOR_ARRAY);
}

void DrawEntityLinks(const TQuake3BSP& level, TMarkerArrays& arrays, std::optional<std::size_t> only, bool overWalls) {
  Clear(arrays);
  const std::vector<TPlacedEntity>& places = level.Things.Places;
  for (const TEntityLink& link : level.Things.Links) {
    const std::size_t from = static_cast<std::size_t>(link.From), to = static_cast<std::size_t>(link.To);
    if (from >= places.size() || to >= places.size()) continue;
    if (only && from != *only && to != *only) continue;
    AppendLink(arrays, places[from].Position, places[to].Position);
  }
  if (!arrays.Lines.empty()) DrawArrays(arrays, overWalls);
}

void DrawTriggerBoxes(const TQuake3BSP& level, TMarkerArrays& arrays) {
  Clear(arrays);
  const TMarkerColour c = FamilyColour(TEntityFamily::Trigger);
  for (const TTriggerBox& box : level.Things.TriggerBoxes) AppendBox(arrays, box.Mins, box.Maxs, {c.R, c.G, c.B, kTriggerOpacity});
  if (!arrays.Quads.empty()) DrawArrays(arrays, false);
}
