// The view modes of the renderer on a level built in memory, drawn offscreen and read back.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "gl/OpenGL.h"
#include "level/Q3BSP_visibility.h"
#include "render/Q3BSP_render.h"
#include "render/Q3BSP_viewmodes.h"
#include "render/RenderCache.h"
#include "support/PixelTest.h"
#include "support/TestLevels.h"
#include "window/OffscreenContext.h"

namespace {

using testsupport::SolidTexture;
using TColour = std::array<int, 3>;
using TColouring = TRenderOptions::TColouring;
constexpr int Size = 64;

TColour Colour(std::array<std::uint8_t, 3> c) { return {c[0], c[1], c[2]}; }

// Four faces side by side, each 16 pixels wide (x from 16 f + 2 to 16 f + 14), clockwise as seen.
// Face 0: surface image, bright lightmap; 1: surface image, no lightmap; 2: no surface image,
// blue lightmap; 3: surface image, bright lightmap, listed by the other leaf.
// Leaf 0 (x < 32, cluster 2) lists faces 0 to 2, leaf 1 (x >= 32, cluster 7) lists face 3;
// each cluster sees only itself.
const TColour SurfaceColour{200, 100, 40};
const TColour BrightLightmap{255, 192, 128};
const TColour BlueLightmap{60, 90, 120};
const TColour White{255, 255, 255};
const TColour Background{0, 0, 0};

TQuake3BSP ModesLevel() {
  TQuake3BSP level;
  testsupport::SetFaceCount(level, 4);
  const std::int32_t textures[4] = {0, 0, 1, 0}, lightmaps[4] = {0, -1, 1, 0};
  for (std::int32_t f = 0; f < 4; ++f) {
    const float x0 = static_cast<float>(16 * f + 2), x1 = x0 + 12;
    level.Faces[static_cast<std::size_t>(f)].TextureIndex = textures[f];
    level.Faces[static_cast<std::size_t>(f)].LightmapIndex = lightmaps[f];
    testsupport::SetFaceGeometry(level, f, {{x0, 2, 0}, {x0, 62, 0}, {x1, 62, 0}, {x1, 2, 0}},
                                {0, 1, 2, 0, 2, 3});
  }
  testsupport::GroupFaces(level, 2, 2);
  level.SurfaceTextures = {SolidTexture(SurfaceColour), 0};
  level.LightmapTextures = {SolidTexture(BrightLightmap), SolidTexture(BlueLightmap)};
  testsupport::AddNode(level, testsupport::AddPlane(level, {1, 0, 0}, 32), -2, -1);
  testsupport::AddLeaf(level, 2, {0, 1, 2});
  testsupport::AddLeaf(level, 7, {3});
  testsupport::SetVisData(level, 8, 1);
  testsupport::SetVisible(level, 2, 2);
  testsupport::SetVisible(level, 7, 7);
  return level;
}

class RenderModes : public testsupport::TPixelTest {
 protected:
  RenderModes() : TPixelTest(Size, Size) {}

  void Draw(TQuake3BSP& level, const TRenderOptions& options, TVector camera = {8, 8, 1}) {
    glEnable(GL_DEPTH_TEST);
    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, Size, 0, Size, -1, 1);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TRenderCache cache;
    level.RenderLevel(camera, options, cache);
    ReadBack();
  }
  TColour FaceCentre(int face) const { return At(16 * face + 8, 32); }
};

bool Near(TColour actual, TColour expected) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(actual[c] - expected[c]) > 2) return false;
  return true;
}

struct TColouringCase {
  TColouring Colouring;
  TColour Face0, Face1, Face2;
};

TEST_F(RenderModes, EachColouringShowsWhatItNames) {
  const TColour cluster2 = Colour(ClusterColour(2));
  const TColouringCase cases[] = {
      // Surface images alone: no lightmap contribution, a face without an image stays white.
      {TColouring::SurfaceImages, SurfaceColour, SurfaceColour, White},
      // Lightmaps alone: the texels as loaded (not doubled), white where there is no lightmap.
      {TColouring::Lightmaps, BrightLightmap, White, BlueLightmap},
      // Clusters: the leaf's cluster colour, flat.
      {TColouring::Clusters, cluster2, cluster2, cluster2},
  };
  for (const TColouringCase& c : cases) {
    TQuake3BSP level = ModesLevel();
    TRenderOptions options;
    options.Colouring = c.Colouring;
    Draw(level, options);
    SCOPED_TRACE(static_cast<int>(c.Colouring));
    EXPECT_PRED2(Near, FaceCentre(0), c.Face0);
    EXPECT_PRED2(Near, FaceCentre(1), c.Face1);
    EXPECT_PRED2(Near, FaceCentre(2), c.Face2);
    EXPECT_EQ(FaceCentre(3), Background) << "cluster 7 is not in cluster 2's row";
    EXPECT_EQ(VisibleFaceCount, 3);
    // The state the plain frame leaves.
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    GLint value[2] = {};
    glGetIntegerv(GL_DEPTH_FUNC, value);
    EXPECT_EQ(value[0], GL_LESS);
    glGetIntegerv(GL_POLYGON_MODE, value);
    EXPECT_EQ(value[0], GL_FILL);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
}

TEST_F(RenderModes, ClusterColoursDifferBetweenNeighbours) {
  for (std::int32_t c = 0; c < 64; ++c) {
    const TColour a = Colour(ClusterColour(c)), b = Colour(ClusterColour(c + 1));
    EXPECT_GT(std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]), 120) << c;
  }
  EXPECT_EQ(Colour(ClusterColour(-1)), Colour(NoClusterColour));
}

TEST_F(RenderModes, WireframeDrawsTheEdgesOverThePicture) {
  TQuake3BSP level = ModesLevel();
  TRenderOptions options;
  options.Wireframe = true;
  Draw(level, options);
  const TColour wire = Colour(WireframeColour);
  // Face 1 is x 18..30, y 2..62: its left and right edges, and its diagonal from (18, 2) to
  // (30, 62), are lines; the rest is the surface colour (no lightmap on face 1).
  // Where exactly a line on a pixel border lands is the rasterizer's choice: within one pixel.
  std::vector<int> wireColumns;
  for (int x = 16; x < 32; ++x)
    if (At(x, 32) == wire) wireColumns.push_back(x);
  ASSERT_EQ(wireColumns.size(), 3u);
  EXPECT_NEAR(wireColumns[0], 18, 1);
  EXPECT_NEAR(wireColumns[1], 24, 1) << "the diagonal crosses the middle";
  EXPECT_NEAR(wireColumns[2], 30, 1);
  EXPECT_EQ(At(21, 48), SurfaceColour);
  EXPECT_EQ(At(27, 16), SurfaceColour);
  EXPECT_EQ(At(56, 32), Background) << "no lines for faces that are not marked";
  GLint mode[2] = {};
  glGetIntegerv(GL_POLYGON_MODE, mode);
  EXPECT_EQ(mode[0], GL_FILL);
}

TEST_F(RenderModes, FrozenVisibilityMarksFromTheFrozenPosition) {
  TQuake3BSP level = ModesLevel();
  TRenderOptions options;
  options.Colouring = TColouring::SurfaceImages;
  options.FreezeVisibility = true;
  options.FreezePosition = {48, 8, 1};  // leaf 1, cluster 7
  Draw(level, options, {8, 8, 1});      // the camera in leaf 0
  const std::vector<std::int32_t> marked = testsupport::VisibleFaces(level);
  std::fill(level.FaceVisible.begin(), level.FaceVisible.end(), 0);
  MarkVisibleFaces(level, options.FreezePosition);
  EXPECT_EQ(marked, testsupport::VisibleFaces(level));
  EXPECT_EQ(marked, std::vector<std::int32_t>{3});
  EXPECT_EQ(FaceCentre(0), Background);
  EXPECT_EQ(FaceCentre(3), SurfaceColour);

  // Outside every leaf with a cluster sees everything.
  testsupport::AddLeaf(level, -1, {});
  level.Nodes[0].Front = -3;
  options.FreezePosition = {48, 8, 1};
  Draw(level, options);
  EXPECT_EQ(testsupport::VisibleFaces(level), (std::vector<std::int32_t>{0, 1, 2, 3}));
}

}  // namespace
