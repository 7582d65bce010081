// A level drawn with --shaders, read back: an alpha-tested grate, an additive surface, a two-sided
// surface and the sky box, each in its own part of a 64 x 64 picture. The level, its script and
// its images are written to a base folder and loaded as the program loads them.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>

#include "app/viewer/frmMain.h"
#include "gl/OpenGL.h"
#include "platform/Files.h"
#include "render/RenderCache.h"
#include "support/BspWriter.h"
#include "support/ImageWriters.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

namespace {

using testsupport::TBspWriter;
using TColour = std::array<int, 3>;
constexpr int Size = 64;

// A 4 x 4 TGA of one colour whose left half has alpha `leftAlpha` and right half `rightAlpha`.
testsupport::TBytes Image(TColour c, int leftAlpha = 255, int rightAlpha = 255) {
  testsupport::TBytes pixels;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      pixels.insert(pixels.end(), {static_cast<std::uint8_t>(c[2]), static_cast<std::uint8_t>(c[1]),
                                   static_cast<std::uint8_t>(c[0]),
                                   static_cast<std::uint8_t>(x < 2 ? leftAlpha : rightAlpha)});
  testsupport::TTGAOptions options;
  options.Depth = 32;
  return testsupport::MakeTGA(4, 4, pixels, options);
}

using testsupport::Write;

const TColour Red{255, 0, 0}, Blue{0, 0, 255}, Green{0, 200, 0}, Yellow{255, 255, 0};
const std::array<TColour, 6> SkySides = {{{10, 20, 30}, {40, 50, 60}, {70, 80, 90},
                                          {100, 110, 120}, {130, 140, 150}, {160, 170, 180}}};

TEST(ShadedPixels, GrateAdditiveTwoSidedAndSky) {
  testsupport::TTempDir folder;
  const std::string script =
      "t/grate { { map t/grate_img.tga\n alphaFunc GE128 } }\n"
      "t/add { { map t/green.tga\n blendFunc add } }\n"
      "t/two { cull none\n { map t/yellow.tga } }\n"
      "t/sky { surfaceparm sky\n skyparms env/s - -\n }\n"
      "t/bad { { map t/bad.tga } }\n"
      "t/dir { qer_editorimage t/folder.tga\n { map t/folder.jpg } }\n";
  Write(folder / "scripts/test.shader", testsupport::TBytes(script.begin(), script.end()));
  Write(folder / "t/grate_img.tga", Image(Red, 255, 0));
  Write(folder / "t/green.tga", Image(Green));
  Write(folder / "t/yellow.tga", Image(Yellow));
  Write(folder / "t/wall.tga", Image(Blue));
  Write(folder / "t/bad.tga", {0, 0, 2, 0, 0});  // ends inside its header
  std::filesystem::create_directories(folder / "t/folder.tga");
  const char* sides[] = {"rt", "bk", "lf", "ft", "up", "dn"};
  for (std::size_t i = 0; i < 6; ++i)
    Write(folder / ("env/s_" + std::string(sides[i]) + ".tga"), Image(SkySides[i]));

  TBspWriter level = TBspWriter::SmallLevel();
  level.Textures = {TBspWriter::Texture("t/wall"), TBspWriter::Texture("t/grate"), TBspWriter::Texture("t/add"),
                    TBspWriter::Texture("t/two"), TBspWriter::Texture("t/sky"), TBspWriter::Texture("t/bad"),
                    TBspWriter::Texture("t/dir")};
  level.Vertices.clear();
  level.Faces.clear();
  level.LeafFaces.clear();
  level.MeshVertices.clear();
  level.Lightmaps.clear();
  level.AddQuad(0, -1, 200, -200, 200, 0, 200);             // the wall behind the top half
  level.AddQuad(1, -1, 100, 10, 60, 10, 60);                // top left: the grate
  level.AddQuad(2, -1, 100, -60, -10, 10, 60);              // top right: additive
  level.AddQuad(3, -1, 100, 10, 60, -60, -10, {}, false);   // bottom left: two-sided, seen from behind
  level.AddQuad(4, -1, 300, -10, 10, -300, -290);           // a sky face, out of sight
  level.Leaves = {TBspWriter::Leaf(0, 0, static_cast<std::int32_t>(level.Faces.size())), TBspWriter::Leaf(1, 0, 0)};
  level.WriteTo(folder / "maps/test.bsp");

  platform::TOffscreenGLContext context(Size, Size);
  LoadOpenGL("opengl32.dll");
  testsupport::TScopedWorkingDir workingDir(folder.Path());
  app::SetFixedGLState();
  TQuake3BSP loaded;
  TLevelOptions options;
  options.Shaders = true;
  // A source that inflates is told every script and image before they are read, in read order.
  std::vector<std::string> announced, read;
  const platform::TFileSource files{
      [](const std::string& name) { return std::filesystem::is_regular_file(name); },
      [&read](const std::string& name) {
        read.push_back(name);
        return std::optional<testsupport::TBytes>(testsupport::ReadFile(name));
      },
      [&announced](const std::vector<std::string>& names) {
        announced.insert(announced.end(), names.begin(), names.end());
      }};
  options.Files = &files;
  options.ShaderSource = shaders::BaseFolderSource();
  options.ShaderSource.ReadAhead = files.ReadAhead;
  ASSERT_TRUE(loaded.LoadBSP("maps/test.bsp", options));
  read.erase(read.begin());  // the level itself
  EXPECT_EQ(read, announced);
  EXPECT_EQ(read.size(), 12u);  // the script, five surfaces' images, six sky sides
  // A hostile image is a problem and the load goes on; a folder is no image.
  ASSERT_EQ(loaded.Shading.Problems.size(), 1u);
  EXPECT_EQ(loaded.Shading.Problems[0].Describe(), "t/bad.tga:0: Read beyond end of file");
  EXPECT_EQ(loaded.SurfaceTextures[5], 0u);
  EXPECT_EQ(loaded.Shading.Origins[6], shaders::TImageOrigin::None);
  ASSERT_EQ(loaded.Shading.SkyBox.size(), 6u);

  std::vector<std::uint8_t> pixels(Size * Size * 4);
  TRenderCache cache;
  const auto draw = [&](float yaw) {
    app::BeginFrameView(Size, Size, TCamera{0, 0, 0, yaw, 270});
    TRenderOptions render;
    render.Shaders = true;
    loaded.RenderLevel(TVector{0, 0, 0}, render, cache);
    glPopMatrix();
    glReadPixels(0, 0, Size, Size, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  };
  const auto at = [&](int x, int y) {
    const std::size_t i = static_cast<std::size_t>((y * Size + x) * 4);
    return TColour{pixels[i], pixels[i + 1], pixels[i + 2]};
  };
  const auto near = [](TColour a, TColour b) {
    return std::abs(a[0] - b[0]) <= 3 && std::abs(a[1] - b[1]) <= 3 && std::abs(a[2] - b[2]) <= 3;
  };

  draw(90);  // looking along +X
  const struct {
    int X, Y;
    TColour Expected;
    const char* What;
  } cases[] = {
      {13, 45, Red, "the grate's opaque half"},
      {24, 45, Blue, "the wall through the grate's transparent half"},
      {45, 45, {0, 200, 255}, "green added to the wall"},
      {18, 18, Yellow, "the two-sided surface seen from behind"},
      {45, 18, SkySides[3], "the sky box's ft side ahead"},
  };
  for (const auto& c : cases)
    EXPECT_TRUE(near(at(c.X, c.Y), c.Expected)) << c.What << ": " << testing::PrintToString(at(c.X, c.Y));
  draw(0);  // looking along +Y
  EXPECT_TRUE(near(at(10, 32), SkySides[2])) << "the sky box's lf side";
  UnloadOpenGL();
}

}  // namespace
