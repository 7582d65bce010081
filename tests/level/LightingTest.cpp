// The level's side of --external-lightmaps and --vertex-light: where lightmap files are looked
// for and which are taken, and the brightened vertex colours (curved surfaces brightened before
// they are evaluated).
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <set>

#include "level/LightmapFiles.h"
#include "level/Patch.h"
#include "level/Q3BSP_load.h"
#include "level/Q3BSP_surfaces.h"
#include "level/VertexLight.h"
#include "support/BspWriter.h"

namespace {

using testsupport::TBspWriter;

TEST(LightmapFiles, FolderBesideTheLevelNamedAfterItsStem) {
  EXPECT_EQ(LightmapFolderOf("maps\\testmap.BSP"), "maps/testmap/");
  EXPECT_EQ(LightmapFolderOf("/data/x.y/level"), "/data/x.y/level/");
  EXPECT_EQ(LightmapFileStem(7), "lm_0007");
  EXPECT_EQ(LightmapFileStem(12345), "lm_12345");
}

TEST(LightmapFiles, TakenInTheirOrderUntilTheFirstNumberWithoutAFile) {
  const std::set<std::string> files = {"m/lm_0000.png", "m/lm_0000.jpg", "m/lm_0001.tga", "m/lm_0001.png",
                                       "m/lm_0002.jpg", "m/lm_0004.tga"};
  std::size_t asked = 0;
  const auto exists = [&](const std::string& name) { return ++asked, files.count(name) > 0; };
  std::vector<TBSPFace> faces = {TBspWriter::Face(0, 0, 0, -3), TBspWriter::Face(0, 0, 0, 4)};
  TLightmapFileList list = FindLightmapFiles("m/", faces, exists);
  EXPECT_EQ(list.Names, (std::vector<std::string>{"m/lm_0000.png", "m/lm_0001.tga", "m/lm_0002.jpg"}));
  EXPECT_EQ(list.Warning,
            "m/lm_0003.tga (.png, .jpg): no such file; the faces of lightmaps 3 to 4 are drawn without lightmap");
  EXPECT_TRUE(WantsLightmapFiles(0, faces));
  EXPECT_FALSE(WantsLightmapFiles(1, faces));
  // An index of two billion costs the names of the one number missing.
  faces[1].LightmapIndex = std::numeric_limits<std::int32_t>::max();
  asked = 0;
  list = FindLightmapFiles("none/", faces, exists);
  EXPECT_TRUE(list.Names.empty());
  EXPECT_EQ(asked, 3u);
  EXPECT_NE(list.Warning.find("lightmaps 0 to 2147483647 are drawn"), std::string::npos);
}

TBSPVertex Coloured(float x, float y, std::array<std::uint8_t, 4> colour) {
  TBSPVertex vertex = TBspWriter::Vertex(x, y, 0);
  std::memcpy(vertex.Color, colour.data(), 4);
  return vertex;
}

// The model of a level loaded with these options, without any GL: the load's own steps.
TQuake3BSP ModelOf(const TBspWriter& writer, const TLevelOptions& options) {
  TLevelLoad load(options);
  const std::vector<std::uint8_t> bytes = writer.Bytes();
  load.File = ParseBSP(bytes);
  load.Bytes = bytes;  // the curved surfaces' memory allowance goes by the file's size
  TQuake3BSP level;
  BuildLevelModel(level, load);
  GroupTextureFaces(level);
  FinishLevelModel(level, load);
  return level;
}

TEST(VertexLight, ColoursBrightenedAsLightmapTexelsAndCurvedSurfacesBeforeTheyAreEvaluated) {
  TBspWriter w;
  w.Textures = {TBspWriter::Texture("t")};
  // A polygon lit by its vertices, one with a lightmap, a 3 x 3 curved surface.
  w.Vertices = {Coloured(0, 0, {0, 87, 88, 7}), Coloured(1, 0, {255, 10, 20, 0}), Coloured(1, 1, {30, 40, 50, 255})};
  for (int i = 0; i < 9; ++i)
    w.Vertices.push_back(Coloured(static_cast<float>(i % 3), static_cast<float>(i / 3),
                                  {static_cast<std::uint8_t>(i % 2 ? 200 : 0), 0, 0, 0}));
  w.Faces = {TBspWriter::Face(0, 0, 3, kVertexLitFace), TBspWriter::Face(0, 0, 3, 0),
             TBspWriter::Face(0, 3, 9, kVertexLitFace, kPatchFace)};
  w.Faces[2].PatchSize[0] = w.Faces[2].PatchSize[1] = 3;
  TLevelOptions options;
  options.VertexLight = true;
  options.Surfaces = TSurfaceSet::All;
  options.Tessellation = 2;
  const TQuake3BSP level = ModelOf(w, options);

  EXPECT_EQ(level.Lighting.FaceColours[0][1], (std::array<std::uint8_t, 4>{255, 100, 120, 255}));
  EXPECT_TRUE(level.Lighting.FaceColours[1].empty());
  // The grid's colours brightened (0 -> 80, 200 -> 255), then evaluated: the centre of the 3 x 3
  // corner-zero grid weighs its four 255 edges and five 80s, where brightening after evaluation
  // would saturate.
  std::vector<TBSPVertex> grid(w.Vertices.begin() + 3, w.Vertices.end());
  for (TBSPVertex& v : grid) v.Color[0] = v.Color[0] ? 255 : 80;
  const TPatchMesh mesh = TessellatePatch(grid, 3, 3, 2);
  ASSERT_EQ(level.Lighting.FaceColours[2].size(), mesh.Vertices.size());
  ASSERT_EQ(level.FaceVertices[2].size(), mesh.Vertices.size());
  for (std::size_t j = 0; j < mesh.Vertices.size(); ++j)
    EXPECT_EQ(level.Lighting.FaceColours[2][j][0], mesh.Vertices[j].Color[0]) << j;
  EXPECT_EQ(level.Lighting.FaceColours[2][4][0], 168);  // a half of 255s, a half of 80s: 167.5
  EXPECT_EQ(level.Lighting.VertexLitFaces, (std::vector<std::int32_t>{0, 2}));

  // Without the option the model is the plain one.
  EXPECT_TRUE(ModelOf(w, {}).Lighting.FaceColours.empty());
}

}  // namespace
