// Brush models and item models on screen: a level built in memory whose tree has three leaves,
// drawn offscreen by Mesa and read back.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gl/OpenGL.h"
#include "level/Items.h"
#include "level/LightGrid.h"
#include "level/Things.h"
#include "render/EntityLinks.h"
#include "render/ItemLight.h"
#include "render/ItemStages.h"
#include "render/Q3BSP_render.h"
#include "render/RenderCache.h"
#include "shaders/StagePlan.h"
#include "support/Md3Writer.h"
#include "support/OrthoStartUp.h"
#include "support/PixelTest.h"
#include "support/TestLevels.h"
#include "window/OffscreenContext.h"

namespace {

using TColour = std::array<int, 3>;
constexpr int Size = 64, Region = 16;
const TColour Background{128, 128, 128};
const TColour Model{200, 100, 40};

// The tree: x >= 0 is leaf A (cluster 0, the camera's); behind it, y >= 0 is leaf B (cluster 1)
// and y < 0 leaf C (cluster 2). Each brush model has one face, in the region of its number, and
// no leaf lists it: only the brush-model pass can mark it.
enum : std::int32_t { ClosedLeaf = 1, VisibleLeaf, Straddling, CornerOnPlane, JustBehind, ModelCount };
const TVector kBoxes[ModelCount][2] = {{},
                                       {{-20, -20, 0}, {-10, -10, 8}},   // in C
                                       {{-20, 10, 0}, {-10, 20, 8}},     // in B
                                       {{-20, -5, 0}, {-10, 5, 8}},      // in B and C
                                       {{-20, -20, 0}, {0, -10, 8}},     // in C, a corner on x = 0: A too
                                       {{-20, -20, 0}, {-1, -10, 8}}};   // in C only
const TVector kCamera{32, 0, 0};

class ThingsPixels : public testsupport::TPixelTest {
 protected:
  ThingsPixels() : TPixelTest(Size, Size) {}

  // The level with the clusters the camera's cluster 0 admits besides its own.
  static TQuake3BSP Level(std::initializer_list<std::int32_t> admitted) {
    TQuake3BSP level;
    testsupport::SetFaceCount(level, ModelCount);
    std::vector<TBSPModel> models(ModelCount);
    for (std::int32_t m = 1; m < ModelCount; ++m) {
      const float x = static_cast<float>(m % 4 * Region), y = static_cast<float>(m / 4 * Region);
      testsupport::SetFaceGeometry(level, m, {{x + 2, y + 2, 0}, {x + 2, y + 14, 0}, {x + 14, y + 14, 0}, {x + 14, y + 2, 0}},
                                  {0, 1, 2, 0, 2, 3});
      level.Faces[static_cast<std::size_t>(m)].TextureIndex = 0;
      models[static_cast<std::size_t>(m)] = {kBoxes[m][0], kBoxes[m][1], m, 1, 0, 0};
    }
    testsupport::GroupFaces(level, 1, 0);
    level.SurfaceTextures = {testsupport::SolidTexture(Model)};
    const std::int32_t root = testsupport::AddNode(level, testsupport::AddPlane(level, {1, 0, 0}, 0), -1, 1);
    testsupport::AddNode(level, testsupport::AddPlane(level, {0, 1, 0}, 0), -2, -3);
    EXPECT_EQ(root, 0);
    testsupport::AddLeaf(level, 0, {});
    testsupport::AddLeaf(level, 1, {});
    testsupport::AddLeaf(level, 2, {});
    testsupport::SetVisData(level, 3, 1);
    testsupport::SetVisible(level, 0, 0);
    for (const std::int32_t cluster : admitted) testsupport::SetVisible(level, 0, cluster);
    std::vector<std::string> warnings;
    level.Things.BrushModels = PlanBrushModels(level, models, warnings);
    EXPECT_TRUE(warnings.empty());
    return level;
  }

  TMarkerArrays LevelMarkers;
  void Draw(TQuake3BSP& level, const TRenderOptions& options) {
    testsupport::OrthographicStartUp(Size);
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TRenderCache cache;
    level.RenderLevel(kCamera, options, cache);
    ReadBack();
  }
  // The models whose face shows, as a string of their numbers.
  std::string Drawn() const {
    std::string drawn;
    for (std::int32_t m = 1; m < ModelCount; ++m)
      if (At(m % 4 * Region + Region / 2, m / 4 * Region + Region / 2) == Model) drawn += std::to_string(m);
    return drawn;
  }
};

TEST_F(ThingsPixels, BrushModelsWhereTheirLeavesAreAdmitted) {
  TRenderOptions options;
  options.BrushModels = true;
  struct TCase {
    std::initializer_list<std::int32_t> Admitted;
    const char* Drawn;
  } cases[] = {{{1}, "234"}, {{2}, "1345"}, {{}, "4"}, {{1, 2}, "12345"}};
  for (const TCase& c : cases) {
    TQuake3BSP level = Level(c.Admitted);
    Draw(level, options);
    EXPECT_EQ(Drawn(), c.Drawn);
    EXPECT_EQ(VisibleFaceCount, static_cast<std::int32_t>(std::string(c.Drawn).size()));
  }
  TQuake3BSP level = Level({1, 2});
  Draw(level, {});
  EXPECT_EQ(Drawn(), "") << "without the option, as always: faces no leaf lists are not drawn";
  EXPECT_EQ(VisibleFaceCount, 0);
}

TEST_F(ThingsPixels, TheCornerOnThePlaneGoesToTheFront) {
  TQuake3BSP level = Level({});
  TBoxDescent descent(level);
  std::vector<std::int32_t> leaves;
  descent.Leaves(kBoxes[CornerOnPlane][0], kBoxes[CornerOnPlane][1], leaves);
  EXPECT_EQ(leaves, (std::vector<std::int32_t>{0, 2}));
  leaves.clear();
  descent.Leaves(kBoxes[JustBehind][0], kBoxes[JustBehind][1], leaves);
  EXPECT_EQ(leaves, (std::vector<std::int32_t>{2}));
  EXPECT_EQ(level.Things.BrushModels[CornerOnPlane - 1].Clusters, (std::vector<std::int32_t>{0, 2}));
}

// A synthetic MD3 square, read by the parser, placed and turned as an item, covers the pixels of
// its place; the same item in a cluster the camera's does not admit is not drawn.
TEST_F(ThingsPixels, ItemModelRoundTrip) {
  TQuake3BSP level = Level({});
  testsupport::TMd3Writer writer;
  writer.Surfaces = {testsupport::TMd3Writer::Square(16)};
  const TMd3Model model = ParseMd3(writer.Bytes());
  TItemModels& items = level.Things.ItemModels;
  items.Groups.resize(1);
  items.Groups[0].Texture = testsupport::SolidTexture({255, 255, 255});
  const std::size_t group = 0;
  AddItemInstance(items, model, {&group, 1}, {24, 40, 0}, 45, 0);  // cluster 0: drawn
  AddItemInstance(items, model, {&group, 1}, {48, 16, 0}, 0, 2);   // cluster 2: not admitted
  TRenderOptions options;
  options.Items = true;
  Draw(level, options);
  // Turned by 45 degrees the square's corners reach 11.3 units out along the axes, its sides
  // 5.6 units along the diagonals.
  const auto lit = [this](int x, int y) { return At(x, y) != Background; };
  EXPECT_TRUE(lit(24, 40) && lit(24 + 10, 40) && lit(24, 40 - 10) && lit(24 - 10, 40));
  EXPECT_FALSE(lit(24 + 7, 40 + 7) || lit(24 - 7, 40 - 7) || lit(24 + 13, 40));
  EXPECT_NEAR(At(24, 40)[0], 255 * (0.55 + 0.45 * 0.886), 2) << "lit from above";
  EXPECT_FALSE(lit(48, 16));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
}

// A model of two surfaces, each by its own shader's stages: an opaque red one and a shell that adds
// green over it. The shell comes after the opaque surface (red + green); drawn before, the opaque
// stage would replace it (red alone).
TEST_F(ThingsPixels, ModelSurfacesByTheirStagesBlendedLast) {
  TQuake3BSP level = Level({});
  testsupport::TMd3Writer writer;
  writer.Surfaces = {testsupport::TMd3Writer::Square(16)};
  const TMd3Model model = ParseMd3(writer.Bytes());
  TItemModels& items = level.Things.ItemModels;
  items.Groups.resize(2);
  shaders::TShader opaque, shell;
  opaque.Stages.resize(1);
  shell.Stages.resize(1);
  opaque.Stages[0].Map = "red";  // image stages: their textures are the groups' StageTextures
  shell.Stages[0].Map = "shell";
  shell.Stages[0].HasBlend = true;
  shell.Stages[0].BlendSource = shell.Stages[0].BlendDestination = shaders::TBlendFactor::One;
  shell.Stages[0].RgbGen = shaders::TColourGen::Const;
  shell.Stages[0].RgbConst[0] = shell.Stages[0].RgbConst[2] = 0;
  shell.Stages[0].RgbConst[1] = 0.5f;
  const TColour red{255, 0, 0};
  for (const std::size_t g : {0, 1}) {  // the shell first in the list: the order is the stages'
    TItemGroup& group = items.Groups[g];
    group.Shader = g == 1 ? opaque : shell;
    group.State = shaders::DrawStateOf(&*group.Shader);
    group.Plan = shaders::PlanStages(*group.Shader, group.State);
    group.StageTextures = {{testsupport::SolidTexture(g == 1 ? red : TColour{255, 255, 255})}};
  }
  for (const std::size_t group : {0, 1}) AddItemInstance(items, model, {&group, 1}, {24, 40, 0}, 0, 0);
  ASSERT_EQ(items.Groups[1].Normals.size(), 4u) << "normals kept for a group drawn by its stages";
  TRenderOptions options;
  options.Items = true;
  Draw(level, options);
  EXPECT_EQ(At(24, 40)[0], 255);
  EXPECT_NEAR(At(24, 40)[1], 128, 2);
  EXPECT_EQ(At(24, 40)[2], 0);
  EXPECT_EQ(At(48, 16), Background);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY) || glIsEnabled(GL_BLEND));
}

// alphaGen lightingSpecular: the light mirrored straight into the eye is full, away from it none.
TEST(ItemStages, SpecularAlphaAtItsEdges) {
  const struct {
    TVector Eye, Normal;
    int Alpha;
  } cases[] = {{{0.37f, 0.28f, 0.886f}, {0.37f, 0.28f, 0.886f}, 255},  // light, normal and eye one line
               {{-0.37f, -0.28f, 0.886f}, {0, 0, 1}, 255},            // mirrored in a flat top
               {{0.37f, 0.28f, -0.886f}, {0, 0, 1}, 0},               // the eye below: mirrored away
               {{0, 0, 0}, {0, 0, 1}, 0}};                             // the eye on the vertex
  for (const auto& c : cases) EXPECT_NEAR(SpecularAlpha({0, 0, 0}, c.Normal, c.Eye), c.Alpha, 1);
}

// --grid-light on screen: a white square 24 units along a grid of two cells 64 apart takes
// 5/8 of the first cell's light and 3/8 of the second's, by the game's rule (x4): ambient
// (8, 16, 32) and (40, 16, 0) give (80, 64, 80), the light from straight above (16, 16, 16) x 4 on
// its upward face 64 more.
TEST_F(ThingsPixels, ItemLitByItsLightGridCells) {
  TQuake3BSP level = Level({});
  testsupport::TMd3Writer writer;
  writer.Surfaces = {testsupport::TMd3Writer::Square(16)};
  const TMd3Model model = ParseMd3(writer.Bytes());
  std::vector<std::uint8_t> bytes(16, 0);
  for (const std::array<std::uint8_t, 8>& cell : {std::array<std::uint8_t, 8>{8, 16, 32, 16, 16, 16, 0, 0},
                                                   std::array<std::uint8_t, 8>{40, 16, 0, 16, 16, 16, 0, 0}})
    bytes.insert(bytes.end(), cell.begin(), cell.end());
  std::string warning;
  const std::optional<TLightGrid> grid = ReadLightGrid(bytes, {16, 16}, {0, 0, 0}, {64, 10, 100}, nullptr, warning);
  ASSERT_TRUE(grid) << warning;
  TItemModels& items = level.Things.ItemModels;
  items.Groups.resize(1);
  items.Groups[0].Texture = testsupport::SolidTexture({255, 255, 255});
  const std::size_t group = 0;
  AddItemInstance(items, model, {&group, 1}, {24, 40, 0}, 0, 0, GridShade(SampleLightGrid(*grid, {24, 40, 0}, true)));
  TRenderOptions options;
  options.Items = true;
  Draw(level, options);
  const TColour want{144, 128, 144};
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(At(24, 40)[static_cast<std::size_t>(c)], want[static_cast<std::size_t>(c)], 2);
  EXPECT_EQ(At(48, 16), Background);
}

// The entity view: a target link as a white line with its arrowhead at the named entity, a
// trigger's box in the triggers' red over the picture with opaque edges; neither without the mode.
TEST_F(ThingsPixels, LinksAndTriggerBoxesInTheEntityView) {
  TQuake3BSP level = Level({});
  for (const TVector at : {TVector{8, 56, 0}, TVector{56, 56, 0}, TVector{16, 16, 0}}) {
    TPlacedEntity place;
    place.Position = at;
    level.Things.Places.push_back(place);
  }
  level.Things.Links = {{0, 1}};
  level.Things.TriggerBoxes = {{2, {4, 4, -0.5f}, {28, 28, 0.5f}}};
  const TColour white{255, 255, 255}, red{230, 40, 40};
  const auto lineAt = [this](int x, int y0, int y1, TColour colour) {
    for (int y = y0; y <= y1; ++y)
      if (At(x, y) == colour) return true;
    return false;
  };
  Draw(level, {});
  EXPECT_EQ(At(32, 56), Background) << "the plain frame draws neither";
  EXPECT_EQ(At(16, 16), Background);
  TRenderOptions options;
  options.Markers = true;
  Draw(level, options);
  EXPECT_TRUE(lineAt(32, 55, 57, white)) << "the link";
  EXPECT_TRUE(lineAt(40, 57, 60, white) && lineAt(40, 52, 55, white)) << "the arrowhead's two strokes";
  EXPECT_FALSE(lineAt(14, 50, 62, white)) << "short of the naming entity's marker";
  const TColour inside = At(16, 16);
  EXPECT_GT(inside[0], Background[0] + 20) << "red blended over the grey, top and bottom side";
  EXPECT_LT(inside[1], Background[1] - 20);
  EXPECT_TRUE(lineAt(4, 10, 20, red) || lineAt(3, 10, 20, red)) << "an opaque edge";
  EXPECT_EQ(At(40, 16), Background);
  // The inspected entity's links over everything, the rest of the view untouched.
  Draw(level, {});
  DrawEntityLinks(level, LevelMarkers, 1, true);
  ReadBack();
  EXPECT_TRUE(lineAt(32, 55, 57, white));
  DrawEntityLinks(level, LevelMarkers, 2, true);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY) || glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY) && glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_CULL_FACE));
}

}  // namespace
