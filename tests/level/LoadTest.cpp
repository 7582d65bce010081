// LoadBSP on synthetic levels: the model it builds, the level's images, the cases the loader
// must count or round exactly, and what it does with files it cannot use.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/SearchPath.h"
#include "gl/OpenGL.h"
#include "level/Q3BSP.h"
#include "platform/ByteReader.h"
#include "support/BspWriter.h"
#include "support/ImageWriters.h"
#include "support/TestSupport.h"
#include "support/ZipWriter.h"
#include "window/OffscreenContext.h"

namespace {

using testsupport::TBspWriter;
namespace fs = std::filesystem;

class LoadBSP : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadOpenGL("opengl32.dll");
    fs::create_directory(Dir / "lgmp");
  }
  void TearDown() override { UnloadOpenGL(); }

  // The level as the program finds it: "maps\testmap.BSP" under the working directory.
  bool Load(const TBspWriter& writer) {
    writer.WriteTo("maps/testmap.bsp");
    return Level.LoadBSP("maps\\testmap.BSP");
  }

  static std::array<std::uint8_t, 3> Texel(GLuint texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return {pixels[0], pixels[1], pixels[2]};
  }

  static void WriteTGA(const std::string& path, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    testsupport::TBytes pixels;
    for (int i = 0; i < 16; ++i) pixels.insert(pixels.end(), {b, g, r});
    if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
    testsupport::WriteFile(path, testsupport::MakeTGA(4, 4, pixels));
  }

  static void WriteJPG(const std::string& path, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    testsupport::TBytes pixels;
    for (int i = 0; i < 64; ++i) pixels.insert(pixels.end(), {r, g, b});
    if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
    testsupport::WriteFile(path, testsupport::MakeJPEG(8, 8, 3, pixels, 100));
  }

  platform::TOffscreenGLContext Context{8, 8};
  testsupport::TTempDir Dir;
  testsupport::TScopedWorkingDir WorkingDir{Dir.Path()};
  TQuake3BSP Level;
};

}  // namespace

TEST_F(LoadBSP, MissingFileShowsTheMessageAndLeavesTheLevelEmpty) {
  testsupport::TMessageCapture messages;
  EXPECT_FALSE(Level.LoadBSP("maps\\testmap.BSP"));
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_EQ(messages.Messages()[0].Text, "Could not find the BSP file!");
  EXPECT_EQ(messages.Messages()[0].Caption, "Error");
  EXPECT_EQ(messages.Messages()[0].Icon, platform::TMessageIcon::Error);
  EXPECT_EQ(Level.FaceCount, 0);
  EXPECT_TRUE(Level.Faces.empty());
  EXPECT_TRUE(fs::is_empty("lgmp"));
}

TEST_F(LoadBSP, SmallLevelFillsEveryField) {
  TBspWriter writer = TBspWriter::SmallLevel("textures/base/wall");
  writer.Header = {{'N', 'O', 'P', 'E'}, 7};  // a wrong ID and version load all the same
  writer.Vertices[1].Color[2] = 9;
  writer.Vertices[3].Normal = {0.5f, 0.25f, 1};
  testsupport::TMessageCapture messages;
  ASSERT_TRUE(Load(writer));
  EXPECT_TRUE(messages.Messages().empty());

  EXPECT_EQ(std::memcmp(Level.Header.ID, "NOPE", 4), 0);
  EXPECT_EQ(Level.Header.Version, 7);
  EXPECT_EQ(Level.VertexCount, 4);
  EXPECT_EQ(Level.FaceCount, 1);
  EXPECT_EQ(Level.TextureCount, 1);
  EXPECT_EQ(Level.LightmapCount, 1);
  EXPECT_EQ(Level.NodeCount, 1);
  EXPECT_EQ(Level.LeafCount, 2);
  EXPECT_EQ(Level.LeafFaceCount, 1);
  EXPECT_EQ(Level.PlaneCount, 1);
  EXPECT_EQ(Level.MeshVertexCount, 6);
  EXPECT_EQ(std::memcmp(Level.Faces.data(), writer.Faces.data(), sizeof(TBSPFace)), 0);
  EXPECT_EQ(Level.FaceVisible, std::vector<std::int32_t>{0});

  ASSERT_EQ(Level.FaceVertices.size(), 1u);
  ASSERT_EQ(Level.FaceVertices[0].size(), 4u);
  for (std::size_t j = 0; j < 4; ++j) {
    const TBSPVertex& v = writer.Vertices[j];
    EXPECT_EQ(Level.FaceVertices[0][j].X, v.Position.X);
    EXPECT_EQ(Level.FaceVertices[0][j].Y, v.Position.Y);
    EXPECT_EQ(Level.FaceTexCoords[0][j].S, v.TexCoord.S);
    EXPECT_EQ(Level.FaceTexCoords[0][j].T, -v.TexCoord.T);  // t negated
    EXPECT_EQ(Level.FaceLightmapCoords[0][j].T, v.LightmapCoord.T);  // as stored
    EXPECT_EQ(std::memcmp(Level.FaceColors[0][j].data(), v.Color, 4), 0);
    EXPECT_EQ(Level.FaceNormals[0][j].X, v.Normal.X);
  }
  EXPECT_EQ(Level.FaceColors[0][1][2], 9);
  EXPECT_EQ(Level.FaceNormals[0][3].Y, 0.25f);
  EXPECT_EQ(Level.MeshVertices, (std::vector<std::int32_t>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(Level.FaceIndices, (std::vector<std::vector<GLuint>>{{0, 1, 2, 0, 2, 3}}));

  EXPECT_EQ(Level.SurfaceTextures, std::vector<GLuint>{0});  // no image file
  EXPECT_EQ(Level.TextureFaceCounts, std::vector<std::int32_t>{1});
  EXPECT_EQ(Level.TextureFaces, (std::vector<std::vector<std::int32_t>>{{0}}));
  ASSERT_EQ(Level.LightmapTextures.size(), 1u);
  EXPECT_NE(Level.LightmapTextures[0], 0u);
  EXPECT_EQ(Texel(Level.LightmapTextures[0]), (std::array<std::uint8_t, 3>{160, 160, 160}));
  EXPECT_EQ(Level.LightmapFaceCounts, std::vector<std::int32_t>{1});
  EXPECT_EQ(Level.LightmapFaces, (std::vector<std::vector<std::int32_t>>{{0}}));
  EXPECT_TRUE(fs::exists("lgmp/lgmp0.jpg"));
  EXPECT_FALSE(fs::exists("lgmp/lgmp1.jpg"));

  EXPECT_EQ(Level.Nodes[0].Front, -1);
  EXPECT_EQ(Level.Leaves[1].Cluster, 1);
  EXPECT_EQ(Level.LeafFaces, std::vector<std::int32_t>{0});
  EXPECT_EQ(Level.Planes[0].Normal.Z, 1.0f);
  EXPECT_EQ(Level.VisData.ClusterCount, 2);
  EXPECT_EQ(Level.VisData.BytesPerCluster, 1);
  EXPECT_EQ(Level.VisData.Bits, (std::vector<std::uint8_t>{3, 3}));
  EXPECT_GE(Level.LoadTimings.ReadingMs, 0.0);
}

TEST_F(LoadBSP, FacesAreGroupedAscendingAndOutOfRangeIndicesJoinNoGroup) {
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.Textures.push_back(TBspWriter::Texture("textures/base/other"));
  writer.Lightmaps.push_back(TBspWriter::Lightmap(0, 0, 0));
  writer.Faces = {TBspWriter::Face(1, 0, 3, 1), TBspWriter::Face(0, 0, 4, -1),
                  TBspWriter::Face(1, 1, 3, 0), TBspWriter::Face(2, 0, 0, 2),
                  TBspWriter::Face(-1, 0, 2, 1), TBspWriter::Face(1, 3, 1, 0)};
  ASSERT_TRUE(Load(writer));
  EXPECT_EQ(Level.TextureFaceCounts, (std::vector<std::int32_t>{1, 3}));
  EXPECT_EQ(Level.TextureFaces, (std::vector<std::vector<std::int32_t>>{{1}, {0, 2, 5}}));
  EXPECT_EQ(Level.LightmapFaceCounts, (std::vector<std::int32_t>{2, 2}));
  EXPECT_EQ(Level.LightmapFaces, (std::vector<std::vector<std::int32_t>>{{2, 5}, {0, 4}}));
  // NumVertices 0: empty per-face arrays; no mesh vertices: no triangle list.
  EXPECT_TRUE(Level.FaceVertices[3].empty());
  EXPECT_TRUE(Level.FaceTexCoords[3].empty());
  EXPECT_TRUE(Level.FaceLightmapCoords[3].empty());
  EXPECT_TRUE(Level.FaceNormals[3].empty());
  EXPECT_TRUE(Level.FaceColors[3].empty());
  EXPECT_TRUE(Level.FaceIndices[3].empty());
  ASSERT_EQ(Level.FaceVertices[2].size(), 3u);
  EXPECT_EQ(Level.FaceVertices[2][0].X, 64.0f);  // vertex 1 first
  EXPECT_EQ(Level.FaceVertices[5][0].Y, 64.0f);  // vertex 3
  EXPECT_EQ(Texel(Level.LightmapTextures[1]), (std::array<std::uint8_t, 3>{80, 80, 80}));
}

TEST_F(LoadBSP, SurfaceImagesTgaWinsOverJpgAndNamesMatchWithoutCase) {
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.Textures = {TBspWriter::Texture("textures/both"), TBspWriter::Texture("Textures\\JpgOnly"),
                     TBspWriter::Texture("textures/none"),
                     TBspWriter::Texture(std::string(60, 'x') + "abcd")};  // 64, no NUL
  WriteJPG("textures/both.jpg", 0, 0, 255);
  WriteTGA("textures/both.tga", 255, 0, 0);
  WriteJPG("textures/jpgonly.jpg", 0, 255, 0);
  WriteTGA(std::string(60, 'x') + "abcd.tga", 255, 255, 0);
  writer.Faces = {TBspWriter::Face(2, 0, 4, 0), TBspWriter::Face(0, 0, 4, 0)};
  ASSERT_TRUE(Load(writer));
  ASSERT_EQ(Level.SurfaceTextures.size(), 4u);
  EXPECT_EQ(Texel(Level.SurfaceTextures[0]), (std::array<std::uint8_t, 3>{255, 0, 0}));
  const auto green = Texel(Level.SurfaceTextures[1]);
  EXPECT_LE(green[0], 2);
  EXPECT_GE(green[1], 253);
  EXPECT_EQ(Level.SurfaceTextures[2], 0u);
  EXPECT_EQ(Texel(Level.SurfaceTextures[3]), (std::array<std::uint8_t, 3>{255, 255, 0}));
  // A texture without an image still has its faces.
  EXPECT_EQ(Level.TextureFaces[2], std::vector<std::int32_t>{0});
}

TEST_F(LoadBSP, AnImageNamedByManyRecordsIsLoadedOnceAndShared) {
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.Textures.clear();
  for (const char* name : {"textures/a", "TEXTURES\\A", "textures/./a", "textures/bad", "textures/BAD"})
    for (int copy = 0; copy < 200; ++copy) writer.Textures.push_back(TBspWriter::Texture(name));
  WriteTGA("textures/a.tga", 255, 0, 0);
  testsupport::WriteFile("textures/bad.jpg", {0xFF, 0xD8, 0xFF});
  testsupport::TMessageCapture messages;
  GLuint before = 0;
  glGenTextures(1, &before);
  ASSERT_TRUE(Load(writer));
  GLuint after = 0;
  glGenTextures(1, &after);
  // One image texture and the lightmap's; the broken image is refused with one message.
  EXPECT_EQ(after - before, 3u);
  EXPECT_EQ(messages.Messages().size(), 1u);
  ASSERT_EQ(Level.SurfaceTextures.size(), 1000u);
  EXPECT_EQ(Texel(Level.SurfaceTextures[0]), (std::array<std::uint8_t, 3>{255, 0, 0}));
  EXPECT_EQ(std::count(Level.SurfaceTextures.begin(), Level.SurfaceTextures.end(),
                       Level.SurfaceTextures[0]), 600);
  EXPECT_EQ(std::count(Level.SurfaceTextures.begin(), Level.SurfaceTextures.end(), 0u), 400);
}

TEST_F(LoadBSP, NodeCountRoundsHalfToEvenAndFaceCountTruncates) {
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.Nodes = {TBspWriter::Node(0, 1, -1), TBspWriter::Node(0, -1, -2)};
  writer.SetLumpLength(kNodes, 54);
  std::vector<std::uint8_t> faces(150, 0);
  std::memcpy(faces.data(), &writer.Faces[0], sizeof(TBSPFace));
  writer.SetRawLump(kFaces, faces);
  ASSERT_TRUE(Load(writer));
  EXPECT_EQ(Level.NodeCount, 2);
  EXPECT_EQ(Level.Nodes[1].Back, -2);  // read from the 18 bytes after the lump's end
  EXPECT_EQ(Level.FaceCount, 1);
  EXPECT_EQ(Level.FaceVertices.size(), 1u);
}

TEST_F(LoadBSP, EmptyVisibilityLumpLeavesNoRows) {
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.VisData.reset();
  ASSERT_TRUE(Load(writer));
  EXPECT_TRUE(Level.VisData.Bits.empty());
  EXPECT_EQ(Level.VisData.ClusterCount, 0);
  EXPECT_EQ(Level.VisData.BytesPerCluster, 0);
}

TEST_F(LoadBSP, ShortOrContradictingFileIsRefusedBeforeAnythingIsMade) {
  const std::vector<std::uint8_t> whole = TBspWriter::SmallLevel().Bytes();
  fs::create_directory("maps");
  testsupport::WriteFile("maps/testmap.bsp", std::vector<std::uint8_t>(whole.begin(), whole.end() - 1));
  try {
    Level.LoadBSP("maps\\testmap.BSP");
    FAIL() << "loaded";
  } catch (const platform::EInOutError& error) {
    EXPECT_STREQ(error.what(), "Read beyond end of file");
  }
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.LeafFaces = {7};
  try {
    Load(writer);
    FAIL() << "loaded";
  } catch (const EBSPFormatError& error) {
    EXPECT_STREQ(error.what(), "Leaf face 0: face 7 outside the 1 faces of the level");
  }
  EXPECT_EQ(Level.FaceCount, 0);
  EXPECT_TRUE(Level.LightmapTextures.empty());
  EXPECT_TRUE(fs::is_empty("lgmp"));
  GLuint next = 0;
  glGenTextures(1, &next);
  EXPECT_EQ(next, 1u);  // no texture name was taken
}

TEST_F(LoadBSP, MissingLightmapDirectoryStopsAtTheFirstLightmap) {
  fs::remove("lgmp");
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.Lightmaps.push_back(TBspWriter::Lightmap(1, 2, 3));
  WriteTGA("textures/base/wall.tga", 10, 20, 30);
  try {
    Load(writer);
    FAIL() << "loaded";
  } catch (const EFCreateError& error) {
    EXPECT_STREQ(error.what(), "Cannot create file lgmp\\lgmp0.jpg");
  }
  EXPECT_NE(Level.SurfaceTextures.at(0), 0u);  // the images came first
  ASSERT_EQ(Level.LightmapTextures.size(), 2u);
  EXPECT_NE(Level.LightmapTextures[0], 0u);  // generated, never filled
  EXPECT_EQ(Level.LightmapTextures[1], 0u);
  EXPECT_EQ(Level.NodeCount, 0);
  EXPECT_TRUE(Level.Leaves.empty());
}

TEST_F(LoadBSP, SecondLoadKeepsNothingOfTheFirst) {
  TBspWriter first = TBspWriter::SmallLevel();
  first.Faces.push_back(TBspWriter::Face(0, 0, 3, 0));
  ASSERT_TRUE(Load(first));
  TBspWriter second = TBspWriter::SmallLevel();
  second.Faces[0].LightmapIndex = -1;
  second.Lightmaps.clear();
  second.VisData.reset();
  ASSERT_TRUE(Load(second));
  EXPECT_EQ(Level.FaceCount, 1);
  EXPECT_EQ(Level.FaceVertices.size(), 1u);
  EXPECT_EQ(Level.TextureFaces, (std::vector<std::vector<std::int32_t>>{{0}}));
  EXPECT_TRUE(Level.LightmapTextures.empty());
  EXPECT_TRUE(Level.VisData.Bits.empty());
}

// Game data: an image an archive names but cannot give (declared over the entry size limit, as
// .jpg and as .tga) costs only that image, one message each, whether the images are read ahead or
// not; the level loads, its other images with it.
TEST_F(LoadBSP, AnImageTheGameDataCannotGiveCostsOnlyThatImage) {
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.Textures = {TBspWriter::Texture("textures/bad"), TBspWriter::Texture("textures/good")};
  writer.WriteTo("maps/testmap.bsp");
  WriteTGA("textures/good.tga", 255, 0, 0);
  constexpr std::int64_t kOverLimit = (64 << 20) + 1;
  testsupport::WriteFile("z.pk3", testsupport::RawZip({{"textures/bad.jpg", "x", 0, 0, -1, kOverLimit},
                                                       {"textures/bad.tga", "x", 0, 0, -1, kOverLimit}}));
  const data::TSearchPath path({Dir.Path()}, "", nullptr);
  for (const bool readAhead : {true, false}) {
    SCOPED_TRACE(readAhead);
    platform::TFileSource source{[&path](const std::string& n) { return path.Exists(n); },
                                 [&path](const std::string& n) { return path.Read(n); }, nullptr};
    if (readAhead) source.ReadAhead = [&path](const std::vector<std::string>& n) { path.ReadAhead(n); };
    TLevelOptions options;
    options.Files = &source;
    testsupport::TMessageCapture messages;
    ASSERT_TRUE(Level.LoadBSP("maps/testmap.bsp", options));
    EXPECT_EQ(Level.SurfaceTextures[0], 0u);
    EXPECT_EQ(Texel(Level.SurfaceTextures[1]), (std::array<std::uint8_t, 3>{255, 0, 0}));
    ASSERT_EQ(messages.Messages().size(), 2u);
    EXPECT_EQ(messages.Messages()[1].Text, "Couldn't load \"textures/bad.tga\": Read beyond end of file");
  }
}
