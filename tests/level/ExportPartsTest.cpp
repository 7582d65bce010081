// The pure parts of --export: lightmap atlases, the faces of brush models, and which faces an
// export holds in which material.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "level/BrushModels.h"
#include "level/ExportGeometry.h"
#include "level/ExportPlan.h"
#include "level/LightmapAtlas.h"
#include "support/BspWriter.h"

using testsupport::TBspWriter;

namespace {

TEST(ExportParts, AtlasesArePowersOfTwoOfAtMost4096) {
  struct TCase { std::int32_t Pages, Side; std::vector<std::int32_t> Columns, Rows; };
  const TCase cases[] = {
      {1, 128, {1}, {1}},        {2, 128, {2}, {1}},   {5, 128, {4}, {2}},  {14, 128, {4}, {4}},
      {1024, 128, {32}, {32}},   {1025, 128, {32, 1}, {32, 1}},  {3, 4096, {1, 1, 1}, {1, 1, 1}},
      {0, 128, {}, {}},
  };
  for (const TCase& c : cases) {
    const TAtlasLayout layout = LayoutAtlases(c.Pages, c.Side, c.Side);
    EXPECT_EQ(layout.Columns, c.Columns) << c.Pages << " pages of " << c.Side;
    EXPECT_EQ(layout.Rows, c.Rows) << c.Pages << " pages of " << c.Side;
  }
  EXPECT_THROW(LayoutAtlases(1, 4097, 128), std::invalid_argument);
  // Page 5 of 14 (4 x 4 cells) is column 1 of row 1; its coordinates are clamped to the page.
  const TAtlasLayout layout = LayoutAtlases(14, 128, 128);
  for (const auto& [in, out] : std::vector<std::pair<TTexCoord, TTexCoord>>{
           {{0.5f, 0.5f}, {0.375f, 0.375f}}, {{-3, 7}, {0.25f, 0.5f}}, {{NAN, 1}, {0.25f, 0.5f}}}) {
    EXPECT_FLOAT_EQ(layout.Map(5, in).S, out.S);
    EXPECT_FLOAT_EQ(layout.Map(5, in).T, out.T);
  }
  std::vector<TLightmapPage> pages(2);
  pages[0].Rgb.assign(128 * 128 * 3, 7);
  pages[1].Rgb.assign(128 * 128 * 3, 9);
  const std::vector<std::uint8_t> atlas = PackAtlas(LayoutAtlases(2, 128, 128), 0, pages);
  EXPECT_EQ(atlas.size(), 256u * 128 * 3);
  EXPECT_EQ(atlas[(5 * 256 + 127) * 3], 7);
  EXPECT_EQ(atlas[(5 * 256 + 128) * 3], 9);
}

TEST(ExportParts, BrushModelsOwnTheirRunsFirstClaimFirst) {
  const auto model = [](std::int32_t first, std::int32_t count) { return TBSPModel{{}, {}, first, count, 0, 0}; };
  EXPECT_EQ(FaceModels(std::vector<TBSPModel>{model(0, 6), model(2, 2), model(3, 3), model(0, 0)}, 6),
            (std::vector<std::int32_t>{0, 0, 1, 1, 2, 2}));
  // Runs leaving the faces are emptied when read; the reader takes whole records inside the file.
  TBspWriter writer = TBspWriter::SmallLevel();
  std::vector<std::uint8_t> lump(2 * sizeof(TBSPModel) + 7);
  const TBSPModel records[2] = {model(0, 1), model(1, 9)};
  std::memcpy(lump.data(), records, sizeof records);
  writer.SetRawLump(kModels, lump);
  const std::vector<TBSPModel> read = ReadModels(writer.Bytes(), 1);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[1].NumFaces, 0);
  writer.SetLumpOffset(kModels, 1 << 30);
  EXPECT_TRUE(ReadModels(writer.Bytes(), 1).empty());
}

TEST(ExportParts, PlanHoldsWhatAFrameDrawsLessSkyAndNodraw) {
  std::vector<TBSPTexture> textures = {TBspWriter::Texture("a"), TBspWriter::Texture("sky"),
                                       TBspWriter::Texture("shaded")};
  textures[1].Flags = kSurfaceSky;
  TBSPFace mesh = TBspWriter::Face(0, 0, 3, 0, 3);
  mesh.NumMeshVertices = 3;
  const std::vector<TBSPFace> faces = {TBspWriter::Face(0, 0, 4, 0), TBspWriter::Face(0, 0, 4, 1500),
                                       TBspWriter::Face(0, 0, 4, -1), TBspWriter::Face(1, 0, 4, 0),
                                       TBspWriter::Face(2, 0, 4, 0), TBspWriter::Face(7, 0, 4, 0),
                                       mesh, TBspWriter::Face(0, 0, 4, 0)};
  const std::vector<std::int32_t> faceModels = {0, 0, 0, 0, 0, 0, 0, 1};
  std::vector<shaders::TDrawState> states(3);
  states[2].Lightmap = false;
  const TSurfacePlan surfaces = PlanSurfaces(faces, 8);
  TExportSource source{faces, textures, {}, nullptr, 8, faceModels, false, 2000, 1024};
  TExportPlan plan = PlanExport(source);
  EXPECT_EQ(plan.FaceMaterial, (std::vector<std::int32_t>{1, 2, 0, -1, 3, -1, -1, -1}));
  EXPECT_EQ(plan.Materials, (std::vector<TExportMaterial>{{0, -1}, {0, 0}, {0, 1}, {2, 0}}));
  EXPECT_EQ(plan.Triangles, 8);
  source.States = states;
  source.Surfaces = &surfaces;
  source.BrushModels = true;
  plan = PlanExport(source);
  EXPECT_EQ(plan.FaceMaterial, (std::vector<std::int32_t>{1, 2, 0, -1, 3, -1, 1, 1}));
  EXPECT_EQ(plan.Materials.back(), (TExportMaterial{2, -1}));
  EXPECT_EQ(plan.Triangles, 11);
  // glTF's frame: Y up, -Z where the level's +Y goes; what no float holds becomes 0.
  EXPECT_EQ(GltfPoint({1, 2, 3}, 2), (std::array<float, 3>{2, 6, -4}));
  EXPECT_EQ(GltfPoint({INFINITY, 3e38f, NAN}, 10), (std::array<float, 3>{0, 0, 0}));
}

}  // namespace
