// A real level drawn offscreen, one face at a time, with every triangle added into the picture:
// a pixel covered twice means the face's triangles overlap, so some lie outside the polygon.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "RealLevels.h"
#include "gl/OpenGL.h"
#include "platform/OffscreenContext.h"

namespace {

constexpr int Size = 128;

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
  level.RenderLevel({1e6f, 1e6f, 1e6f});  // outside: every listed face is visible
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
  rendertest::TRealLevel real("oa_dm4");
  TQuake3BSP& level = real.Level;
  level.TextureCount = 1;
  level.SurfaceTextures = {0};
  level.LightmapCount = 0;

  int polygons = 0, overlappingFans = 0;
  for (std::int32_t f = 0; f < level.FaceCount; ++f) {
    const std::size_t face = static_cast<std::size_t>(f);
    if (level.Faces[face].FaceType != 1 || level.FaceIndices[face].empty()) continue;
    if (!ProjectOnto(level, face)) continue;
    const TCoverage triangles = Cover(level, f);
    if (level.FaceVisible[face] == 0) continue;  // listed by no leaf
    ++polygons;
    EXPECT_EQ(triangles.Overlapped, 0) << "face " << f;
    EXPECT_GT(triangles.Covered, Size * Size / 20) << "face " << f;

    // The same face drawn as a fan over its stored order, as a check that the test can see it.
    std::vector<GLuint> indices;
    indices.swap(level.FaceIndices[face]);
    overlappingFans += Cover(level, f).Overlapped > 0;
    indices.swap(level.FaceIndices[face]);
  }
  EXPECT_GT(polygons, 1000);
  EXPECT_GT(overlappingFans, polygons / 2);
  std::printf("oa_dm4: %d polygon faces drawn, %d of them overlap themselves as a fan\n", polygons,
              overlappingFans);
  UnloadOpenGL();
}

}  // namespace
