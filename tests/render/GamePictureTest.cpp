// The game's picture beyond the design's, read back on levels written to a folder with their
// scripts and images: turbulence per vertex, the worldspawn's haze, fog volumes by layers, glow
// images, clampMap stages. A 64 x 64 picture from the origin along +X: the
// level's +Y is the picture's left, +Z its top.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "ShaderScene.h"
#include "app/viewer/frmMain.h"
#include "gl/OpenGL.h"
#include "level/Entities.h"
#include "level/WorldFog.h"
#include "render/FogLayers.h"
#include "window/OffscreenContext.h"
#include "render/RenderCache.h"
#include "shaders/VertexTurb.h"
#include "support/BspWriter.h"
#include "support/ImageWriters.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TBspWriter;
using TColour = std::array<int, 3>;
const TColour Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, Yellow{255, 255, 0};

const auto& Image = testsupport::ColumnsImage;

class TScene : public testsupport::TShaderScene {
 public:
  // A quad at x = 100 spanning y0..y1 and z0..z1, s 0 .. 1 from y1 to y0: -84 .. 84 fills the view.
  void Wall(std::int32_t texture, float y0, float y1, float z0 = -84, float z1 = 84) {
    Quad(texture, {{{100, y1, z0, 0, 0}, {100, y1, z1, 0, 1}, {100, y0, z1, 1, 1}, {100, y0, z0, 1, 0}}});
  }
  void Draw(double seconds = 0, TVector eye = {0, 0, 0}) { DrawFrom(eye, 90, seconds, false); }
};

testing::AssertionResult Near(TColour got, TColour want, int tolerance = 6) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(got[i] - want[i]) > tolerance)
      return testing::AssertionFailure() << testing::PrintToString(got) << " is not " << testing::PrintToString(want);
  return testing::AssertionSuccess();
}

// The ripple's offset by place, and the other changes around it in the order written.
TEST(VertexTurb, OffsetByPlaceAndOrder) {
  using shaders::TTcMod;
  using shaders::TTcModKind;
  TTcMod turb;
  turb.Kind = TTcModKind::Turb;
  turb.Wave = {shaders::TWaveForm::Sin, 5, 0.25f, 0, 0};  // the base counts for nothing
  TTcMod scale;
  scale.Kind = TTcModKind::Scale;
  scale.Values[0] = scale.Values[1] = 2;
  struct TCase {
    std::vector<TTcMod> Mods;
    bool FlipT;
    TVector At;
    TTexCoord Want;
  };
  const TCase cases[] = {
      {{turb}, false, {0, 0, 0}, {0.5f, 0.5f}},             // sin 0
      {{turb}, false, {200, 256, 56}, {0.75f, 0.75f}},      // a quarter cycle in both
      {{turb}, false, {768, 0, 0}, {0.25f, 0.5f}},          // three quarters in s
      {{turb}, true, {0, 256, 0}, {0.5f, 0.75f}},           // stored t the other way round
      {{turb, scale}, false, {256, 0, 0}, {1.5f, 1.0f}},    // ripple, then scale
      {{scale, turb}, false, {256, 0, 0}, {1.25f, 1.0f}},   // scale, then ripple
  };
  for (const TCase& c : cases) {
    const TTexCoord got = shaders::TVertexTexMods(c.Mods, 0, c.FlipT).Apply(c.At, {0.5f, c.FlipT ? -0.5f : 0.5f});
    const float wantT = c.FlipT ? -c.Want.T : c.Want.T;
    EXPECT_NEAR(got.S, c.Want.S, 1e-5) << c.At.X << "," << c.At.Y << "," << c.At.Z;
    EXPECT_NEAR(got.T, wantT, 1e-5) << c.At.X << "," << c.At.Y << "," << c.At.Z;
  }
  turb.Wave.Frequency = 1e30f;  // no time or speed makes a coordinate that is not finite
  const TTexCoord far = shaders::TVertexTexMods({turb}, 1e6, false).Apply({1e30f, -1e30f, 1e30f}, {0, 0});
  EXPECT_TRUE(std::isfinite(far.S) && std::isfinite(far.T));
}

// Two quads of one colour-column image, all their corners at s 0.375 (the green column). Each lies
// in a plane where x + z is the same at every corner, so the ripple moves each as one: a quarter
// cycle (x + z = 256) a quarter texture on, to blue; three quarters (768) a quarter back, to red.
// Without --vertex-turb the whole picture moves by the same amount in s (none at phase 0).
TEST(GamePicture, TurbulenceRipplesEachVertexByItsPlace) {
  for (const bool perVertex : {false, true}) {
    TScene scene;
    scene.Script("t/turb { { map t/columns.tga\n tcMod turb 0 0.25 0 0 } }\n");
    scene.Write("t/columns.tga", Image({Red, Green, Blue, Yellow}));
    const std::int32_t t = scene.Texture("t/turb");
    const float s = 0.375f;
    scene.Quad(t, {{{296, 60, -40, s, 0}, {216, 60, 40, s, 0}, {216, 20, 40, s, 1}, {296, 20, -40, s, 1}}});
    scene.Quad(t, {{{888, -100, -120, s, 0}, {648, -100, 120, s, 0}, {648, -300, 120, s, 1}, {888, -300, -120, s, 1}}});
    scene.Load([&](TLevelOptions& o) { o.VertexTurb = perVertex; });
    scene.Draw(3.7);
    EXPECT_TRUE(Near(scene.At(26, 32), perVertex ? Blue : Green)) << perVertex;
    EXPECT_TRUE(Near(scene.At(42, 32), perVertex ? Red : Green)) << perVertex;
  }
}

// The key's forms: four or five numbers in range, else a warning and no haze.
TEST(WorldFog, ReadFromTheWorldspawn) {
  const std::pair<std::string, std::string> cases[] = {
      {"0.15 0.3 0.3 0.3 0.8", "0.15 0.3 0.3 0.3 0.8"},
      {"1 0 0.5 1", "1 0 0.5 1 1"},
      {"0.15 0.3 0.3", "warning"},
      {"0.15 0.3 0.3 0.3 0.8 9", "warning"},
      {"0 0.3 0.3 0.3", "warning"},
      {"0.5 1.5 0 0", "warning"},
      {"0.5 nan 0 0", "warning"},
      {"0.5 0 0 0 x", "warning"},
  };
  for (const auto& [text, want] : cases) {
    std::vector<std::string> warnings;
    const std::optional<TWorldFog> fog =
        ReadWorldFog(ParseEntities("{\n\"classname\" \"worldspawn\"\n\"fog\" \"" + text + "\"\n}\n"), warnings);
    std::ostringstream got;
    if (fog) got << fog->Density << " " << fog->Colour[0] << " " << fog->Colour[1] << " " << fog->Colour[2] << " " << fog->Alpha;
    EXPECT_EQ(fog ? got.str() : warnings.size() == 1 ? "warning" : "?", want) << text;
  }
  std::vector<std::string> warnings;
  EXPECT_FALSE(ReadWorldFog(ParseEntities("{\n\"classname\" \"worldspawn\"\n}\n"), warnings));
  EXPECT_TRUE(warnings.empty());
  const TWorldFog fog{0.64f, {0, 1, 0}, 0.5f};
  EXPECT_NEAR(fog.Cover(100), 0.5 * (1 - std::exp(-1.0)), 1e-6);
  EXPECT_NEAR(fog.DistanceOf(fog.Cover(250)), 250, 1e-3);
}

// A red wall 100 units away over the left half, nothing over the right: with the haze the wall
// takes the fog colour by its distance (density 0.64 reaches exp(-1) at 100 units), the empty half
// (where the sky would be) the haze's most, alpha 0.5; to within a layer's step.
TEST(GamePicture, WorldFogHazesByDistanceAndOverTheSky) {
  for (const bool fogged : {false, true}) {
    TScene scene;
    scene.Level.Entities = "{\n\"classname\" \"worldspawn\"\n\"fog\" \"0.64 0 1 0 0.5\"\n}\n";
    scene.Script("t/red { { map t/red.tga } }\n");
    scene.Write("t/red.tga", Image({Red}));
    scene.Wall(scene.Texture("t/red"), 0, 84);
    scene.Load([&](TLevelOptions& o) { o.WorldFog = fogged; });
    scene.Draw();
    const double cover = fogged ? 0.5 * (1 - std::exp(-1.0)) : 0;
    const int red = static_cast<int>(std::lround(255 * (1 - cover))), green = static_cast<int>(std::lround(255 * cover));
    EXPECT_TRUE(Near(scene.At(16, 32), {red, green, 0})) << fogged;
    EXPECT_TRUE(Near(scene.At(48, 32), {0, fogged ? 128 : 0, 0})) << fogged;
  }
}

// A red fog box from x = 50 to 250 (opaque at 400 units) with blue walls inside it at x = 100 on
// the left and x = 200 on the right, and a green patch at x = 30 in front of it. Each pixel takes
// the share of 50 or 150 units of depth inside, along its own slanted ray; the patch none. From
// inside (the eye at x = 150) the far wall has 50 units of fog before it and the near one is behind.
TEST(GamePicture, FogLayersTintByTheDistanceInsideTheVolume) {
  TScene scene;
  scene.Script("t/blue { { map t/blue.tga } }\nt/green { { map t/green.tga } }\n"
               "t/fog { surfaceparm fog\n fogparms ( 1 0 0 ) 400 }\n");
  scene.Write("t/blue.tga", Image({Blue}));
  scene.Write("t/green.tga", Image({Green}));
  const std::int32_t blue = scene.Texture("t/blue"), green = scene.Texture("t/green");
  scene.Texture("t/fog");
  scene.Quad(blue, {{{100, 200, -200, 0, 0}, {100, 200, 200, 0, 1}, {100, 0, 200, 1, 1}, {100, 0, -200, 1, 0}}});
  scene.Quad(blue, {{{200, 0, -400, 0, 0}, {200, 0, 400, 0, 1}, {200, -400, 400, 1, 1}, {200, -400, -400, 1, 0}}});
  scene.Quad(green, {{{30, 5, 15, 0, 0}, {30, 5, 30, 0, 1}, {30, -5, 30, 1, 1}, {30, -5, 15, 1, 0}}});
  scene.FogBox({TBSPPlane{{1, 0, 0}, 250}, TBSPPlane{{-1, 0, 0}, -50}, TBSPPlane{{0, 1, 0}, 1000},
                TBSPPlane{{0, -1, 0}, 1000}, TBSPPlane{{0, 0, 1}, 1000}, TBSPPlane{{0, 0, -1}, 1000}},
               2);
  scene.Load([](TLevelOptions& o) { o.FogLayers = true; });
  ASSERT_EQ(scene.Loaded.Shading.Fogs.size(), 1u);
  // Pixel (16, 40) and (47, 40) look along (1, +-0.484, -0.266) and its mirror: 1.1425 x the depth.
  const auto fogged = [](double depthInside) {
    const double share = FogLayerShare(depthInside * 1.1425 / 400);
    return TColour{static_cast<int>(std::lround(255 * share)), 0, static_cast<int>(std::lround(255 * (1 - share)))};
  };
  scene.Draw();
  EXPECT_TRUE(Near(scene.At(16, 40), fogged(50)));
  EXPECT_TRUE(Near(scene.At(47, 40), fogged(150)));
  EXPECT_TRUE(Near(scene.At(32, 8), Green));
  scene.Draw(0, {150, 0, 0});  // the layers start at the near plane: to within one layer's 6.25 units
  EXPECT_TRUE(Near(scene.At(47, 40), fogged(50), 12));
  EXPECT_FALSE(Near(scene.At(47, 40), fogged(35), 12));
  EXPECT_NEAR(FogLayerShare(1), 254.0 / 255, 1e-6);
  EXPECT_EQ(FogLayerShare(0), 0);
}

// A surface no script describes, with t/wall_glow beside t/wall: the glow is added on top.
TEST(GamePicture, GlowImageAddedOverASurfaceWithoutScript) {
  for (const bool glow : {false, true}) {
    TScene scene;
    scene.Script("t/other { { map t/wall.tga } }\n");
    scene.Write("t/wall.tga", Image({{60, 70, 80}}));
    scene.Write("t/wall_glow.tga", Image({{100, 0, 20}}));
    scene.Wall(scene.Texture("t/wall"), -84, 84);
    scene.Load([&](TLevelOptions& o) { o.GlowImages = glow; });
    scene.Draw();
    EXPECT_TRUE(Near(scene.At(32, 32), glow ? TColour{160, 70, 100} : TColour{60, 70, 80})) << glow;
  }
}

// A clampMap image and the same image repeating, side by side: with --clamp-coords the clamped one
// shows the image as the repeating one does; without, the level's turned t reads its edge row
// everywhere, one colour from top to bottom.
TEST(GamePicture, ClampMapReadsItsImageNotItsEdge) {
  for (const bool shift : {false, true}) {
    TScene scene;
    scene.Script("t/clamped { { clampMap t/rows.tga } }\nt/repeated { { map t/rows.tga } }\n");
    testsupport::TBytes pixels;
    for (const TColour& c : {Red, Green, Blue, Yellow})
      for (int x = 0; x < 4; ++x)
        pixels.insert(pixels.end(), {static_cast<std::uint8_t>(c[2]), static_cast<std::uint8_t>(c[1]),
                                     static_cast<std::uint8_t>(c[0]), 255});
    testsupport::TTGAOptions options;
    options.Depth = 32;
    scene.Write("t/rows.tga", testsupport::MakeTGA(4, 4, pixels, options));
    scene.Wall(scene.Texture("t/clamped"), 0, 84);
    scene.Wall(scene.Texture("t/repeated"), -84, 0);
    scene.Load([&](TLevelOptions& o) { o.ClampCoords = shift; });
    scene.Draw();
    if (shift) {
      EXPECT_TRUE(Near(scene.At(16, 24), scene.At(48, 24)));
      EXPECT_TRUE(Near(scene.At(16, 40), scene.At(48, 40)));
      EXPECT_FALSE(Near(scene.At(16, 24), scene.At(16, 40)));
    } else {
      EXPECT_TRUE(Near(scene.At(16, 24), scene.At(16, 40)));
    }
  }
}

// --portals: a portal face at x = 100 (y and z within 40) before a blue wall, its stage red at
// alphaGen portal 1000 (0.1 at the eye's 100 units). With a camera at (0, 0, -1000) looking along
// +X at a wall green above and yellow below, the face shows that wall upright (roll 180: upside
// down), and not the red quad between the camera's plane and the eye behind it; without a camera
// it mirrors a wall behind the eye, green on the left. Without the option: the red stage alone.
TEST(GamePicture, PortalShowsItsCameraOrAMirror) {
  const std::string camera = "{\n\"classname\" \"misc_portal_camera\"\n\"origin\" \"0 0 -1000\"\n\"targetname\" \"c\"\n";
  struct TCase {
    std::string Entities;
    bool Portals;
    std::array<std::pair<std::array<int, 2>, TColour>, 2> Want;
  };
  const TColour green{26, 230, 0}, yellow{255, 230, 0};  // 0.9 of the view, 0.1 of the red stage
  const std::string surface = "{\n\"classname\" \"misc_portal_surface\"\n\"origin\" \"96 0 0\"\n";
  const TCase cases[] = {
      {surface + "\"target\" \"c\"\n}\n" + camera + "\"angle\" \"0\"\n}\n", true, {{{{32, 24}, green}, {{32, 40}, yellow}}}},
      {surface + "\"target\" \"c\"\n}\n" + camera + "\"angles\" \"0 0 0\"\n\"roll\" \"180\"\n}\n", true,
       {{{{32, 24}, yellow}, {{32, 40}, green}}}},
      {surface + "}\n", true, {{{{24, 32}, green}, {{40, 32}, yellow}}}},
      {surface + "\"target\" \"c\"\n}\n" + camera + "}\n", false, {{{{32, 24}, Red}, {{2, 2}, Blue}}}},
  };
  for (const TCase& c : cases) {
    TScene scene;
    scene.Script("t/red { { map t/red.tga } }\nt/green { { map t/green.tga } }\nt/yellow { { map t/yellow.tga } }\n"
                 "t/blue { { map t/blue.tga } }\nt/portal { portal { map t/red.tga\n blendfunc blend\n"
                 " alphagen portal 1000 } }\n");
    for (const auto& [name, colour] : {std::pair{"red", Red}, {"green", Green}, {"yellow", Yellow}, {"blue", Blue}})
      scene.Write(std::string("t/") + name + ".tga", Image({colour}));
    const std::int32_t red = scene.Texture("t/red"), green = scene.Texture("t/green"),
                       yellow = scene.Texture("t/yellow");
    scene.Quad(scene.Texture("t/blue"), {{{200, 300, -300, 0, 0}, {200, 300, 300, 0, 1}, {200, -300, 300, 1, 1}, {200, -300, -300, 1, 0}}});
    scene.Wall(scene.Texture("t/portal"), -40, 40, -40, 40);
    scene.Level.Faces.back().Normal = {-1, 0, 0};
    // Before the camera: its wall at x = 300, and red at x = -50, behind the camera's plane.
    scene.Quad(green, {{{300, 200, -1000, 0, 0}, {300, 200, -800, 0, 1}, {300, -200, -800, 1, 1}, {300, -200, -1000, 1, 0}}});
    scene.Quad(yellow, {{{300, 200, -1200, 0, 0}, {300, 200, -1000, 0, 1}, {300, -200, -1000, 1, 1}, {300, -200, -1200, 1, 0}}});
    scene.Quad(red, {{{-50, 100, -1100, 0, 0}, {-50, 100, -900, 0, 1}, {-50, -100, -900, 1, 1}, {-50, -100, -1100, 1, 0}}});
    // Behind the eye, facing the mirror: green on the left (+Y), yellow on the right.
    scene.Quad(green, {{{-100, 0, -300, 0, 0}, {-100, 0, 300, 0, 1}, {-100, 300, 300, 1, 1}, {-100, 300, -300, 1, 0}}});
    scene.Quad(yellow, {{{-100, -300, -300, 0, 0}, {-100, -300, 300, 0, 1}, {-100, 0, 300, 1, 1}, {-100, 0, -300, 1, 0}}});
    scene.Level.Entities = "{\n\"classname\" \"worldspawn\"\n}\n" + c.Entities;
    scene.Load([&](TLevelOptions& o) { o.Portals = c.Portals; });
    scene.Draw();
    for (const auto& [at, want] : c.Want) EXPECT_TRUE(Near(scene.At(at[0], at[1]), want)) << c.Entities << at[0] << "," << at[1];
    EXPECT_TRUE(Near(scene.At(2, 2), Blue));
    EXPECT_EQ(scene.Cache.PortalViewsDrawn, c.Portals ? 1 : 0);
  }
}

}  // namespace
