// Curved surfaces on screen: a synthetic level with two curved surfaces (one of two pieces, one
// sharing its border) and a mesh, loaded with every surface, drawn offscreen and read back against the
// analytic shape; then the real levels with the most curves, looked at from in front of their
// curved surfaces, for background showing through between curved-surface pixels.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "gl/OpenGL.h"
#include "level/Q3BSP_surfaces.h"
#include "render/Q3BSP_render.h"
#include "render/RenderCache.h"
#include "support/BspWriter.h"
#include "support/PixelTest.h"
#include "support/RealLevels.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

namespace {

using testsupport::TBspWriter;

TLevelOptions EverySurface() {
  TLevelOptions options;
  options.Surfaces = TSurfaceSet::All;
  return options;
}

// No surface image, no lightmap: the surfaces are white; the background is a colour no face has.
bool IsBackground(const std::uint8_t* rgba) { return rgba[0] == 255 && rgba[1] == 0 && rgba[2] == 255; }

// Face A: 5 x 3 control points, two pieces side by side over x 8..56, from y = 8 up to a top
// edge that bulges to y = 56 over each piece. Face B: 3 x 3 over x 56..88, y 8..40, whose first
// row is A's last column run downwards. A mesh triangle (72, 48), (80, 60), (88, 48).
constexpr int kWidth = 96, kHeight = 64;

float TopOfA(float x) {
  const float u = std::fmod(x - 8, 24.0f) / 24.0f;
  return 40 + 64 * u * (1 - u);
}
bool InShape(float x, float y) {
  if (y >= 48 && x >= 72 && x <= 88) return y <= 48 + 1.5f * std::min(x - 72, 88 - x);
  if (y < 8) return false;
  if (x >= 8 && x <= 56) return y <= TopOfA(x == 56 ? 55.999f : x);
  return x >= 56 && x <= 88 && y <= 40;
}

TBspWriter CurvedLevel() {
  TBspWriter writer;
  writer.Textures = {TBspWriter::Texture("textures/none/white")};
  const float rows[3][5] = {{8, 8, 8, 8, 8}, {24, 40, 24, 40, 24}, {40, 72, 40, 72, 40}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 5; ++c) writer.Vertices.push_back(TBspWriter::Vertex(8.0f + 12 * c, rows[r][c], 0));
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) writer.Vertices.push_back(TBspWriter::Vertex(56.0f + 16 * r, 40.0f - 16 * c, 0));
  for (const auto& [x, y] : {std::pair{72.0f, 48.0f}, {80.0f, 60.0f}, {88.0f, 48.0f}})
    writer.Vertices.push_back(TBspWriter::Vertex(x, y, 0));
  writer.MeshVertices = {0, 1, 2};
  TBSPFace mesh = TBspWriter::Face(0, 24, 3, -1, kMeshFace);
  mesh.NumMeshVertices = 3;
  TBSPFace a = TBspWriter::Face(0, 0, 15, -1, kPatchFace), b = TBspWriter::Face(0, 15, 9, -1, kPatchFace);
  a.PatchSize[0] = 5;
  a.PatchSize[1] = b.PatchSize[0] = b.PatchSize[1] = 3;
  writer.Faces = {a, b, mesh};
  writer.Planes = {TBSPPlane{{0, 0, 1}, 0}};
  writer.Nodes = {TBspWriter::Node(0, -1, -2)};
  writer.Leaves = {TBspWriter::Leaf(0, 0, 3), TBspWriter::Leaf(1, 0, 0)};
  writer.LeafFaces = {0, 1, 2};
  return writer;
}

class SurfacesPixels : public testsupport::TPixelTest {
 protected:
  SurfacesPixels() : TPixelTest(320, 240) {}

  // The fixed state of start-up and lightmap loading, the projection already set; a frame with
  // `options` on the background, read back from the lower left corner.
  std::vector<std::uint8_t> Draw(TQuake3BSP& level, const TVector& eye, const TRenderOptions& options,
                                 int width, int height) {
    glEnable(GL_DEPTH_TEST);
    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glViewport(0, 0, width, height);
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TRenderCache cache;
    level.RenderLevel(eye, options, cache);
    return ReadBack(width, height);
  }
  static std::vector<std::uint8_t> ReadBack(int width, int height) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
  }

  testsupport::TTempDir Dir;
  testsupport::TScopedWorkingDir WorkingDir{Dir.Path()};
};

}  // namespace

// Every pixel whose centre lies more than a pixel inside the shape is drawn (no gap along the
// piece border at x = 32 or the face border at x = 56), every pixel more than a pixel outside is
// background: the chords of the tessellated top edge stay within a quarter pixel of the curve.
TEST_F(SurfacesPixels, CurvedSurfacesCoverTheirAnalyticShapeWithoutGaps) {
  CurvedLevel().WriteTo("maps/curved.bsp");
  TQuake3BSP level;
  ASSERT_TRUE(level.LoadBSP("maps/curved.bsp", EverySurface()));
  EXPECT_EQ(level.Surfaces.Tessellated, 2);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, kWidth, 0, kHeight, -1, 1);
  const std::vector<std::uint8_t> pixels = Draw(level, {0, 0, 10}, {.Surfaces = TSurfaceSet::All}, kWidth, kHeight);
  EXPECT_EQ(VisibleFaceCount, 3);
  int inside = 0, gaps = 0, spills = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      int votes = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) votes += InShape(x + 0.5f + dx, y + 0.5f + dy);
      const bool background = IsBackground(&pixels[static_cast<std::size_t>(y * kWidth + x) * 4]);
      if (votes == 9) {
        ++inside;
        gaps += background;
      }
      spills += votes == 0 && !background;
    }
  }
  EXPECT_GT(inside, 2000);
  EXPECT_EQ(gaps, 0);
  EXPECT_EQ(spills, 0);
}

// With --shaders, faces larger than the frame's buffer are drawn from their own arrays between the
// batches of small ones: at --tess 64 both curved surfaces are (4225 and 8385 vertices), the mesh
// is batched after them, and the frame is the plain frame's, pixel for pixel.
TEST_F(SurfacesPixels, LargeFacesDrawnFromTheirOwnArraysGiveTheSamePixels) {
  TBspWriter writer = CurvedLevel();
  writer.Trailer.resize(8192);  // a file that may hold that much tessellation (192 bytes a byte)
  writer.WriteTo("maps/curved.bsp");
  TQuake3BSP level;
  TLevelOptions options = EverySurface();
  options.Tessellation = 64;
  options.Shaders = true;
  ASSERT_TRUE(level.LoadBSP("maps/curved.bsp", options));
  ASSERT_EQ(level.FaceVertices[1].size(), 4225u);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, kWidth, 0, kHeight, -1, 1);
  const std::vector<std::uint8_t> plain = Draw(level, {0, 0, 10}, {.Surfaces = TSurfaceSet::All}, kWidth, kHeight);
  const std::vector<std::uint8_t> shaded =
      Draw(level, {0, 0, 10}, {.Shaders = true, .Surfaces = TSurfaceSet::All}, kWidth, kHeight);
  EXPECT_EQ(VisibleFaceCount, 3);
  EXPECT_TRUE(plain == shaded);
  int drawn = 0;
  for (std::size_t p = 0; p < plain.size(); p += 4) drawn += !IsBackground(&plain[p]);
  EXPECT_GT(drawn, 2000) << "the surfaces are drawn";
}

// Three levels with many curved surfaces, each seen from 150 units in front of its 12 largest
// curved surfaces: after the frame, the curved surfaces are drawn again in green where they are
// the nearest surface (equal depth), and no background pixel may lie between two green ones,
// across or up, which is how a crack along a piece or face border would show.
TEST_F(SurfacesPixels, NoCracksBetweenCurvedSurfacePiecesOnRealLevels) {
  constexpr int width = 320, height = 240;
  for (const std::string map : {"oa_dm5", "pul1ctf", "delta"}) {
    SCOPED_TRACE(map);
    testsupport::TRealLevel real(map, false, EverySurface());
    TQuake3BSP& level = real.Level;
    std::vector<std::pair<std::int32_t, std::size_t>> patches;
    for (std::size_t f = 0; f < level.Faces.size(); ++f)
      if (level.Faces[f].FaceType == kPatchFace && SurfaceDrawn(level, f))
        patches.emplace_back(level.Faces[f].NumVertices, f);
    std::sort(patches.rbegin(), patches.rend());
    ASSERT_GE(patches.size(), 12u);
    int cracks = 0, green = 0;
    for (std::size_t k = 0; k < 12; ++k) {
      const std::size_t f = patches[k].second;
      const TVector centre = level.FaceVertices[f][level.FaceVertices[f].size() / 2];
      const TVector normal = level.FaceNormals[f][level.FaceNormals[f].size() / 2];
      const TVector eye{centre.X + 150 * normal.X, centre.Y + 150 * normal.Y, centre.Z + 150 * normal.Z};
      glMatrixMode(GL_PROJECTION);
      glLoadIdentity();
      gluPerspective(80, double{width} / height, 4, 20000);
      gluLookAt(eye.X, eye.Y, eye.Z, centre.X, centre.Y, centre.Z, 0, 0, 1);
      const std::vector<std::uint8_t> frame = Draw(level, eye, {.Surfaces = TSurfaceSet::All}, width, height);

      glDisable(GL_TEXTURE_2D);
      glDepthFunc(GL_EQUAL);
      glColor3f(0, 1, 0);
      for (std::size_t p = 0; p < level.Faces.size(); ++p) {
        if (level.Faces[p].FaceType != kPatchFace || !SurfaceDrawn(level, p) || !level.FaceVisible[p]) continue;
        glVertexPointer(3, GL_FLOAT, 0, level.FaceVertices[p].data());
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(level.FaceIndices[p].size()), GL_UNSIGNED_INT,
                       level.FaceIndices[p].data());
      }
      glColor3f(1, 1, 1);
      glDepthFunc(GL_LESS);
      const std::vector<std::uint8_t> mask = ReadBack(width, height);
      const auto isGreen = [&](int x, int y) {
        const std::uint8_t* p = &mask[static_cast<std::size_t>(y * width + x) * 4];
        return p[0] == 0 && p[1] == 255 && p[2] == 0;
      };
      for (int y = 1; y + 1 < height; ++y) {
        for (int x = 1; x + 1 < width; ++x) {
          green += isGreen(x, y);
          if (!IsBackground(&frame[static_cast<std::size_t>(y * width + x) * 4])) continue;
          cracks += (isGreen(x - 1, y) && isGreen(x + 1, y)) || (isGreen(x, y - 1) && isGreen(x, y + 1));
        }
      }
    }
    EXPECT_GT(green, 12 * 2000);
    EXPECT_EQ(cracks, 0);
  }
}
