// The level's side of --external-lightmaps and --vertex-light: where lightmap files are looked
// for and which are taken, the brightened vertex colours (curved surfaces brightened before they
// are evaluated), the faces of the vertex pass, and version 47 headers.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <set>

#include "level/LevelFile.h"
#include "level/LightmapFiles.h"
#include "level/Patch.h"
#include "level/Q3BSP_load.h"
#include "level/Q3BSP_surfaces.h"
#include "level/VertexLight.h"
#include "support/BspWriter.h"

namespace {

using testsupport::TBspWriter;

TEST(LightmapFiles, FolderBesideTheLevelNamedAfterItsStem) {
  const std::pair<const char*, const char*> cases[] = {
      {"maps/q3dm1.bsp", "maps/q3dm1/"}, {"maps\\testmap.BSP", "maps/testmap/"},
      {"/data/x.y/level.bsp", "/data/x.y/level/"}, {"/data/x.y/level", "/data/x.y/level/"},
      {"oa_dm4.bsp", "oa_dm4/"}};
  for (const auto& [level, folder] : cases) EXPECT_EQ(LightmapFolderOf(level), folder) << level;
  EXPECT_EQ(LightmapFileStem(7), "lm_0007");
  EXPECT_EQ(LightmapFileStem(12345), "lm_12345");
}

TEST(LightmapFiles, TakenInTheirOrderUntilTheFirstNumberWithoutAFile) {
  const std::set<std::string> files = {"m/lm_0000.png", "m/lm_0000.jpg", "m/lm_0001.tga", "m/lm_0001.png",
                                       "m/lm_0002.jpg", "m/lm_0004.tga"};
  std::vector<std::string> asked;
  const auto exists = [&](const std::string& name) {
    asked.push_back(name);
    return files.count(name) > 0;
  };
  const auto faces = [](std::initializer_list<std::int32_t> indices) {
    std::vector<TBSPFace> list;
    for (const std::int32_t index : indices) list.push_back(TBspWriter::Face(0, 0, 0, index));
    return list;
  };
  TLightmapFileList list = FindLightmapFiles("m/", faces({-1, 4, 0, -3}), exists);
  EXPECT_EQ(list.Names, (std::vector<std::string>{"m/lm_0000.png", "m/lm_0001.tga", "m/lm_0002.jpg"}));
  EXPECT_EQ(list.Warning,
            "m/lm_0003.tga (.png, .jpg): no such file; the faces of lightmaps 3 to 4 are drawn without lightmap");
  // Only the files faces name are looked for.
  asked.clear();
  list = FindLightmapFiles("m/", faces({1}), exists);
  EXPECT_EQ(list.Names.size(), 2u);
  EXPECT_EQ(list.Warning, "");
  EXPECT_EQ(asked.size(), 3u);  // lm_0000 .tga .png, lm_0001 .tga
  // An index of two billion costs the names of one number.
  asked.clear();
  list = FindLightmapFiles("none/", faces({std::numeric_limits<std::int32_t>::max()}), exists);
  EXPECT_TRUE(list.Names.empty());
  EXPECT_EQ(asked.size(), 3u);
  EXPECT_EQ(list.Warning, "none/lm_0000.tga (.png, .jpg): no such file; the faces of lightmaps 0 to "
                          "2147483647 are drawn without lightmap");

  const std::vector<TBSPFace> lit = faces({-3, 2});
  EXPECT_TRUE(WantsLightmapFiles(0, lit));
  EXPECT_FALSE(WantsLightmapFiles(1, lit));
  EXPECT_FALSE(WantsLightmapFiles(0, faces({-3, -1})));
}

TEST(LightmapFiles, FacesOfAnUnusableFileJoinNoGroup) {
  TQuake3BSP level;
  level.LightmapFaces = {{0, 2}, {1}, {3}};
  level.LightmapFaceCounts = {2, 1, 1};
  level.Lighting.Files = {{"a", 4, 4}, {"b", 0, 0}, {"c", 1, 1}};
  LeaveOutUnusableLightmaps(level);
  EXPECT_EQ(level.LightmapFaces, (std::vector<std::vector<std::int32_t>>{{0, 2}, {}, {3}}));
  EXPECT_EQ(level.LightmapFaceCounts, (std::vector<std::int32_t>{2, 0, 1}));
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
  TQuake3BSP level;
  BuildLevelModel(level, load);
  GroupTextureFaces(level);
  FinishLevelModel(level, load);
  return level;
}

TEST(VertexLight, ColoursBrightenedAsLightmapTexelsAndCurvedSurfacesBeforeTheyAreEvaluated) {
  TBspWriter w;
  w.Textures = {TBspWriter::Texture("t")};
  // A polygon lit by its vertices, one with a lightmap, a 3 x 3 curved surface, a mesh.
  w.Vertices = {Coloured(0, 0, {0, 87, 88, 7}), Coloured(1, 0, {255, 10, 20, 0}), Coloured(1, 1, {30, 40, 50, 255})};
  for (int i = 0; i < 9; ++i)
    w.Vertices.push_back(Coloured(static_cast<float>(i % 3), static_cast<float>(i / 3),
                                  {static_cast<std::uint8_t>(i % 2 ? 200 : 0), 0, 0, 0}));
  w.Faces = {TBspWriter::Face(0, 0, 3, kVertexLitFace), TBspWriter::Face(0, 0, 3, 0),
             TBspWriter::Face(0, 3, 9, kVertexLitFace, kPatchFace), TBspWriter::Face(0, 0, 3, kVertexLitFace, kMeshFace)};
  w.Faces[2].PatchSize[0] = w.Faces[2].PatchSize[1] = 3;
  w.MeshVertices = {0, 1, 2};
  w.Faces[3].FirstMeshVertex = 0;
  w.Faces[3].NumMeshVertices = 3;
  TLevelOptions options;
  options.VertexLight = true;
  options.Surfaces = TSurfaceSet::All;
  options.Tessellation = 2;
  const TQuake3BSP level = ModelOf(w, options);

  const AGLbyt4 polygon = {{80, 254, 255, 255}, {255, 100, 120, 255}, {140, 160, 180, 255}};
  EXPECT_EQ(level.Lighting.FaceColours[0], polygon);
  EXPECT_TRUE(level.Lighting.FaceColours[1].empty());
  EXPECT_EQ(level.Lighting.FaceColours[3], polygon);
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
  EXPECT_EQ(level.Lighting.VertexLitFaces, (std::vector<std::int32_t>{0, 2, 3}));

  // Without the option the model is the plain one.
  EXPECT_TRUE(ModelOf(w, {}).Lighting.FaceColours.empty());
}

TEST(VertexLight, WithShaderScriptsTheFacesWhoseSurfaceTakesThePass) {
  TQuake3BSP level;
  shaders::TDrawState plain, vertexOnly, blended, hidden, twoSided;
  vertexOnly.Lightmap = false;
  vertexOnly.VertexColours = true;
  blended.Blended = true;
  blended.VertexColours = true;
  hidden.Drawn = false;
  twoSided.TwoSided = true;
  level.Shading.States = {plain, vertexOnly, blended, hidden, twoSided};
  level.TextureCount = 5;
  const std::int32_t textures[] = {0, 1, 2, 3, 4, 99, 0};
  for (const std::int32_t t : textures) level.Faces.push_back(TBspWriter::Face(t, 0, 0, kVertexLitFace));
  level.Faces.back().LightmapIndex = -1;
  GroupVertexLitFaces(level, true);
  EXPECT_EQ(level.Lighting.OneSidedShadedFaces, (std::vector<std::int32_t>{0, 1}));
  EXPECT_EQ(level.Lighting.TwoSidedShadedFaces, (std::vector<std::int32_t>{4}));
  EXPECT_TRUE(level.Lighting.VertexLitFaces.empty());
}

TEST(LevelHeader, VersionFortySevenIsQuakeThreesWhenEveryRecordSizeMatches) {
  struct TCase {
    char Id[5];
    std::int32_t Version;
    int Lump;  // a lump whose length is made one byte longer, or -1
    bool Quake3;
  };
  const TCase cases[] = {{"IBSP", 46, -1, true},         {"IBSP", 47, -1, true},
                         {"IBSP", 47, kVertices, false}, {"IBSP", 47, kModels, false},
                         {"IBSP", 47, kVisData, true},   {"IBSP", 46, kVertices, true},
                         {"IBSP", 48, -1, false},        {"RBSP", 47, -1, false}};
  for (const TCase& c : cases) {
    TBspWriter w = TBspWriter::SmallLevel();
    std::memcpy(w.Header.ID, c.Id, 4);
    w.Header.Version = c.Version;
    w.Trailer.assign(64, 0);
    w.Bytes();  // lays the lumps out
    if (c.Lump >= 0) w.SetLumpLength(c.Lump, w.Directory()[static_cast<std::size_t>(c.Lump)].Length + 1);
    const TLevelFile file("x.bsp", w.Bytes());
    EXPECT_EQ(file.IsQuake3Header(), c.Quake3) << c.Id << " " << c.Version << " lump " << c.Lump;
  }
}

}  // namespace
