// Every level of OpenArena's map package loads under the loader's checks, and the model it builds
// keeps its invariants; two levels also load their surface images.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "gl/OpenGL.h"
#include "level/BSPFile.h"
#include "level/Q3BSP.h"
#include "platform/Files.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

namespace {

namespace fs = std::filesystem;

// Each group's list: its count, ascending without repeats, and every face whose index names the
// group is in it (so the lists together are complete).
void CheckGroups(const std::vector<TBSPFace>& faces, std::int32_t groupCount,
                 const std::vector<std::int32_t>& counts,
                 const std::vector<std::vector<std::int32_t>>& lists,
                 std::int32_t TBSPFace::*groupOf, const char* kind) {
  ASSERT_EQ(counts.size(), static_cast<std::size_t>(groupCount)) << kind;
  ASSERT_EQ(lists.size(), static_cast<std::size_t>(groupCount)) << kind;
  std::size_t grouped = 0;
  for (std::int32_t g = 0; g < groupCount; ++g) {
    const auto& list = lists[static_cast<std::size_t>(g)];
    EXPECT_EQ(counts[static_cast<std::size_t>(g)], static_cast<std::int32_t>(list.size())) << kind;
    EXPECT_TRUE(std::adjacent_find(list.begin(), list.end(), std::greater_equal<>()) == list.end())
        << kind << " " << g << " not ascending";
    for (std::int32_t f : list) EXPECT_EQ(faces.at(static_cast<std::size_t>(f)).*groupOf, g) << kind;
    grouped += list.size();
  }
  const auto inRange = std::count_if(faces.begin(), faces.end(), [&](const TBSPFace& face) {
    return face.*groupOf >= 0 && face.*groupOf < groupCount;
  });
  EXPECT_EQ(grouped, static_cast<std::size_t>(inRange)) << kind;
}

void CheckLevel(const TQuake3BSP& level, const TBSPFile& file) {
  const std::size_t faceCount = static_cast<std::size_t>(level.FaceCount);
  ASSERT_EQ(level.Faces.size(), faceCount);
  ASSERT_EQ(level.FaceVisible.size(), faceCount);
  ASSERT_EQ(level.FaceVertices.size(), faceCount);
  ASSERT_EQ(level.FaceColors.size(), faceCount);
  ASSERT_EQ(level.FaceTexCoords.size(), faceCount);
  ASSERT_EQ(level.FaceLightmapCoords.size(), faceCount);
  ASSERT_EQ(level.FaceNormals.size(), faceCount);
  ASSERT_EQ(level.FaceIndices.size(), faceCount);
  EXPECT_EQ(level.VertexCount, static_cast<std::int32_t>(file.Vertices.size()));
  std::size_t wrongElements = 0;
  for (std::size_t i = 0; i < faceCount; ++i) {
    const TBSPFace& face = level.Faces[i];
    const std::size_t n = static_cast<std::size_t>(face.NumVertices);
    ASSERT_EQ(level.FaceVertices[i].size(), n) << "face " << i;
    ASSERT_EQ(level.FaceColors[i].size(), n);
    ASSERT_EQ(level.FaceTexCoords[i].size(), n);
    ASSERT_EQ(level.FaceLightmapCoords[i].size(), n);
    ASSERT_EQ(level.FaceNormals[i].size(), n);
    for (std::size_t j = 0; j < n; ++j) {
      const TBSPVertex& v = file.Vertices[static_cast<std::size_t>(face.FirstVertex) + j];
      // Compared as bits: some levels store NaN normals, which no == would match.
      const TTexCoord negated{v.TexCoord.S, -v.TexCoord.T};
      wrongElements += std::memcmp(&level.FaceVertices[i][j], &v.Position, 12) != 0 ||
                       std::memcmp(&level.FaceTexCoords[i][j], &negated, 8) != 0 ||
                       std::memcmp(&level.FaceLightmapCoords[i][j], &v.LightmapCoord, 8) != 0 ||
                       std::memcmp(&level.FaceNormals[i][j], &v.Normal, 12) != 0 ||
                       std::memcmp(level.FaceColors[i][j].data(), v.Color, 4) != 0;
    }
    ASSERT_EQ(level.FaceIndices[i].size(), static_cast<std::size_t>(face.NumMeshVertices));
    for (GLuint index : level.FaceIndices[i]) ASSERT_LT(index, n);
  }
  EXPECT_EQ(wrongElements, 0u);
  CheckGroups(level.Faces, level.TextureCount, level.TextureFaceCounts, level.TextureFaces,
              &TBSPFace::TextureIndex, "texture");
  CheckGroups(level.Faces, level.LightmapCount, level.LightmapFaceCounts, level.LightmapFaces,
              &TBSPFace::LightmapIndex, "lightmap");
  EXPECT_EQ(level.SurfaceTextures.size(), static_cast<std::size_t>(level.TextureCount));
  EXPECT_EQ(level.Nodes.size(), static_cast<std::size_t>(level.NodeCount));
  EXPECT_EQ(level.Leaves.size(), static_cast<std::size_t>(level.LeafCount));
  EXPECT_EQ(level.LeafFaces.size(), static_cast<std::size_t>(level.LeafFaceCount));
  EXPECT_EQ(level.Planes.size(), static_cast<std::size_t>(level.PlaneCount));
  EXPECT_EQ(level.MeshVertices.size(), static_cast<std::size_t>(level.MeshVertexCount));
  EXPECT_EQ(level.VisData.Bits.size(), static_cast<std::size_t>(level.VisData.ClusterCount) *
                                           static_cast<std::size_t>(level.VisData.BytesPerCluster));

  // One distinct texture and one image file per lightmap.
  const std::set<GLuint> names(level.LightmapTextures.begin(), level.LightmapTextures.end());
  EXPECT_EQ(names.size(), static_cast<std::size_t>(level.LightmapCount));
  for (GLuint name : names) EXPECT_TRUE(name != 0 && glIsTexture(name));
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator("lgmp")) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, static_cast<std::size_t>(level.LightmapCount));
  for (std::int32_t m = 0; m < level.LightmapCount; ++m) {
    const auto bytes = platform::ReadWholeFile("lgmp/lgmp" + std::to_string(m) + ".jpg");
    EXPECT_TRUE(bytes && bytes->size() > 600 && (*bytes)[0] == 0xFF && (*bytes)[1] == 0xD8) << m;
  }
}

class RealMaps : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadOpenGL("opengl32.dll");
    fs::create_directory("lgmp");
  }
  void TearDown() override { UnloadOpenGL(); }

  // Loads a level from the extracted maps, checks it, and gives back its textures.
  void LoadAndCheck(const std::string& mapsRoot, const std::string& map, TQuake3BSP& level) {
    SCOPED_TRACE(map);
    for (const auto& entry : fs::directory_iterator("lgmp")) fs::remove(entry.path());
    const std::string path = mapsRoot + "/" + map;
    ASSERT_TRUE(level.LoadBSP(path));
    CheckLevel(level, ParseBSP(*platform::ReadWholeFile(path)));
  }

  static void Release(TQuake3BSP& level) {
    glDeleteTextures(static_cast<GLsizei>(level.LightmapTextures.size()), level.LightmapTextures.data());
    glDeleteTextures(static_cast<GLsizei>(level.SurfaceTextures.size()), level.SurfaceTextures.data());
  }

  platform::TOffscreenGLContext Context{8, 8};
  testsupport::TTempDir Dir;
  testsupport::TScopedWorkingDir WorkingDir{Dir.Path()};
};

}  // namespace

// No image files are present here: every level loads its geometry, groups and lightmaps.
TEST_F(RealMaps, EveryLevelOfTheMapPackageLoadsWithItsInvariants) {
  const std::vector<std::string> maps = testsupport::ListOpenArena("pak1-maps.pk3", ".bsp");
  ASSERT_GE(maps.size(), 40u);
  const std::string root = testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/*.bsp"});
  for (const std::string& map : maps) {
    TQuake3BSP level;
    LoadAndCheck(root, map, level);
    EXPECT_TRUE(std::all_of(level.SurfaceTextures.begin(), level.SurfaceTextures.end(),
                            [](GLuint name) { return name == 0; }));
    Release(level);
    if (HasFatalFailure()) return;
  }
}

// Two levels with their surface images from the texture package, found by their names.
TEST_F(RealMaps, LevelsLoadTheirSurfaceImages) {
  const std::string mapsRoot =
      testsupport::ExtractOpenArena("pak1-maps.pk3", {"maps/oa_dm4.bsp", "maps/ps37ctf.bsp"});
  for (const std::string map : {"maps/oa_dm4.bsp", "maps/ps37ctf.bsp"}) {
    const TBSPFile file = ParseBSP(*platform::ReadWholeFile(mapsRoot + "/" + map));
    std::vector<std::string> patterns;
    for (const TBSPTexture& texture : file.Textures) patterns.push_back(TextureBaseName(texture) + ".*");
    const std::string imagesRoot = testsupport::ExtractOpenArena("pak4-textures.pk3", patterns);
    std::error_code ec;
    fs::create_directory_symlink(imagesRoot + "/textures", "textures", ec);

    TQuake3BSP level;
    LoadAndCheck(mapsRoot, map, level);
    std::size_t loaded = 0;
    for (std::size_t t = 0; t < file.Textures.size(); ++t) {
      const std::string name = TextureBaseName(file.Textures[t]);
      const bool hasImage = platform::FileExists(name + ".jpg") || platform::FileExists(name + ".tga");
      EXPECT_EQ(level.SurfaceTextures[t] != 0, hasImage) << name;
      if (level.SurfaceTextures[t] != 0) {
        EXPECT_TRUE(glIsTexture(level.SurfaceTextures[t])) << name;
        ++loaded;
      }
    }
    EXPECT_GE(loaded, file.Textures.size() / 2) << map;
    Release(level);
  }
}
