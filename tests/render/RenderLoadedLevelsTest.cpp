// A real level drawn offscreen, one face at a time, with every triangle added into the picture:
// a pixel covered twice means the face's triangles overlap, so some lie outside the polygon.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "gl/OpenGL.h"
#include "render/RenderCache.h"
#include "support/RealLevels.h"
#include "window/OffscreenContext.h"

namespace {

constexpr int Size = 128;
// Above oa_dm4, in a leaf of cluster -1: every face some leaf lists is visible from there.
constexpr TVector Outside{0, 0, 1e7f};

TVector Cross(TVector a, TVector b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
float Dot(TVector a, TVector b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
TVector Unit(TVector a) {
  const float length = std::sqrt(Dot(a, a));
  return {a.X / length, a.Y / length, a.Z / length};
}

// Looks straight at the face along its normal, the face filling the picture.
bool ProjectOnto(const TQuake3BSP& level, std::size_t face) {
  const TVector normal = level.Faces[face].Normal;
  if (Dot(normal, normal) < 0.5f) return false;
  const TVector n = Unit(normal);
  const TVector right = Unit(Cross(std::fabs(n.Z) < 0.9f ? TVector{0, 0, 1} : TVector{1, 0, 0}, n));
  const TVector up = Cross(n, right);
  float x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
  for (const TVector& v : level.FaceVertices[face]) {
    x0 = std::fmin(x0, Dot(v, right));
    x1 = std::fmax(x1, Dot(v, right));
    y0 = std::fmin(y0, Dot(v, up));
    y1 = std::fmax(y1, Dot(v, up));
  }
  if (x1 - x0 < 1 || y1 - y0 < 1) return false;
  const float view[16] = {right.X, up.X, n.X, 0, right.Y, up.Y, n.Y, 0, right.Z, up.Z, n.Z, 0, 0, 0, 0, 1};
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const double marginX = (x1 - x0) * 0.02, marginY = (y1 - y0) * 0.02;
  glOrtho(x0 - marginX, x1 + marginX, y0 - marginY, y1 + marginY, -1e5, 1e5);
  glMultMatrixf(view);
  return true;
}

struct TPoint {
  double X, Y;
};

// Whether two triangles share interior area (separating axes; touching edges do not count).
bool Overlap(const TPoint (&a)[3], const TPoint (&b)[3]) {
  for (const auto* t : {&a, &b})
    for (int e = 0; e < 3; ++e) {
      const TPoint p = (*t)[e], q = (*t)[(e + 1) % 3];
      const double nx = q.Y - p.Y, ny = p.X - q.X;
      double a0 = INFINITY, a1 = -INFINITY, b0 = INFINITY, b1 = -INFINITY;
      for (int k = 0; k < 3; ++k) {
        a0 = std::fmin(a0, nx * a[k].X + ny * a[k].Y);
        a1 = std::fmax(a1, nx * a[k].X + ny * a[k].Y);
        b0 = std::fmin(b0, nx * b[k].X + ny * b[k].Y);
        b1 = std::fmax(b1, nx * b[k].X + ny * b[k].Y);
      }
      const double slack = 1e-6 * (std::fabs(nx) + std::fabs(ny));
      if (a1 <= b0 + slack || b1 <= a0 + slack) return false;
    }
  return true;
}

// Whether the level itself stores triangles of this face that overlap one another (a few
// merged faces have them); such a face cannot show a clean picture however it is drawn.
bool StoredTrianglesOverlap(const TQuake3BSP& level, std::size_t face) {
  const TVector n = Unit(level.Faces[face].Normal);
  const TVector right = Unit(Cross(std::fabs(n.Z) < 0.9f ? TVector{0, 0, 1} : TVector{1, 0, 0}, n));
  const TVector up = Cross(n, right);
  const std::vector<GLuint>& indices = level.FaceIndices[face];
  std::vector<TPoint> points;
  for (const TVector& v : level.FaceVertices[face]) points.push_back({Dot(v, right), Dot(v, up)});
  for (std::size_t i = 0; i + 2 < indices.size(); i += 3)
    for (std::size_t j = i + 3; j + 2 < indices.size(); j += 3) {
      const TPoint a[3] = {points[indices[i]], points[indices[i + 1]], points[indices[i + 2]]};
      const TPoint b[3] = {points[indices[j]], points[indices[j + 1]], points[indices[j + 2]]};
      if (Overlap(a, b)) return true;
    }
  return false;
}

struct TCoverage {
  int Covered = 0;
  int Overlapped = 0;
};

// Draws only `face`, through RenderLevel, adding 1 to the red channel per triangle covering a pixel.
TCoverage Cover(TQuake3BSP& level, std::int32_t face) {
  level.TextureFaces = {{face}};
  level.TextureFaceCounts = {1};
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glColor4ub(1, 0, 0, 0);
  TRenderCache cache;
  level.RenderLevel(Outside, {}, cache);
  std::vector<std::uint8_t> red(Size * Size);
  glReadPixels(0, 0, Size, Size, GL_RED, GL_UNSIGNED_BYTE, red.data());
  TCoverage coverage;
  for (const std::uint8_t count : red) {
    coverage.Covered += count >= 1;
    coverage.Overlapped += count >= 2;
  }
  return coverage;
}

TEST(RenderLoadedLevels, PolygonTrianglesNeverOverlap) {
  platform::TOffscreenGLContext context(Size, Size);
  LoadOpenGL("opengl32.dll");
  testsupport::TRealLevel real("oa_dm4");
  TQuake3BSP& level = real.Level;
  level.TextureCount = 1;
  level.SurfaceTextures = {0};
  level.LightmapCount = 0;
  ASSERT_EQ(level.Leaves[static_cast<std::size_t>(level.FindLeaf(Outside))].Cluster, -1);

  int polygons = 0, overlappingFans = 0, storedOverlaps = 0;
  for (std::int32_t f = 0; f < level.FaceCount; ++f) {
    const std::size_t face = static_cast<std::size_t>(f);
    if (level.Faces[face].FaceType != 1 || level.FaceIndices[face].empty()) continue;
    if (!ProjectOnto(level, face)) continue;
    const TCoverage triangles = Cover(level, f);
    if (level.FaceVisible[face] == 0) continue;  // listed by no leaf
    ++polygons;
    if (StoredTrianglesOverlap(level, face)) {
      ++storedOverlaps;
      EXPECT_GT(triangles.Overlapped, 0) << "face " << f;
    } else {
      EXPECT_EQ(triangles.Overlapped, 0) << "face " << f;
    }
    EXPECT_GT(triangles.Covered, Size * Size / 20) << "face " << f;

    // The same face drawn as a fan over its stored order, as a check that the test can see it.
    std::vector<GLuint> indices;
    indices.swap(level.FaceIndices[face]);
    overlappingFans += Cover(level, f).Overlapped > 0;
    indices.swap(level.FaceIndices[face]);
  }
  EXPECT_GT(polygons, 1000);
  EXPECT_GT(overlappingFans, polygons / 2);
  EXPECT_LE(storedOverlaps, 3);
  std::printf("oa_dm4: %d polygon faces drawn, %d of them overlap themselves as a fan, %d are "
              "stored with overlapping triangles\n", polygons, overlappingFans, storedOverlaps);
  UnloadOpenGL();
}

}  // namespace
