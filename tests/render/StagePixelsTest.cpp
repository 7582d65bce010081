// Shader stages drawn and read back on levels written to a folder with their scripts and images:
// an additive second stage, a scrolling stage at two times, animMap's frames, a fog volume, an
// autosprite quad from two poses, the sky box's edges. A 64 x 64 picture looking along +X: the
// level's +Y is the picture's left, +Z its top; a quad at x = 100 spanning -84 .. 84 fills it.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "ShaderScene.h"
#include "app/viewer/frmMain.h"
#include "gl/Multitexture.h"
#include "gl/OpenGL.h"
#include "render/FastPath.h"
#include "render/RenderCache.h"
#include "support/BspWriter.h"
#include "support/ImageWriters.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

namespace {

using testsupport::TBspWriter;
using TColour = std::array<int, 3>;
constexpr float Fill = 84;  // tan(40 degrees) x 100: the half-width of the view at x = 100

const auto& Image = testsupport::ColumnsImage;

class TScene : public testsupport::TShaderScene {
 public:
  using TShaderScene::Quad;
  // A quad at x spanning y0..y1 (s 0 .. 1 from y1 to y0) and z0..z1, facing the eye at x < 0.
  void Quad(std::int32_t texture, float x, float y0, float y1, float z0, float z1) {
    Quad(texture, {{{x, y1, z0, 0, 0}, {x, y1, z1, 0, 1}, {x, y0, z1, 1, 1}, {x, y0, z0, 1, 0}}});
  }
  void Load(bool joinedSky = false, bool gameStages = false) {
    TShaderScene::Load([&](TLevelOptions& options) {
      options.JoinedSky = joinedSky;
      options.GameStages = gameStages;
    });
  }
  void Draw(TVector eye, float yaw, double seconds, bool fast = false) { DrawFrom(eye, yaw, seconds, fast); }

  TRenderCache& LoadedCache = Cache;
};

testing::AssertionResult Near(TColour got, TColour want, int tolerance = 4) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(got[i] - want[i]) > tolerance)
      return testing::AssertionFailure() << testing::PrintToString(got) << " is not " << testing::PrintToString(want);
  return testing::AssertionSuccess();
}

const TColour Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, Grey{60, 70, 80};
const std::vector<TColour> Columns{Red, Green, Blue, {255, 255, 0}};

TEST(StagePixels, AdditiveSecondStageDoublesTheColour) {
  TScene scene;
  scene.Script("t/twice { { map t/grey.tga } { map t/grey.tga\n blendFunc GL_ONE GL_ONE } }\n"
               "t/once { { map t/grey.tga } }\n");
  scene.Write("t/grey.tga", Image({Grey}));
  scene.Quad(scene.Texture("t/twice"), 100, 0, Fill, -Fill, Fill);
  scene.Quad(scene.Texture("t/once"), 100, -Fill, 0, -Fill, Fill);
  scene.Load();
  scene.Draw({0, 0, 0}, 90, 0);
  EXPECT_TRUE(Near(scene.At(16, 32), {120, 140, 160}));
  EXPECT_TRUE(Near(scene.At(48, 32), Grey));
}

TEST(StagePixels, ScrollMovesThePictureAndAnimMapChangesFrames) {
  TScene scene;
  // Half a texture a second: after 0.5 s a quarter, one column of four. Frames at 2 a second.
  scene.Script("t/scroll { { map t/columns.tga\n tcMod scroll 0.5 0 } }\n"
               "t/anim { { animMap 2 t/red.tga t/green.tga t/blue.tga } }\n");
  scene.Write("t/columns.tga", Image(Columns));
  scene.Write("t/red.tga", Image({Red}));
  scene.Write("t/green.tga", Image({Green}));
  scene.Write("t/blue.tga", Image({Blue}));
  scene.Quad(scene.Texture("t/scroll"), 100, -Fill, Fill, 0, Fill);  // the top half
  scene.Quad(scene.Texture("t/anim"), 100, -Fill, Fill, -Fill, 0);    // the bottom half
  scene.Load();
  const int columnX[] = {8, 24, 40, 56};  // the middles of the texture's columns on the screen
  scene.Draw({0, 0, 0}, 90, 0);
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(Near(scene.At(columnX[c], 16), Columns[c], 24)) << "column " << c;
  EXPECT_TRUE(Near(scene.At(32, 48), Red));
  scene.Draw({0, 0, 0}, 90, 0.5);
  for (int c = 0; c < 4; ++c)
    EXPECT_TRUE(Near(scene.At(columnX[c], 16), Columns[(c + 1) % 4], 24)) << "column " << c << " at 0.5 s";
  EXPECT_TRUE(Near(scene.At(32, 48), Green));
  scene.Draw({0, 0, 0}, 90, 1.2);  // frame 2
  EXPECT_TRUE(Near(scene.At(32, 48), Blue));
  scene.Draw({0, 0, 0}, 90, 1.6);  // frame 3: the first again
  EXPECT_TRUE(Near(scene.At(32, 48), Red));
}

TEST(StagePixels, FogDarkensAWallByTheDistanceThroughIt) {
  TScene scene;
  scene.Script("t/wall { { map t/blue.tga } }\n"
               "t/fog { surfaceparm fog\n fogparms ( 1 0 0 ) 40 }\n");
  scene.Write("t/blue.tga", Image({Blue}));
  scene.Quad(scene.Texture("t/wall"), 100, -4, 4, -4, 4);
  scene.Texture("t/fog");
  // A slab of fog from x = 40 to x = 60 (and far around): a ray to the wall's middle travels 20
  // units through it, to its corners 20 x |(100, 4, 4)| / 100.
  scene.FogBox({TBSPPlane{{1, 0, 0}, 60}, TBSPPlane{{-1, 0, 0}, -40}, TBSPPlane{{0, 1, 0}, 1000},
                TBSPPlane{{0, -1, 0}, 1000}, TBSPPlane{{0, 0, 1}, 1000}, TBSPPlane{{0, 0, -1}, 1000}},
               1);
  scene.Load();
  ASSERT_EQ(scene.Loaded.Shading.Fogs.size(), 1u);
  scene.Draw({0, 0, 0}, 90, 0);
  const float alpha = 20 * std::sqrt(100.0f * 100 + 32) / 100 / 40;
  EXPECT_TRUE(Near(scene.At(32, 32), {static_cast<int>(255 * alpha + 0.5f), 0, static_cast<int>(255 * (1 - alpha) + 0.5f)}, 3));
  scene.Draw({50, 0, 0}, 90, 0);  // inside the fog: 10 units of it
  const float inside = 10 * std::sqrt(50.0f * 50 + 32) / 50 / 40;
  EXPECT_TRUE(Near(scene.At(32, 32), {static_cast<int>(255 * inside + 0.5f), 0, static_cast<int>(255 * (1 - inside) + 0.5f)}, 3));
  scene.Draw({200, 0, 0}, 270, 0);  // behind the wall, looking back: no fog between
  EXPECT_TRUE(Near(scene.At(32, 32), {0, 0, 0}));
}

TEST(StagePixels, AutoSpriteFacesTheCameraFromTwoPoses) {
  TScene scene;
  scene.Script("t/sprite { deformVertexes autosprite\n cull none\n { map t/green.tga } }\n");
  scene.Write("t/green.tga", Image({Green}));
  // A 20 x 20 quad in the plane y = 0 around (100, 0, 0): edge-on from the first pose.
  const std::int32_t sprite = scene.Texture("t/sprite");
  const auto first = static_cast<std::int32_t>(scene.Level.Vertices.size());
  for (const auto& [x, z] : {std::array{90.f, -10.f}, {90, 10}, {110, 10}, {110, -10}})
    scene.Level.Vertices.push_back(TBspWriter::Vertex(x, 0, z));
  scene.Level.Faces.push_back(TBspWriter::Face(sprite, first, 4, -1));
  scene.Level.LeafFaces.push_back(0);
  scene.Load();
  // From the origin looking along +X, and from (100, -100, 0) looking along +Y: a square in the
  // middle of the picture each time, 20 units wide at a distance of 100.
  const struct {
    TVector Eye;
    float Yaw;
  } poses[] = {{{0, 0, 0}, 90}, {{100, -100, 0}, 0}};
  for (const auto& pose : poses) {
    scene.Draw(pose.Eye, pose.Yaw, 0);
    EXPECT_TRUE(Near(scene.At(32, 32), Green)) << pose.Yaw;
    EXPECT_TRUE(Near(scene.At(34, 34), Green)) << pose.Yaw;  // 6 units aside and down: still on it
    EXPECT_TRUE(Near(scene.At(32, 20), {0, 0, 0})) << pose.Yaw;  // 30 units up: off it
  }
}

TEST(StagePixels, SkyBoxEdgesShowNoSeam) {
  TScene scene;
  scene.Script("t/sky { surfaceparm sky\n skyparms env/s - -\n }\n");
  // Each side's left half one colour, its right half another: an edge that repeated the opposite
  // side of its own image would mix them there.
  const char* sides[] = {"rt", "bk", "lf", "ft", "up", "dn"};
  for (const char* side : sides) scene.Write("env/s_" + std::string(side) + ".tga", Image({Red, Red, Blue, Blue}));
  scene.Quad(scene.Texture("t/sky"), 100, -Fill, Fill, -Fill, Fill);
  scene.Load();
  ASSERT_EQ(scene.Loaded.Shading.SkyBox.size(), 6u);
  // Corners between the sides at the middle of the picture, as seen along the four diagonals.
  for (const float yaw : {45.0f, 135.0f, 225.0f, 315.0f}) {
    scene.Draw({0, 0, 0}, yaw, 0);
    for (int x = 28; x <= 36; ++x) {
      const TColour c = scene.At(x, 32);
      EXPECT_TRUE(Near(c, Red, 8) || Near(c, Blue, 8)) << "yaw " << yaw << ", x " << x << ": " << testing::PrintToString(c);
    }
  }
}

// --joined-sky: each side's left and right columns carry the colour of the edge they share when
// the images join as rt, ft, lf, bk turning right; every corner then shows one colour across it,
// and the four corners show the four edges.
TEST(StagePixels, JoinedSkyBoxSidesMeetAtTheirImagesOwnEdges) {
  TScene scene;
  scene.Script("t/sky { surfaceparm sky\n skyparms env/s - -\n }\n");
  const TColour Yellow{255, 255, 0};
  const std::map<std::string, std::vector<TColour>> sides = {
      {"rt", {Yellow, Yellow, Red, Red}}, {"ft", {Red, Red, Green, Green}}, {"lf", {Green, Green, Blue, Blue}},
      {"bk", {Blue, Blue, Yellow, Yellow}}, {"up", {Grey}}, {"dn", {Grey}}};
  for (const auto& [side, columns] : sides) scene.Write("env/s_" + side + ".tga", Image(columns));
  scene.Quad(scene.Texture("t/sky"), 100, -Fill, Fill, -Fill, Fill);
  scene.Load(true);
  std::set<std::vector<int>> seen;
  for (const float yaw : {45.0f, 135.0f, 225.0f, 315.0f}) {
    scene.Draw({0, 0, 0}, yaw, 0);
    const TColour corner = scene.At(32, 32);
    for (int x = 26; x <= 38; ++x) EXPECT_TRUE(Near(scene.At(x, 32), corner, 8)) << "yaw " << yaw << ", x " << x;
    for (const TColour& edge : {Red, Green, Blue, Yellow})
      if (Near(corner, edge, 8)) seen.insert({edge[0], edge[1], edge[2]});
  }
  EXPECT_EQ(seen.size(), 4u);
  // The first frame's turn: rt ahead along +X (yaw 90), ft to its right.
  scene.Draw({0, 0, 0}, 90, 0);
  EXPECT_TRUE(Near(scene.At(2, 32), Yellow, 8));
  EXPECT_TRUE(Near(scene.At(61, 32), Red, 8));
}

// Two half-transparent panes, the near one first in the scripts' order: drawn so, the far one
// lands over the near; --game-stages draws them far to near.
TEST(StagePixels, GameStagesDrawBlendedSurfacesFarToNear) {
  for (const bool game : {false, true}) {
    TScene scene;
    scene.Script("t/near { { map t/red.tga\n blendFunc blend\n alphaGen const 0.5 } }\n"
                 "t/far { { map t/blue.tga\n blendFunc blend\n alphaGen const 0.5 } }\n");
    scene.Write("t/red.tga", Image({Red}));
    scene.Write("t/blue.tga", Image({Blue}));
    scene.Quad(scene.Texture("t/near"), 100, -Fill, Fill, -Fill, Fill);
    scene.Quad(scene.Texture("t/far"), 200, -2 * Fill, 2 * Fill, -2 * Fill, 2 * Fill);
    scene.Load(false, game);
    scene.Draw({0, 0, 0}, 90, 0);
    // Over black: far then near is red over blue (128, 0, 64); near then far blue over red.
    EXPECT_TRUE(Near(scene.At(32, 32), game ? TColour{128, 0, 64} : TColour{64, 0, 128}, 6)) << game;
  }
}

// --fast folds image, lightmap and a detail stage (scaled, twice the product) into one pass with a
// third unit, or draws the detail as a pass of its own without the units: the stages' picture
// either way, within rounding.
TEST(StagePixels, FastFoldsADetailStageOrDrawsItAsAPass) {
  TScene scene;
  scene.Script("t/d { { map t/grey.tga } { map $lightmap\n blendFunc filter }\n"
               "  { map t/cols.tga\n blendFunc GL_DST_COLOR GL_SRC_COLOR\n tcMod scale 2 1 } }\n");
  scene.Write("t/grey.tga", Image({Grey}));
  scene.Write("t/cols.tga", Image(Columns));
  scene.Quad(scene.Texture("t/d"), 100, -Fill, Fill, -Fill, Fill);
  scene.Load();
  scene.Draw({0, 0, 0}, 90, 0);
  const std::vector<std::uint8_t> stages = scene.Pixels;
  const auto largest = [&] {
    int d = 0;
    for (std::size_t i = 0; i < stages.size(); ++i) d = std::max(d, std::abs(stages[i] - scene.Pixels[i]));
    return d;
  };
  // Filtering mixes in a little of the neighbouring columns.
  EXPECT_TRUE(Near(scene.At(4, 32), {120, 0, 0}, 16)) << "twice grey x red, the pattern twice across";
  EXPECT_TRUE(Near(scene.At(36, 32), {120, 0, 0}, 16));
  scene.Draw({0, 0, 0}, 90, 0, true);
  EXPECT_EQ(scene.LoadedCache.Fast.Passes, 1);
  EXPECT_LE(largest(), 2);
  const TMultitextureEntryPoints units = OpenGL13;
  OpenGL13 = {};
  scene.Draw({0, 0, 0}, 90, 0, true);
  OpenGL13 = units;
  EXPECT_EQ(scene.LoadedCache.Fast.Passes, 3) << "image, lightmap, detail";
  EXPECT_LE(largest(), 2);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
