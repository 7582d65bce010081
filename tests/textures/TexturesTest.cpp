// The front door, the upload, the shared pixel helpers and resource mode.
#include <GL/gl.h>

#include "TextureTestSupport.h"
#include "gl/Textures.h"
#include "textures/PixelSwap.h"
#include "textures/TextureResources.h"

namespace testsupport {
namespace {

using testsupport::MakeBMP;
using testsupport::MakeJPEG;
using testsupport::MakeTGA;

class LoadTextureTest : public TTextureTest {};

TEST_F(LoadTextureTest, ExtensionPicksTheLoaderAndTheNameArrivesUnchanged) {
  // Each loader is recognised by its own missing-file message, which quotes the name it got.
  const struct {
    std::string Name, Text, Caption;
  } cases[] = {
      {"Stone.JpG", "Couldn't load JPG - \"Stone.JpG\"", "BMP Unit"},
      {"stone.tga", "File not found  - stone.tga", "TGA Texture"},
      {"maps\\Wall.TgA", "File not found  - maps\\Wall.TgA", "TGA Texture"},
      {".BMP", "Error opening .BMP", "BMP Unit"},
      {"x.bmp", "Error opening x.bmp", "BMP Unit"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ResetMessages();
    GLuint slot = 77;
    const GLuint before = ProbeTextureName();
    EXPECT_FALSE(LoadTexture(c.Name, slot, false));
    ExpectNoNameBetween(before, ProbeTextureName());
    EXPECT_EQ(slot, 77u);
    ExpectOneMessage(c.Text, c.Caption);
  }
}

TEST_F(LoadTextureTest, UnknownExtensionsLoadNothingAndSayNothing) {
  // Real files, so that only the extension can be the reason.
  const TBytes tga = MakeTGA(1, 1, {1, 2, 3});
  for (const std::string name : {"stone.jpeg", "stone.png", "stone", "bmp", "tga", "x.tga ", "x.tgaa"}) {
    SCOPED_TRACE(name);
    Write(name, tga);
    GLuint slot = 5;
    const GLuint before = ProbeTextureName();
    EXPECT_FALSE(LoadTexture(name, slot, false));
    ExpectNoNameBetween(before, ProbeTextureName());
    EXPECT_EQ(slot, 5u);
    EXPECT_TRUE(Messages->Messages().empty());
  }
}

TEST_F(LoadTextureTest, SecondLoadIntoOneSlotKeepsTheFirstTextureAlive) {
  Write("a.tga", MakeTGA(1, 1, {1, 2, 3}));
  Write("b.TGA", MakeTGA(1, 1, {4, 5, 6}));
  GLuint slot = 0;
  ASSERT_TRUE(LoadTexture("a.tga", slot, false));
  const GLuint first = slot;
  ASSERT_TRUE(LoadTexture("b.TGA", slot, false));
  EXPECT_NE(slot, first);
  EXPECT_TRUE(glIsTexture(first));
  EXPECT_EQ(ReadTexture(first, GL_RGB).Pixels, (TBytes{3, 2, 1}));
  EXPECT_EQ(ReadTexture(slot, GL_RGB).Pixels, (TBytes{6, 5, 4}));
  EXPECT_TRUE(Messages->Messages().empty());
}

class CreateTextureTest : public TTextureTest {};

TEST_F(CreateTextureTest, LeavesTheNewTextureBoundWithLinearMipmapFilters) {
  const TBytes pixels = {10, 20, 30, 40, 50, 60, 70, 80};
  glBindTexture(GL_TEXTURE_2D, 0);
  const GLuint name = CreateTexture(2, 1, GL_RGBA, pixels.data());
  EXPECT_NE(name, 0u);
  GLint bound = 0, mag = 0, min = 0, wrapS = 0, wrapT = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
  EXPECT_EQ(static_cast<GLuint>(bound), name);
  EXPECT_EQ(mag, GL_LINEAR);
  EXPECT_EQ(min, GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(wrapS, GL_REPEAT);
  EXPECT_EQ(wrapT, GL_REPEAT);
  // A full mipmap chain: the 1 x 1 level exists.
  GLint level1Width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1Width);
  EXPECT_EQ(level1Width, 1);
}

TEST_F(CreateTextureTest, RGBAKeepsFourChannelsAndRowOrder) {
  // Row 0 of the buffer is t = 0.
  const TBytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const TTexel texel = ReadTexture(CreateTexture(2, 2, GL_RGBA, pixels.data()), GL_RGBA);
  EXPECT_EQ(texel.Width, 2);
  EXPECT_EQ(texel.Height, 2);
  EXPECT_EQ(texel.InternalFormat, GL_RGBA);
  EXPECT_EQ(texel.Pixels, pixels);
}

TEST_F(CreateTextureTest, RGBRowsOfOddByteLengthAreReadTightlyAndAlignmentIsRestored) {
  // Rows of 6 and 3 bytes: with the default unpack alignment of 4 the second row would start at
  // byte 8 (or 4), past the pixels given, and come back shifted.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
  const TBytes twoByTwo = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  TTexel texel = ReadTexture(CreateTexture(2, 2, GL_RGB, twoByTwo.data()), GL_RGB);
  EXPECT_EQ(texel.Pixels, twoByTwo);
  GLint alphaBits = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaBits);
  EXPECT_EQ(alphaBits, 0);
  EXPECT_TRUE(texel.InternalFormat == 3 || texel.InternalFormat == GL_RGB) << texel.InternalFormat;

  const TBytes oneByFour = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  texel = ReadTexture(CreateTexture(1, 4, GL_RGB, oneByFour.data()), GL_RGB);
  EXPECT_EQ(texel.Width, 1);
  EXPECT_EQ(texel.Height, 4);
  EXPECT_EQ(texel.Pixels, oneByFour);

  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 8);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

TEST_F(CreateTextureTest, AnySelectorButRGBAMeansRGB) {
  const TBytes pixels = {9, 8, 7, 6, 5, 4};
  for (std::uint16_t selector : {std::uint16_t{0}, std::uint16_t{GL_RGB}, std::uint16_t{GL_BGRA}}) {
    const TTexel texel = ReadTexture(CreateTexture(2, 1, selector, pixels.data()), GL_RGB);
    EXPECT_EQ(texel.Pixels, pixels) << selector;
    GLint alphaBits = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaBits);
    EXPECT_EQ(alphaBits, 0);
  }
}

TEST(PixelSwapTest, SwapRedBlueTouchesOnlyTheCountedPixels) {
  TBytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  SwapRedBlue(pixels.data(), 0);
  EXPECT_EQ(pixels, (TBytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  SwapRedBlue(pixels.data(), 2);
  EXPECT_EQ(pixels, (TBytes{3, 2, 1, 6, 5, 4, 7, 8, 9}));
}

TEST(PixelSwapTest, CopyPixelSwappedWritesExactlyItsBytes) {
  const TBytes source = {1, 2, 3, 4};
  TBytes destination = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  CopyPixelSwapped(source.data(), destination.data(), 3);
  EXPECT_EQ(destination, (TBytes{3, 2, 1, 0xAA, 0xAA}));
  CopyPixelSwapped(source.data(), destination.data(), 4);
  EXPECT_EQ(destination, (TBytes{3, 2, 1, 4, 0xAA}));
}

class ResourceTest : public TTextureTest {
 protected:
  void TearDown() override {
    textures::ClearRegisteredImageResources();
    TTextureTest::TearDown();
  }
};

TEST(ResourceNameTest, IsTheNameBeforeTheFirstDot) {
  EXPECT_EQ(textures::ResourceNameOf("font.tga"), "font");
  EXPECT_EQ(textures::ResourceNameOf("maps\\a.b\\c.tga"), "maps\\a");
  EXPECT_EQ(textures::ResourceNameOf("noext"), "");
  EXPECT_EQ(textures::ResourceNameOf(".tga"), "");
}

TEST_F(ResourceTest, ImagesAreFoundByTypeAndNameIgnoringCase) {
  textures::RegisterImageResource("TGA", "FONT", MakeTGA(1, 1, {1, 2, 3, 4}, {.Depth = 32}));
  textures::RegisterImageResource("bmp", "Wall", MakeBMP(1, 1, {10, 20, 30}));
  textures::RegisterImageResource("JPEG", "sky", MakeJPEG(8, 8, 1, TBytes(64, 128)));
  GLuint slot = 0;
  ASSERT_TRUE(LoadTexture("font.tga", slot, true));
  EXPECT_EQ(ReadTexture(slot, GL_RGBA).Pixels, (TBytes{3, 2, 1, 4}));
  ASSERT_TRUE(LoadTexture("wall.BMP", slot, true));
  EXPECT_EQ(ReadTexture(slot, GL_RGB).Pixels, (TBytes{30, 20, 10}));
  ASSERT_TRUE(LoadTexture("SKY.jpg", slot, true));
  const TTexel sky = ReadTexture(slot, GL_RGBA);
  EXPECT_EQ(sky.Width, 8);
  EXPECT_EQ(sky.Pixels[3], 255);
  EXPECT_TRUE(Messages->Messages().empty());
}

TEST_F(ResourceTest, EveryResourceMessage) {
  const TBytes tga = MakeTGA(2, 2, TBytes(12, 7));
  const TBytes rle = MakeTGA(2, 2, TBytes(12, 7), {.ImageType = 10});
  const TBytes bmp = MakeBMP(2, 2, TBytes(12, 7), {.ColoursUsed = 2});
  textures::RegisterImageResource("JPEG", "wrongtype", tga);  // a JPEG resource named like the TGA
  textures::RegisterImageResource("TGA", "head", TBytes(tga.begin(), tga.begin() + 17));
  textures::RegisterImageResource("TGA", "body", TBytes(tga.begin(), tga.end() - 1));
  textures::RegisterImageResource("TGA", "packets", TBytes(rle.begin(), rle.end() - 1));
  textures::RegisterImageResource("TGA", "mapped", MakeTGA(1, 1, {1, 2, 3}, {.ColourMapType = 1}));
  textures::RegisterImageResource("BMP", "head", TBytes(bmp.begin(), bmp.begin() + 53));
  textures::RegisterImageResource("BMP", "palette", TBytes(bmp.begin(), bmp.begin() + 61));
  textures::RegisterImageResource("BMP", "body", TBytes(bmp.begin(), bmp.end() - 1));
  textures::RegisterImageResource("JPEG", "notjpeg", tga);
  textures::RegisterImageResource("JPEG", "cmyk", testsupport::MakeCMYKJPEG(8, 8, TBytes(256, 40)));
  const struct {
    std::string Name, Text, Caption;
  } cases[] = {
      {"wrongtype.tga", "File not found in resource - wrongtype.tga", "TGA Texture"},
      {"none.bmp", "File not found in resource - none.bmp", "BMP Texture"},
      {"none.jpg", "File not found in resource - none.jpg", "JPG Texture"},
      {"head.tga", "Unable to read from resource - head.tga", "BMP Unit"},
      {"body.tga", "Unable to read from resource - body.tga", "BMP Unit"},
      {"packets.tga", "Unable to read from resource - packets.tga", "BMP Unit"},
      {"mapped.tga", "Couldn't load \"mapped.tga\". Colormapped TGA files not supported.", "TGA File Error"},
      {"head.bmp", "Unable to read from resource - head.bmp", "BMP Unit"},
      {"palette.bmp", "Unable to read from resource - palette.bmp", "BMP Unit"},
      {"body.bmp", "Unable to read from resource - body.bmp", "BMP Unit"},
      {"notjpeg.jpg", "Couldn't load JPG Resource - \"notjpeg.jpg\"", "BMP Unit"},
      {"cmyk.jpg", "Couldn't load JPG Resource - \"cmyk.jpg\"", "BMP Unit"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ResetMessages();
    GLuint slot = 3;
    const GLuint before = ProbeTextureName();
    EXPECT_FALSE(LoadTexture(c.Name, slot, true));
    ExpectNoNameBetween(before, ProbeTextureName());
    EXPECT_EQ(slot, 3u);
    ExpectOneMessage(c.Text, c.Caption);
  }
}

TEST_F(ResourceTest, ANameWithoutDotIsNeverFound) {
  textures::RegisterImageResource("TGA", "", MakeTGA(1, 1, {1, 2, 3}));
  GLuint slot = 0;
  EXPECT_FALSE(LoadTGATexture("font", slot, true));
  ExpectOneMessage("File not found in resource - font", "TGA Texture");
}

}  // namespace
}  // namespace testsupport
