// Lightmap files and vertex light, read back: a level whose lightmap lump is empty and whose
// lightmaps are files beside it, faces lit by their vertex colours, plain and with shader scripts.
// Each case has its quarter of a 64 x 64 picture; the level and its files are loaded as the
// program loads them.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>

#include "app/viewer/frmMain.h"
#include "gl/OpenGL.h"
#include "level/VertexLight.h"
#include "render/Q3BSP_lighting.h"
#include "render/RenderCache.h"
#include "support/BspWriter.h"
#include "support/LightmapFileWriter.h"
#include "support/PixelTest.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

namespace {

using testsupport::TBspWriter;
using testsupport::TBytes;
using TColour = std::array<int, 3>;
constexpr int Size = 64;

using testsupport::Write;

// A 4 x 4 picture file, its top two rows `top` and its bottom two `bottom`.
TBytes Picture(TColour top, TColour bottom, const std::string& extension = ".tga") {
  TBytes rgb;
  for (int i = 0; i < 16; ++i)
    for (const int c : i < 8 ? top : bottom) rgb.push_back(static_cast<std::uint8_t>(c));
  return testsupport::LightmapPicture(4, 4, rgb, extension);
}

// 2 x brightened x texture, as the blend of the lightmap pass makes it.
int Lit(int raw, int texture) { return std::min(255, 2 * std::min(255, 2 * raw + 80) * texture / 255); }

class LightingPixels : public testsupport::TPixelTest {
 protected:
  LightingPixels() : TPixelTest(Size, Size) {
    const std::string script =
        "t/vert { { map t/vert.tga\n rgbGen vertex } }\n"
        "t/novert { { map t/novert.tga } }\n";
    Write(Folder / "scripts/test.shader", TBytes(script.begin(), script.end()));
    Write(Folder / "t/vert.tga", Picture(Surface, Surface));
    Write(Folder / "t/novert.tga", Picture(White, White));
    Write(Folder / "t/white.tga", Picture(White, White));
    Write(Folder / "maps/test/lm_0000.png", Picture(LightmapTop, LightmapBottom, ".png"));
    const TBytes whole = Picture(White, White);
    Write(Folder / "maps/test/lm_0001.tga", TBytes(whole.begin(), whole.end() - 3));  // truncated

    TBspWriter level = TBspWriter::SmallLevel();
    level.Textures = {TBspWriter::Texture("t/vert"), TBspWriter::Texture("t/novert"), TBspWriter::Texture("t/white")};
    level.Vertices.clear();
    level.Faces.clear();
    level.LeafFaces.clear();
    level.MeshVertices.clear();
    level.Lightmaps.clear();
    level.AddQuad(0, kVertexLitFace, 100, 10, 60, 10, 60, {20, 40, 87, 0});   // top left
    level.AddQuad(2, 0, 100, -60, -10, 10, 60, {255, 255, 255, 255});         // top right
    level.AddQuad(1, kVertexLitFace, 100, 10, 60, -60, -10, {0, 0, 0, 255});  // bottom left
    level.AddQuad(2, 1, 100, -60, -10, -60, -10, {0, 0, 0, 255});             // bottom right
    level.AddQuad(2, 3, 100, -5, 5, 300, 310, {0, 0, 0, 255});                // out of sight
    level.Leaves = {TBspWriter::Leaf(0, 0, static_cast<std::int32_t>(level.Faces.size())), TBspWriter::Leaf(1, 0, 0)};
    level.WriteTo(Folder / "maps/test.bsp");
    WorkingDir = std::make_unique<testsupport::TScopedWorkingDir>(Folder.Path());
    app::SetFixedGLState();
  }

  void Draw(const TRenderOptions& render) {
    app::BeginFrameView(Size, Size, TCamera{0, 0, 0, 90, 270});
    Level.RenderLevel(TVector{0, 0, 0}, render, LevelCache);
    glPopMatrix();
    ReadBack();
  }
  void Expect(int x, int y, TColour expected, const char* what) const {
    const TColour actual = At(x, y);
    for (int c = 0; c < 3; ++c)
      EXPECT_LE(std::abs(actual[c] - expected[c]), 2) << what << ": " << testing::PrintToString(actual);
  }

  static constexpr TColour Surface{100, 150, 200}, White{255, 255, 255};
  static constexpr TColour LightmapTop{20, 0, 0}, LightmapBottom{0, 0, 20};
  testsupport::TTempDir Folder;
  std::unique_ptr<testsupport::TScopedWorkingDir> WorkingDir;
  TQuake3BSP Level;
  TRenderCache LevelCache;
};

TEST_F(LightingPixels, LightmapFilesAndVertexColoursAsTheLumpsLightmapsWouldBe) {
  testsupport::TMessageCapture messages;
  TLevelOptions options;
  options.ExternalLightmaps = options.VertexLight = true;
  ASSERT_TRUE(Level.LoadBSP("maps/test.bsp", options));
  ASSERT_EQ(messages.Messages().size(), 2u);
  EXPECT_EQ(messages.Messages()[0].Text, "maps/test/lm_0001.tga: truncated: the pixels end before the picture "
                                         "does; the faces of lightmap 1 are drawn without lightmap");
  EXPECT_EQ(messages.Messages()[0].Caption, "Lightmap file");
  EXPECT_EQ(messages.Messages()[1].Text, "maps/test/lm_0002.tga (.png, .jpg): no such file; the faces of "
                                         "lightmaps 2 to 3 are drawn without lightmap");
  EXPECT_EQ(Level.LightmapCount, 2);

  TRenderOptions render;
  render.VertexLight = true;
  Draw(render);
  Expect(18, 45, {Lit(20, Surface[0]), Lit(40, Surface[1]), Lit(87, Surface[2])}, "vertex colours x texture x 2");
  Expect(45, 52, {Lit(20, 255), Lit(0, 255), Lit(0, 255)}, "the lightmap file's top row at the face's top");
  Expect(45, 38, {Lit(0, 255), Lit(0, 255), Lit(20, 255)}, "its bottom row at the bottom");
  Expect(18, 18, {160, 160, 160}, "black vertices brightened to 80");
  Expect(45, 18, White, "a truncated lightmap file: no lightmap");
  Draw({});
  Expect(18, 45, Surface, "without the pass: the texture alone");
}

TEST_F(LightingPixels, WithShaderScriptsTheVertexPassFollowsTheFirstStage) {
  testsupport::TMessageCapture messages;
  TLevelOptions options;
  options.Shaders = options.VertexLight = options.ExternalLightmaps = true;
  ASSERT_TRUE(Level.LoadBSP("maps/test.bsp", options));
  TRenderOptions render;
  render.Shaders = render.VertexLight = true;
  Draw(render);
  Expect(18, 45, {Lit(20, Surface[0]), Lit(40, Surface[1]), Lit(87, Surface[2])}, "rgbGen vertex");
  Expect(18, 18, White, "neither a lightmap stage nor rgbGen vertex");
  Expect(45, 52, {Lit(20, 255), Lit(0, 255), Lit(0, 255)}, "$lightmap from the file");
}

// The game's light: the light x4 (the largest channel held at 255 with the hue), the image
// times it once; the same picture from the two passes, --fast's one pass and the stages.
TEST_F(LightingPixels, GameLightIsTheImageTimesFourTimesTheLightOnce) {
  testsupport::TMessageCapture messages;
  for (const bool shaded : {false, true})
    for (const bool fast : {false, true}) {
      TLevelOptions options;
      options.ExternalLightmaps = options.VertexLight = options.GameLight = true;
      options.Shaders = shaded;
      ASSERT_TRUE(Level.LoadBSP("maps/test.bsp", options));
      TRenderOptions render;
      render.VertexLight = true;
      render.Shaders = shaded;
      render.Fast = fast;
      Draw(render);
      const std::string what = std::string(shaded ? "stages" : "plain") + (fast ? ", --fast" : "");
      // 20, 40, 87 x4 = 80, 160, 348: scaled by 255 / 348 to 58, 117, 255.
      Expect(18, 45, {100 * 58 / 255, 150 * 117 / 255, 200}, ("vertex colours, " + what).c_str());
      Expect(45, 52, {80, 0, 0}, ("the lightmap file's red row, " + what).c_str());
      if (!shaded) Expect(18, 18, {0, 0, 0}, ("black vertices stay black, " + what).c_str());
    }
}

// The levels of the mipmaps the lightmap files are uploaded with, beside gluBuild2DMipmaps's (which
// the lump's lightmaps get), on pictures of power-of-two sides, one of them a single row.
TEST(LightmapMipmaps, TheLevelsGluBuild2DMipmapsMakes) {
  platform::TOffscreenGLContext context(8, 8);
  LoadOpenGL("opengl32.dll");
  for (const auto& [width, height] : std::vector<std::pair<int, int>>{{64, 16}, {4, 32}, {8, 1}, {1, 1}, {128, 128}}) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width * height * 3));
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    GLuint names[2];
    glGenTextures(2, names);
    glBindTexture(GL_TEXTURE_2D, names[0]);
    UploadLightmapMipmaps(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), rgb);
    glBindTexture(GL_TEXTURE_2D, names[1]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int level = 0; (width >> level) > 0 || (height >> level) > 0; ++level) {
      const std::size_t texels = static_cast<std::size_t>(std::max(1, width >> level) * std::max(1, height >> level));
      std::vector<std::uint8_t> ours(texels * 3), glus(texels * 3);
      glBindTexture(GL_TEXTURE_2D, names[0]);
      glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, ours.data());
      glBindTexture(GL_TEXTURE_2D, names[1]);
      glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, glus.data());
      EXPECT_EQ(ours, glus) << width << " x " << height << ", level " << level;
    }
    glDeleteTextures(2, names);
  }
  UnloadOpenGL();
}

}  // namespace
