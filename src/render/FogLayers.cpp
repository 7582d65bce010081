#include "render/FogLayers.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "gl/OpenGL.h"

namespace {

struct TPoint {
  double X = 0, Y = 0, Z = 0;
};
TPoint operator+(TPoint a, TPoint b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
TPoint operator-(TPoint a, TPoint b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
TPoint operator*(TPoint a, double s) { return {a.X * s, a.Y * s, a.Z * s}; }
double Dot(TPoint a, TPoint b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
TPoint Cross(TPoint a, TPoint b) { return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X}; }
TPoint Of(const TVector& v) { return {v.X, v.Y, v.Z}; }

// The view's axis in the world and the near plane's depth, from the frame's matrices: the w row of
// projection x model-view is the depth along the axis times the row's length.
struct TView {
  TPoint Eye, Axis, Right, Up;
  double Near = 0;
  TPoint X, Y, W;  // the x, y and w rows of projection x model-view, and their last columns
  double X3 = 0, Y3 = 0, W3 = 0;
};

bool ReadView(const TVector& eye, TView& view) {
  GLdouble p[16], m[16];
  OpenGL.glGetDoublev(GL_PROJECTION_MATRIX, p);
  OpenGL.glGetDoublev(GL_MODELVIEW_MATRIX, m);
  // Row r of P x M, column c: sum over k of P[k * 4 + r] x M[c * 4 + k] (column-major).
  const auto row = [&](int r, int c) {
    return p[r] * m[c * 4] + p[4 + r] * m[c * 4 + 1] + p[8 + r] * m[c * 4 + 2] + p[12 + r] * m[c * 4 + 3];
  };
  const TPoint w{row(3, 0), row(3, 1), row(3, 2)}, z{row(2, 0), row(2, 1), row(2, 2)};
  const double length = std::sqrt(Dot(w, w));
  if (!(length > 1e-9) || !std::isfinite(length)) return false;
  view.Eye = Of(eye);
  view.Axis = w * (1 / length);
  view.X = {row(0, 0), row(0, 1), row(0, 2)};
  view.Y = {row(1, 0), row(1, 1), row(1, 2)};
  view.W = w;
  view.X3 = row(0, 3);
  view.Y3 = row(1, 3);
  view.W3 = row(3, 3);
  // Depth d: z_clip = a d + b and w_clip = d along the axis, so the near plane is where z = -w.
  const double a = Dot(z, view.Axis), b = Dot(z, view.Eye) + row(2, 3);
  view.Near = -b / (a + length);
  const TPoint helper = std::fabs(view.Axis.Z) < 0.9 ? TPoint{0, 0, 1} : TPoint{1, 0, 0};
  view.Right = Cross(view.Axis, helper);
  view.Right = view.Right * (1 / std::sqrt(Dot(view.Right, view.Right)));
  view.Up = Cross(view.Right, view.Axis);
  return std::isfinite(view.Near) && view.Near > 0;
}

using TPolygon = std::vector<TPoint>;

// Keeps the part of the polygon where normal . p - distance <= 0, through `cut`.
void Clip(TPolygon& polygon, TPolygon& cut, const TPoint& normal, double distance) {
  cut.clear();
  for (std::size_t i = 0; i < polygon.size() && polygon.size() >= 3; ++i) {
    const TPoint& a = polygon[i];
    const TPoint& b = polygon[(i + 1) % polygon.size()];
    const double da = Dot(normal, a) - distance, db = Dot(normal, b) - distance;
    if (da <= 0) cut.push_back(a);
    if ((da <= 0) != (db <= 0)) cut.push_back(a + (b - a) * (da / (da - db)));
  }
  polygon.swap(cut);
  if (polygon.size() < 3) polygon.clear();
}

// Keeps the part whose picture's x (or y) lies from `low` to `high` (-1 .. 1 across the view).
void ClipToColumns(TPolygon& polygon, TPolygon& cut, const TPoint& row, double last, const TView& view, double low,
                   double high) {
  // x_clip >= low w_clip: (low W - X) . p + (low W3 - X3) <= 0.
  Clip(polygon, cut, view.W * low - row, last - view.W3 * low);
  Clip(polygon, cut, row - view.W * high, view.W3 * high - last);
}

// The polygon of a plane facing the eye at `depth`, cut to the brush's sides (inside where each
// side's distance is at most 0) and to the view; empty when the plane misses either.
TPolygon Slice(const TFogVolume& fog, const TView& view, double depth) {
  const TPoint lo = Of(fog.Mins), hi = Of(fog.Maxs), centre = (lo + hi) * 0.5;
  const TPoint middle = view.Eye + view.Axis * depth;
  const double half = std::sqrt(Dot(hi - lo, hi - lo)) * 0.5 + std::sqrt(Dot(centre - middle, centre - middle));
  TPolygon polygon{middle + (view.Right + view.Up) * -half, middle + (view.Right - view.Up) * half,
                   middle + (view.Right + view.Up) * half, middle + (view.Up - view.Right) * half};
  TPolygon cut;
  for (const TBSPPlane& side : fog.Planes) Clip(polygon, cut, Of(side.Normal), side.Distance);
  ClipToColumns(polygon, cut, view.X, view.X3, view, -1.001, 1.001);
  ClipToColumns(polygon, cut, view.Y, view.Y3, view, -1.001, 1.001);
  return polygon;
}

// A slice drawn in kFogCells x kFogCells cells of the view, so that the alpha, which grows with
// each ray's slant, is right to within a percent across the slice.
constexpr int kFogCells = 8;

void DrawSlice(const TPolygon& slice, const TView& view, double depth, double thickness, double opaque,
               const float (&colour)[3]) {
  TPolygon column, cell, cut;
  OpenGL.glBegin(GL_TRIANGLES);
  for (int i = 0; i < kFogCells; ++i) {
    column = slice;
    const double x0 = -1 + 2.0 * i / kFogCells, x1 = -1 + 2.0 * (i + 1) / kFogCells;
    ClipToColumns(column, cut, view.X, view.X3, view, i == 0 ? -2 : x0, i + 1 == kFogCells ? 2 : x1);
    for (int j = 0; j < kFogCells && !column.empty(); ++j) {
      cell = column;
      const double y0 = -1 + 2.0 * j / kFogCells, y1 = -1 + 2.0 * (j + 1) / kFogCells;
      ClipToColumns(cell, cut, view.Y, view.Y3, view, j == 0 ? -2 : y0, j + 1 == kFogCells ? 2 : y1);
      // The cell as a fan of triangles, all the slice's cells in one batch.
      for (std::size_t v = 1; v + 1 < cell.size(); ++v)
        for (const TPoint& p : {cell[0], cell[v], cell[v + 1]}) {
          // The ray through p crosses the slice over its thickness x its length over its depth.
          const TPoint ray = p - view.Eye;
          const double along = thickness * std::sqrt(Dot(ray, ray)) / depth;
          OpenGL.glColor4f(colour[0], colour[1], colour[2], FogLayerShare(along / opaque));
          OpenGL.glVertex3d(p.X, p.Y, p.Z);
        }
    }
  }
  OpenGL.glEnd();
}

void DrawVolume(const TFogVolume& fog, const TView& view) {
  const double opaque = fog.OpaqueDistance;
  if (!(opaque > 0) || !std::isfinite(opaque) || fog.Planes.empty()) return;
  // The brush's depth range in view, from its box's corners; only what lies past the near plane.
  double nearest = INFINITY, farthest = -INFINITY;
  for (int corner = 0; corner < 8; ++corner) {
    const TPoint p{(corner & 1) ? fog.Maxs.X : fog.Mins.X, (corner & 2) ? fog.Maxs.Y : fog.Mins.Y,
                   (corner & 4) ? fog.Maxs.Z : fog.Mins.Z};
    const double depth = Dot(p - view.Eye, view.Axis);
    nearest = std::fmin(nearest, depth);
    farthest = std::fmax(farthest, depth);
  }
  // From the eye when it is inside: the slices nearer than the near plane are added to the first
  // one drawn, as the rays crossing them go on into it.
  nearest = std::fmax(nearest, 0.0);
  const double nearPlane = view.Near * 1.001;
  if (!(farthest > nearPlane) || !std::isfinite(farthest)) return;
  // Clamped before the conversion: a tiny opaque distance asks for more layers than an int holds.
  const int layers = static_cast<int>(
      std::clamp(std::ceil((farthest - nearest) / (opaque / kFogLayers) - 1e-6), 1.0, static_cast<double>(kFogLayers)));
  const double step = (farthest - nearest) / layers;
  double carried = 0;
  const auto channel = [](float c) { return std::isfinite(c) ? std::clamp(c, 0.0f, 1.0f) : 0.0f; };
  const float colour[3] = {channel(fog.Colour[0]), channel(fog.Colour[1]), channel(fog.Colour[2])};
  for (int k = 0; k < layers; ++k) {
    // Each layer in the middle of its slice, so that the stepped fog is right on average.
    double depth = nearest + (k + 0.5) * step;
    if (depth < nearPlane) {
      if (nearest + (k + 1) * step < nearPlane) {
        carried += step;
        continue;
      }
      depth = nearPlane;
    }
    const double thickness = step + carried;
    carried = 0;
    const TPolygon slice = Slice(fog, view, depth);
    if (!slice.empty()) DrawSlice(slice, view, depth, thickness, opaque, colour);
  }
}

}  // namespace

float FogLayerShare(double fraction) {
  if (!(fraction > 0)) return 0;
  const double share = 1 - std::pow(255.0, -fraction);
  return std::isfinite(share) ? static_cast<float>(std::clamp(share, 0.0, 1.0)) : 1.0f;
}

void PushFogBlendState() {
  OpenGL.glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
  OpenGL.glDisable(GL_TEXTURE_2D);
  OpenGL.glDisable(GL_CULL_FACE);
  OpenGL.glDisable(GL_ALPHA_TEST);
  OpenGL.glEnable(GL_DEPTH_TEST);
  OpenGL.glDepthFunc(GL_LESS);
  OpenGL.glDepthMask(GL_FALSE);
  OpenGL.glEnable(GL_BLEND);
  OpenGL.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void DrawFogLayers(const std::vector<TFogVolume>& fogs, const TVector& eye) {
  TView view;
  if (std::all_of(fogs.begin(), fogs.end(), [](const TFogVolume& f) { return f.Planes.empty(); }) ||
      !ReadView(eye, view))
    return;
  PushFogBlendState();
  for (const TFogVolume& fog : fogs) DrawVolume(fog, view);
  OpenGL.glPopAttrib();
}
