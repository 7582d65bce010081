// What a frame puts on screen: a level built in memory, drawn offscreen by Mesa and read back.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gl/OpenGL.h"
#include "render/Q3BSP_render.h"
#include "render/RenderCache.h"
#include "support/OrthoStartUp.h"
#include "support/PixelTest.h"
#include "support/TestLevels.h"
#include "window/OffscreenContext.h"

namespace {

using testsupport::SolidTexture;
using TColour = std::array<int, 3>;
constexpr int Size = 64;
constexpr int Region = 16;  // the picture is a 4 x 4 grid of regions, one case in each

// The state start-up and lightmap loading leave, and a projection of one unit per pixel.
void StartUpState() {
  testsupport::OrthographicStartUp(Size);
  // Grey rather than the program's black, so that a lightmap blended where nothing was drawn
  // would show.
  glClearColor(0.5f, 0.5f, 0.5f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Corners of region r, inset by two pixels, at height z.
struct TRect {
  float X0, Y0, X1, Y1, Z;
};
TRect RegionRect(int region, float z = 0) {
  const float x = static_cast<float>(region % 4 * Region), y = static_cast<float>(region / 4 * Region);
  return {x + 2, y + 2, x + Region - 2, y + Region - 2, z};
}
// Clockwise as seen: a back face, kept by the culling of front faces.
std::vector<TVector> Clockwise(TRect r) {
  return {{r.X0, r.Y0, r.Z}, {r.X0, r.Y1, r.Z}, {r.X1, r.Y1, r.Z}, {r.X1, r.Y0, r.Z}};
}
std::vector<TVector> Anticlockwise(TRect r) {
  return {{r.X0, r.Y0, r.Z}, {r.X1, r.Y0, r.Z}, {r.X1, r.Y1, r.Z}, {r.X0, r.Y1, r.Z}};
}

class RenderPixels : public testsupport::TPixelTest {
 protected:
  RenderPixels() : TPixelTest(Size, Size) {}

  TColour Centre(int region) const {
    return At(region % 4 * Region + Region / 2, region / 4 * Region + Region / 2);
  }
};

bool Near(TColour actual, TColour expected, int tolerance) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(actual[c] - expected[c]) > tolerance) return false;
  return true;
}

std::string Show(TColour c) {
  return "(" + std::to_string(c[0]) + ", " + std::to_string(c[1]) + ", " + std::to_string(c[2]) + ")";
}

// Face f is drawn in region f unless said otherwise; every face is listed by the one leaf.
enum : std::int32_t {
  HalfLightmap, DarkLightmap, BrightLightmap, NoLightmap, NoSurfaceImage, FrontFace,
  ScrambledOrder, Patch, Nearer, Farther, NoTextureGroup, FaceCountInLevel
};

const TColour Surface{200, 100, 40};
const TColour Background{128, 128, 128};

TQuake3BSP PixelLevel() {
  TQuake3BSP level;
  testsupport::SetFaceCount(level, FaceCountInLevel);
  struct TCase {
    std::int32_t Texture, Lightmap;
  };
  // Textures: 0 the surface colour, 1 without an image, 2 white.
  // Lightmaps: 0 grey 128, 1 grey 64, 2 (255, 192, 128), 3 (60, 90, 120), 4 red (255, 0, 0).
  const TCase cases[FaceCountInLevel] = {{0, 0}, {0, 1}, {0, 2}, {0, -1}, {1, 3}, {2, 0},
                                         {0, -1}, {0, 0}, {0, -1}, {2, 4}, {99, 4}};
  for (std::int32_t f = 0; f < FaceCountInLevel; ++f) {
    level.Faces[static_cast<std::size_t>(f)].TextureIndex = cases[f].Texture;
    level.Faces[static_cast<std::size_t>(f)].LightmapIndex = cases[f].Lightmap;
    testsupport::SetFaceGeometry(level, f, Clockwise(RegionRect(f)), {0, 1, 2, 0, 2, 3});
  }
  testsupport::SetFaceGeometry(level, FrontFace, Anticlockwise(RegionRect(FrontFace)), {});
  // Stored in an order whose fan overlaps itself and leaves the upper right half uncovered.
  const TRect r = RegionRect(ScrambledOrder);
  testsupport::SetFaceGeometry(level, ScrambledOrder,
                              {{r.X0, r.Y0, 0}, {r.X1, r.Y1, 0}, {r.X0, r.Y1, 0}, {r.X1, r.Y0, 0}},
                              {0, 2, 1, 0, 1, 3});
  level.Faces[Patch].FaceType = 2;
  testsupport::SetFaceGeometry(level, Nearer, Clockwise(RegionRect(Nearer, 0.5f)), {0, 1, 2, 0, 2, 3});
  testsupport::SetFaceGeometry(level, Farther, Clockwise(RegionRect(Nearer, -0.5f)), {});
  testsupport::GroupFaces(level, 3, 5);
  level.SurfaceTextures = {SolidTexture(Surface), 0, SolidTexture({255, 255, 255})};
  level.LightmapTextures = {SolidTexture({128, 128, 128}), SolidTexture({64, 64, 64}),
                            SolidTexture({255, 192, 128}), SolidTexture({60, 90, 120}),
                            SolidTexture({255, 0, 0})};
  testsupport::AddNode(level, testsupport::AddPlane(level, {0, 0, 1}, 0), -1, -1);
  testsupport::AddLeaf(level, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  return level;
}

TEST_F(RenderPixels, TwiceTheProductOfSurfaceAndLightmap) {
  TQuake3BSP level = PixelLevel();
  TRenderCache cache;
  StartUpState();
  level.RenderLevel({0, 0, 1}, {}, cache);
  ReadBack();

  EXPECT_PRED3(Near, Centre(HalfLightmap), Surface, 2) << Show(Centre(HalfLightmap));
  EXPECT_PRED3(Near, Centre(DarkLightmap), (TColour{100, 50, 20}), 2) << Show(Centre(DarkLightmap));
  const TColour bright = Centre(BrightLightmap);
  EXPECT_EQ(bright[0], 255) << "400 saturates";
  EXPECT_PRED3(Near, bright, (TColour{255, 151, 40}), 2) << Show(bright);
  EXPECT_EQ(Centre(NoLightmap), Surface);
  EXPECT_PRED3(Near, Centre(NoSurfaceImage), (TColour{120, 180, 240}), 2) << Show(Centre(NoSurfaceImage));
  EXPECT_EQ(Centre(FrontFace), Background) << "front faces are culled";
  EXPECT_EQ(Centre(Patch), Background) << "only polygons are drawn";
  EXPECT_EQ(Centre(Nearer), Surface) << "the farther face's lightmap fails the equal depth test";
  EXPECT_EQ(Centre(NoTextureGroup), Background)
      << "a lightmap lands only where the texture pass drew";
  EXPECT_EQ(VisibleFaceCount, 10);
}

TEST_F(RenderPixels, PolygonsAreDrawnFromTheirTriangles) {
  TQuake3BSP level = PixelLevel();
  TRenderCache cache;
  StartUpState();
  level.RenderLevel({0, 0, 1}, {}, cache);
  ReadBack();
  const TRect r = RegionRect(ScrambledOrder);
  int covered = 0;
  for (int y = static_cast<int>(r.Y0); y < static_cast<int>(r.Y1); ++y)
    for (int x = static_cast<int>(r.X0); x < static_cast<int>(r.X1); ++x) covered += At(x, y) == Surface;
  EXPECT_EQ(covered, 12 * 12);
  EXPECT_EQ(At(static_cast<int>(r.X1) - 1, static_cast<int>(r.Y1) - 1), Surface);
  EXPECT_EQ(At(static_cast<int>(r.X1), static_cast<int>(r.Y1)), Background);
}

TEST_F(RenderPixels, LeavesTheStateItPromises) {
  TQuake3BSP level = PixelLevel();
  TRenderCache cache;
  StartUpState();
  level.RenderLevel({0, 0, 1}, {}, cache);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLint value = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &value);
  EXPECT_EQ(value, GL_LESS);
  glGetIntegerv(GL_BLEND_SRC, &value);
  EXPECT_EQ(value, GL_DST_COLOR);
  glGetIntegerv(GL_BLEND_DST, &value);
  EXPECT_EQ(value, GL_SRC_COLOR);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
  EXPECT_EQ(static_cast<GLuint>(value), level.LightmapTextures.back());
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
