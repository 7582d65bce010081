// --fast on levels built in memory, drawn offscreen and read back: the one pass gives the two
// passes' picture; without the second unit the batches go in two passes; faces behind, beside,
// above and past the far plane are culled and one across the left plane is kept; the lists are
// kept while the cluster stays; the fragments per covered pixel counted, the batches near to far; faces turned away left out unless both sides are drawn; the passes timed only when asked.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "app/runs/LoadSummary.h"
#include "camera/CameraClass.h"
#include "gl/Multitexture.h"
#include "gl/OpenGL.h"
#include "render/FastPath.h"
#include "render/Frustum.h"
#include "render/PassTimes.h"
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

class FastPath : public testsupport::TPixelTest {
 protected:
  FastPath() : TPixelTest(Size, Size) {}

  static void Clear() {
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  std::vector<std::uint8_t> ReadBack() {
    TPixelTest::ReadBack();
    return Pixels;
  }
  static TColour At(const std::vector<std::uint8_t>& pixels, int x, int y) {
    const auto i = static_cast<std::size_t>((y * Size + x) * 4);
    return {pixels[i], pixels[i + 1], pixels[i + 2]};
  }
};

// The largest difference of any channel of any pixel.
int LargestDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  int largest = 0;
  for (std::size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
  return largest;
}

// One region of 16 x 16 pixels per case along the bottom rows, seen through one unit per pixel:
// lightmaps of one half, a quarter, bright (saturating red), none, a face without a surface image,
// a curved surface (not drawn), a nearer face over a farther one. Every face is a back face.
TQuake3BSP PlainCases() {
  struct TCase {
    std::int32_t Texture, Lightmap, Type;
    float Z;
  };
  const TCase cases[] = {{0, 0, 1, 0}, {0, 1, 1, 0}, {0, 2, 1, 0}, {0, -1, 1, 0}, {1, 3, 1, 0},
                         {0, 0, 2, 0}, {2, 0, 1, 0.5f}, {0, 2, 1, -0.5f}};
  constexpr auto kCount = static_cast<std::int32_t>(std::size(cases));
  TQuake3BSP level;
  testsupport::SetFaceCount(level, kCount);
  for (std::int32_t f = 0; f < kCount; ++f) {
    const TCase& c = cases[f];
    const int region = f < 6 ? f : 6;
    const float x0 = static_cast<float>(region % 4 * 16 + 2), y0 = static_cast<float>(region / 4 * 16 + 2);
    level.Faces[static_cast<std::size_t>(f)].TextureIndex = c.Texture;
    level.Faces[static_cast<std::size_t>(f)].LightmapIndex = c.Lightmap;
    level.Faces[static_cast<std::size_t>(f)].FaceType = c.Type;
    testsupport::SetFaceGeometry(level, f, {{x0, y0, c.Z}, {x0, y0 + 12, c.Z}, {x0 + 12, y0 + 12, c.Z}, {x0 + 12, y0, c.Z}},
                                f == 3 ? std::vector<GLuint>{} : std::vector<GLuint>{0, 1, 2, 0, 2, 3});
  }
  testsupport::GroupFaces(level, 3, 4);
  level.SurfaceTextures = {SolidTexture({200, 100, 40}), 0, SolidTexture({30, 160, 250})};
  level.LightmapTextures = {SolidTexture({128, 128, 128}), SolidTexture({64, 64, 64}),
                            SolidTexture({255, 192, 128}), SolidTexture({60, 90, 120})};
  testsupport::AddNode(level, testsupport::AddPlane(level, {0, 0, 1}, 0), -1, -1);
  testsupport::AddLeaf(level, 0, {0, 1, 2, 3, 4, 5, 6, 7});
  return level;
}

void OrthographicStartUp() {
  testsupport::OrthographicStartUp(Size);
}

TRenderOptions Fast() {
  TRenderOptions options;
  options.Fast = true;
  return options;
}

TEST_F(FastPath, OnePassGivesTheTwoPassesPictureOrFallsBackToThem) {
  TQuake3BSP level = PlainCases();
  TRenderCache cache;
  OrthographicStartUp();
  Clear();
  level.RenderLevel({0, 0, 1}, {}, cache);
  const std::vector<std::uint8_t> twoPasses = ReadBack();
  const std::int32_t counted = VisibleFaceCount;
  Clear();
  level.RenderLevel({0, 0, 1}, Fast(), cache);
  const std::vector<std::uint8_t> onePass = ReadBack();

  EXPECT_EQ(cache.Fast.Passes, 1);
  EXPECT_EQ(VisibleFaceCount, counted) << "the count keeps its meaning";
  EXPECT_EQ(cache.Fast.FacesDrawn, 7) << "all but the curved surface";
  EXPECT_EQ(cache.Fast.Batches, 6) << "(image, lightmap) pairs: (0,-1) (0,0) (0,1) (0,2) (1,3) (2,0)";
  EXPECT_LE(LargestDifference(twoPasses, onePass), 2);
  // Where they part, rounding: the blend rounds each product to 8 bits before adding the two
  // (200 x 128 / 255 = 100.4 stored as 100, twice that 200), the unit doubles the product before
  // rounding it once (200.8, 201).
  EXPECT_EQ(At(twoPasses, 8, 8), (TColour{200, 100, 40}));
  EXPECT_EQ(At(onePass, 8, 8), (TColour{201, 100, 40}));
  EXPECT_EQ(At(onePass, 40, 8)[0], 255) << "twice the product saturates as the blend does";
  EXPECT_EQ(At(onePass, 56, 8), (TColour{200, 100, 40})) << "no lightmap: the image as it is";
  // Unit 1 is left off, at MODULATE, without coordinates; unit 0 active.
  GLint active = 0, mode = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  OpenGL13.glActiveTexture(GL_TEXTURE1);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  EXPECT_EQ(std::vector<GLint>({active, mode, glIsEnabled(GL_TEXTURE_2D)}), std::vector<GLint>({GL_TEXTURE0, GL_MODULATE, 0}));
  OpenGL13.glActiveTexture(GL_TEXTURE0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // Without the units: the same batches in the two passes, and one line under --verbose.
  const TMultitextureEntryPoints units = OpenGL13;
  OpenGL13 = {};
  testing::internal::CaptureStderr();
  app::PrintFastSummary();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "bspwalk: --fast: glActiveTexture missing, drawing image and lightmap in two passes\n");
  Clear();
  level.RenderLevel({0, 0, 1}, Fast(), cache);
  EXPECT_EQ(cache.Fast.Passes, 2);
  EXPECT_EQ(LargestDifference(twoPasses, ReadBack()), 0) << "the same two passes, batched";
  OpenGL13 = units;
}

// Faces that each have an image of their own, so that every draw names its face by the image
// bound on unit 0. The camera stands at the origin looking along +Y with a field of view of 80
// degrees: in view only within 40 degrees of +Y, from 5 to 20000 units away.
enum : std::int32_t { InFront, Behind, Beside, AcrossLeft, Above, PastFar, CulledCount };

std::vector<GLuint> BoundAtDraws;
GLuint BoundOnUnit0 = 0;
GLenum ActiveUnit = GL_TEXTURE0;

TEST_F(FastPath, CullsExactlyTheFacesOutsideTheViewAndKeepsOneAcrossAPlane) {
  const std::array<std::vector<TVector>, CulledCount> quads = {{
      {{-20, 100, -20}, {-20, 100, 20}, {20, 100, 20}, {20, 100, -20}},
      {{-20, -100, -20}, {-20, -100, 20}, {20, -100, 20}, {20, -100, -20}},
      {{-500, 100, -20}, {-500, 100, 20}, {-400, 100, 20}, {-400, 100, -20}},
      {{-150, 100, -20}, {-150, 100, 20}, {-30, 100, 20}, {-30, 100, -20}},
      {{-20, 100, 500}, {-20, 100, 540}, {20, 100, 540}, {20, 100, 500}},
      {{-20, 30000, -20}, {-20, 30000, 20}, {20, 30000, 20}, {20, 30000, -20}},
  }};
  TQuake3BSP level;
  TRenderCache cache;
  testsupport::SetFaceCount(level, CulledCount);
  std::vector<GLuint> images;
  // The face across the plane is large (1,100 vertices round its outline), so it is drawn from
  // its own arrays rather than copied.
  std::vector<TVector> outline;
  const std::vector<TVector>& corners = quads[AcrossLeft];
  for (std::size_t side = 0; side < 4; ++side)
    for (int k = 0; k < 275; ++k) {
      const TVector a = corners[side], b = corners[(side + 1) % 4];
      const float t = static_cast<float>(k) / 275;
      outline.push_back({a.X + (b.X - a.X) * t, a.Y, a.Z + (b.Z - a.Z) * t});
    }
  for (std::int32_t f = 0; f < CulledCount; ++f) {
    level.Faces[static_cast<std::size_t>(f)].TextureIndex = f;
    testsupport::SetFaceGeometry(level, f, f == AcrossLeft ? outline : quads[static_cast<std::size_t>(f)], {});
    images.push_back(SolidTexture({40 * f, 255 - 40 * f, 100}));
  }
  testsupport::GroupFaces(level, CulledCount, 0);
  level.SurfaceTextures = images;
  testsupport::AddNode(level, testsupport::AddPlane(level, {0, 0, 1}, 0), -1, -1);
  testsupport::AddLeaf(level, 0, {0, 1, 2, 3, 4, 5});

  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(80, 1, 5, 20000);
  ApplyCameraTransform(TCamera{0, 0, 0, 0, 270});

  const TOpenGLEntryPoints saved = OpenGL;
  const TMultitextureEntryPoints savedUnits = OpenGL13;
  BoundAtDraws.clear();
  OpenGL.glBindTexture = [](GLenum target, GLuint texture) {
    if (ActiveUnit == GL_TEXTURE0) BoundOnUnit0 = texture;
    glBindTexture(target, texture);
  };
  OpenGL13.glActiveTexture = [](GLenum unit) {
    ActiveUnit = unit;
    glActiveTexture(unit);
  };
  OpenGL.glDrawElements = [](GLenum mode, GLsizei count, GLenum type, const void* indices) {
    BoundAtDraws.push_back(BoundOnUnit0);
    glDrawElements(mode, count, type, indices);
  };
  OpenGL.glDrawArrays = [](GLenum mode, GLint first, GLsizei count) {
    BoundAtDraws.push_back(BoundOnUnit0);
    glDrawArrays(mode, first, count);
  };
  Clear();
  level.RenderLevel({0, 0, 0}, Fast(), cache);
  const std::vector<std::uint8_t> pixels = ReadBack();
  OpenGL = saved;
  OpenGL13 = savedUnits;

  EXPECT_EQ(BoundAtDraws, (std::vector<GLuint>{images[InFront], images[AcrossLeft]}));
  ASSERT_EQ(cache.DrawLists.Batches.size(), 6u);
  EXPECT_EQ(cache.DrawLists.Batches[AcrossLeft].LargeFaces.size(), 1u);
  EXPECT_EQ(cache.Fast.FacesDrawn, 2);
  EXPECT_EQ(cache.Fast.FacesCulled, 4);
  EXPECT_EQ(VisibleFaceCount, 6) << "every admitted face is counted, culled or not";
  EXPECT_EQ(At(pixels, 0, Size / 2), (TColour{120, 135, 100})) << "the face across the left plane shows at the edge";
  EXPECT_EQ(At(pixels, Size / 2, Size / 2), (TColour{0, 255, 100}));
}

// Two clusters on either side of x = 0, each seeing only itself.
TEST_F(FastPath, KeepsTheListsWhileTheClusterStays) {
  TQuake3BSP level;
  TRenderCache cache;
  testsupport::SetFaceCount(level, 2);
  for (std::int32_t f = 0; f < 2; ++f) {
    const float x = f == 0 ? 10.0f : -30.0f;
    level.Faces[static_cast<std::size_t>(f)].TextureIndex = 0;
    testsupport::SetFaceGeometry(level, f, {{x, 50, 0}, {x, 50, 10}, {x + 20, 50, 10}}, {});
  }
  testsupport::GroupFaces(level, 1, 0);
  level.SurfaceTextures = {SolidTexture({255, 255, 255})};
  const std::int32_t front = testsupport::AddLeaf(level, 0, {0});
  const std::int32_t back = testsupport::AddLeaf(level, 1, {1});
  testsupport::AddNode(level, testsupport::AddPlane(level, {1, 0, 0}, 0), -(front + 1), -(back + 1));
  testsupport::SetVisData(level, 2, 1);
  testsupport::SetVisible(level, 0, 0);
  testsupport::SetVisible(level, 1, 1);

  OrthographicStartUp();
  const struct {
    float X;
    std::int32_t Builds;
    bool Built;
  } steps[] = {{10, 1, true}, {20, 1, false}, {-10, 2, true}, {-20, 2, false}, {5, 3, true}};
  for (const auto& step : steps) {
    level.RenderLevel({step.X, 0, 0}, Fast(), cache);
    EXPECT_EQ(cache.DrawLists.Builds, step.Builds) << step.X;
    EXPECT_EQ(cache.Fast.ListsBuilt, step.Built) << step.X;
    EXPECT_EQ(VisibleFaceCount, 1) << step.X;
    ASSERT_EQ(cache.DrawLists.Batches.size(), 1u);
    EXPECT_EQ(cache.DrawLists.Batches[0].Positions[0].X, step.X > 0 ? 10.0f : -30.0f) << step.X;
  }
  TRenderOptions all = Fast();
  all.Surfaces = TSurfaceSet::All;
  level.RenderLevel({5, 0, 0}, all, cache);
  EXPECT_EQ(cache.DrawLists.Builds, 4) << "other options, other lists";
}

// Known overdraw: the whole window at z -0.5, its left half at 0 and its left quarter at 0.5 (the
// nearest), listed far to near. From above the order is turned near to far and every covered
// pixel is shaded once; from below (more than the threshold away) the eye sorts them far to near, and each layer is shaded where
// it lies: 64 x 64 + 32 x 64 + 16 x 64 fragments. The picture is the same either way.
TEST_F(FastPath, CountsTheFragmentsPerCoveredPixelAndDrawsNearToFar) {
  TQuake3BSP level;
  TRenderCache cache;
  testsupport::SetFaceCount(level, 3);
  const float widths[] = {64, 32, 16}, depths[] = {-0.5f, 0, 0.5f};
  for (std::int32_t f = 0; f < 3; ++f) {
    const float w = widths[f], z = depths[f];
    level.Faces[static_cast<std::size_t>(f)].TextureIndex = f;
    testsupport::SetFaceGeometry(level, f, {{0, 0, z}, {0, 64, z}, {w, 64, z}, {w, 0, z}}, {0, 1, 2, 0, 2, 3});
  }
  testsupport::GroupFaces(level, 3, 0);
  level.SurfaceTextures = {SolidTexture({200, 0, 0}), SolidTexture({0, 200, 0}), SolidTexture({0, 0, 200})};
  testsupport::AddNode(level, testsupport::AddPlane(level, {0, 0, 1}, 0), -1, -1);
  testsupport::AddLeaf(level, 0, {0, 1, 2});
  OrthographicStartUp();
  TRenderOptions counted = Fast();
  counted.CountFragments = true;
  const struct {
    float EyeZ;
    std::int64_t Fragments;
    std::vector<std::uint32_t> Order;
  } views[] = {{100, 64 * 64, {2, 1, 0}}, {-100, 64 * 64 + 32 * 64 + 16 * 64, {0, 1, 2}}};
  std::vector<std::vector<std::uint8_t>> pictures;
  for (const auto& view : views) {
    Clear();
    // From below the faces are seen from their culled side: the GL culls none, or they are left out.
    if (view.EyeZ < 0) glDisable(GL_CULL_FACE);
    level.RenderLevel({0, 0, view.EyeZ}, counted, cache);
    glEnable(GL_CULL_FACE);
    pictures.push_back(ReadBack());
    EXPECT_EQ(cache.DrawOrder.Batches, view.Order) << view.EyeZ;
    EXPECT_EQ(cache.Fast.Fragments, view.Fragments) << view.EyeZ;
    EXPECT_EQ(cache.Fast.CoveredPixels, 64 * 64) << view.EyeZ;
  }
  EXPECT_EQ(pictures[0], pictures[1]);
  EXPECT_EQ(At(pictures[0], 8, 8), (TColour{0, 0, 200}));
  EXPECT_EQ(At(pictures[0], 24, 8), (TColour{0, 200, 0}));
  EXPECT_EQ(At(pictures[0], 48, 8), (TColour{200, 0, 0}));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // Not asked: not counted.
  level.RenderLevel({0, 0, 1}, Fast(), cache);
  EXPECT_EQ(cache.Fast.CoveredPixels, 0);
}

// Two polygons side by side: the left wound as the GL draws it from above, the right the other way
// round (its front culled). The right one is left out before drawing; with culling off, or with a
// shader that draws both sides, it is kept.
TEST_F(FastPath, SkipsFacesTurnedAwayUnlessBothSidesAreDrawn) {
  TQuake3BSP level;
  TRenderCache cache;
  testsupport::SetFaceCount(level, 2);
  testsupport::SetFaceGeometry(level, 0, {{0, 0, 0}, {0, 64, 0}, {32, 64, 0}, {32, 0, 0}}, {0, 1, 2, 0, 2, 3});
  testsupport::SetFaceGeometry(level, 1, {{32, 0, 0}, {64, 0, 0}, {64, 64, 0}, {32, 64, 0}}, {0, 1, 2, 0, 2, 3});
  level.Faces[1].TextureIndex = 1;
  level.Faces[0].TextureIndex = 0;
  testsupport::GroupFaces(level, 2, 0);
  level.SurfaceTextures = {SolidTexture({200, 0, 0}), SolidTexture({0, 200, 0})};
  testsupport::AddNode(level, testsupport::AddPlane(level, {0, 0, 1}, 0), -1, -1);
  testsupport::AddLeaf(level, 0, {0, 1});
  OrthographicStartUp();
  for (const bool culling : {true, false}) {
    (culling ? glEnable : glDisable)(GL_CULL_FACE);
    Clear();
    level.RenderLevel({0, 0, 1}, Fast(), cache);
    const std::vector<std::uint8_t> pixels = ReadBack();
    EXPECT_EQ(cache.Fast.BackFaces, culling ? 1 : 0);
    EXPECT_EQ(cache.Fast.FacesDrawn, 2) << "in view, turned away or not";
    EXPECT_EQ(At(pixels, 16, 32), (TColour{200, 0, 0}));
    EXPECT_EQ(At(pixels, 48, 32), culling ? (TColour{128, 128, 128}) : (TColour{0, 200, 0})) << culling;
  }
  glEnable(GL_CULL_FACE);
  // Under --shaders a texture whose shader says cull none keeps its faces' backs.
  level.Shading.States.resize(2);
  level.Shading.States[1].TwoSided = true;
  const TFrustum frustum = FrustumOf(CurrentClipMatrix());
  for (const bool twoSided : {false, true}) {
    level.Shading.States[1].TwoSided = twoSided;
    TFastFrame frame;
    CullDrawLists(cache.DrawLists, frustum, frame, {{0, 0, 1}, 1.0f}, &level);
    EXPECT_EQ(frame.BackFaces, twoSided ? 0 : 1);
    EXPECT_EQ(frame.FacesDrawn, 2);
    EXPECT_EQ(cache.DrawLists.Batches[1].FacesInView, twoSided ? 1 : 0) << "the batch sent to the GL or not";
  }
}

// The split between passes: the GL finished at the start and after each pass only when asked (the
// frame without it makes its calls as before), the same picture either way, and in the frame
// without shader stages only the visibility, the one pass and the things take time.
int Finishes = 0;
decltype(OpenGL.glFinish) RealFinish = nullptr;
void CountingFinish() {
  ++Finishes;
  RealFinish();
}

TEST_F(FastPath, TimesItsPassesOnlyWhenAskedAndDrawsTheSame) {
  TQuake3BSP level = PlainCases();
  TRenderCache cache;
  OrthographicStartUp();
  RealFinish = OpenGL.glFinish;
  OpenGL.glFinish = CountingFinish;
  std::vector<std::vector<std::uint8_t>> pictures;
  for (const bool timed : {false, true}) {
    TRenderOptions options = Fast();
    options.TimePasses = timed;
    Finishes = 0;
    Clear();
    level.RenderLevel({0, 0, 1}, options, cache);
    pictures.push_back(ReadBack());
    EXPECT_EQ(Finishes, timed ? 4 : 0) << "the start, visibility, one pass, things";
    EXPECT_EQ(cache.Fast.PassTimes.Timing, timed);
  }
  OpenGL.glFinish = RealFinish;
  EXPECT_EQ(pictures[0], pictures[1]);
  const std::array<double, kFramePassCount>& ms = cache.Fast.PassTimes.Ms;
  for (std::size_t p = 0; p < kFramePassCount; ++p) {
    const auto pass = static_cast<TFramePass>(p);
    if (pass == TFramePass::Visibility || pass == TFramePass::OnePass || pass == TFramePass::Things)
      EXPECT_GE(ms[p], 0.0) << kFramePassNames[p];
    else
      EXPECT_EQ(ms[p], 0.0) << kFramePassNames[p];
  }
  EXPECT_EQ(cache.Fast.Passes, 1) << "the frame's own figures kept beside the times";
}

}  // namespace
