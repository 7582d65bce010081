// Lightmap textures: the brightening curve, the uploaded texture read back, the exported JPEG
// decoded again, and the file-creation error.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "gl/OpenGL.h"
#include "level/Q3BSP.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

#include <jpeglib.h>

namespace {

using testsupport::TScopedWorkingDir;
using testsupport::TTempDir;

std::uint8_t Brightened(int v) { return static_cast<std::uint8_t>(std::min(2 * v + 80, 255)); }

struct TDecodedJpeg {
  int Width = 0, Height = 0, Components = 0;
  bool Progressive = true;
  std::vector<std::uint8_t> Pixels;  // rows top first
  std::uint8_t At(int x, int y, int k) const { return Pixels[(static_cast<std::size_t>(y) * Width + x) * 3 + k]; }
};

TDecodedJpeg DecodeJpeg(const std::vector<std::uint8_t>& bytes) {
  jpeg_decompress_struct decoder;
  jpeg_error_mgr errors;
  decoder.err = jpeg_std_error(&errors);  // a broken file ends the test program: fine here
  jpeg_create_decompress(&decoder);
  jpeg_mem_src(&decoder, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&decoder, TRUE);
  TDecodedJpeg image;
  image.Progressive = decoder.progressive_mode;
  image.Components = decoder.num_components;
  decoder.out_color_space = JCS_RGB;
  jpeg_start_decompress(&decoder);
  image.Width = static_cast<int>(decoder.output_width);
  image.Height = static_cast<int>(decoder.output_height);
  image.Pixels.resize(static_cast<std::size_t>(image.Width) * image.Height * 3);
  while (decoder.output_scanline < decoder.output_height) {
    JSAMPROW row = image.Pixels.data() + static_cast<std::size_t>(decoder.output_scanline) * image.Width * 3;
    jpeg_read_scanlines(&decoder, &row, 1);
  }
  jpeg_finish_decompress(&decoder);
  jpeg_destroy_decompress(&decoder);
  return image;
}

// A lightmap whose every byte value 0..255 occurs, laid out so that rows and columns differ.
std::unique_ptr<TBSPLightmap> PatternLightmap() {
  auto lightmap = std::make_unique<TBSPLightmap>();
  for (int r = 0; r < 128; ++r)
    for (int c = 0; c < 128; ++c)
      for (int k = 0; k < 3; ++k)
        lightmap->ImageBits[r][c][k] = static_cast<std::uint8_t>(r * 2 + c * 7 + k * 85);
  return lightmap;
}

// Smooth in both directions, so JPEG at quality 100 keeps it within a few steps: red follows the
// row, green the column, blue is constant.
std::unique_ptr<TBSPLightmap> GradientLightmap() {
  auto lightmap = std::make_unique<TBSPLightmap>();
  for (int r = 0; r < 128; ++r)
    for (int c = 0; c < 128; ++c) {
      lightmap->ImageBits[r][c][0] = static_cast<std::uint8_t>(r * 87 / 127);
      lightmap->ImageBits[r][c][1] = static_cast<std::uint8_t>(c * 87 / 127);
      lightmap->ImageBits[r][c][2] = 30;
    }
  return lightmap;
}

class LightmapTexture : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadOpenGL("opengl32.dll");
    std::filesystem::create_directory(Dir / "lgmp");
  }
  void TearDown() override { UnloadOpenGL(); }

  std::vector<std::uint8_t> TextureLevel(GLuint texture, int level, int size) {
    glBindTexture(GL_TEXTURE_2D, texture);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size) * size * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
  }

  platform::TOffscreenGLContext Context{8, 8};
  TTempDir Dir;
  TScopedWorkingDir WorkingDir{Dir.Path()};
  TQuake3BSP Level;
};

}  // namespace

TEST_F(LightmapTexture, TextureHoldsTheBrightenedUntransposedPixelsWithMipmaps) {
  const auto lightmap = PatternLightmap();
  const TBSPLightmap before = *lightmap;
  GLuint slot = 0;
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  Level.CreateLightmapTexture(slot, *lightmap, 127, 127, 0);
  ASSERT_NE(slot, 0u);
  EXPECT_TRUE(glIsTexture(slot));
  // The caller's block is untouched.
  EXPECT_EQ(std::memcmp(&before, lightmap.get(), sizeof before), 0);

  const std::vector<std::uint8_t> texels = TextureLevel(slot, 0, 128);
  std::size_t mismatches = 0;
  for (int r = 0; r < 128; ++r)
    for (int c = 0; c < 128; ++c)
      for (int k = 0; k < 3; ++k)
        mismatches += texels[(r * 128 + c) * 3 + k] != Brightened(lightmap->ImageBits[r][c][k]);
  EXPECT_EQ(mismatches, 0u);
  // Row 0, column 5 stays at row 0, column 5: 0 + 35 = 35 -> 150; 120 -> 255; 205 -> 255.
  EXPECT_EQ(texels[5 * 3 + 0], 150);
  EXPECT_EQ(texels[5 * 3 + 1], 255);

  GLint value = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
  EXPECT_EQ(value, 128);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 7, GL_TEXTURE_WIDTH, &value);
  EXPECT_EQ(value, 1);  // the whole mipmap chain
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
  EXPECT_EQ(value, GL_MODULATE);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LightmapTexture, BlackGivesGreyEightyAndWhiteStaysWhite) {
  auto lightmap = std::make_unique<TBSPLightmap>();
  std::memset(lightmap.get(), 0, sizeof *lightmap);
  GLuint black = 0, white = 0;
  Level.CreateLightmapTexture(black, *lightmap, 127, 127, 0);
  std::memset(lightmap.get(), 255, sizeof *lightmap);
  Level.CreateLightmapTexture(white, *lightmap, 127, 127, 1);
  EXPECT_NE(black, white);
  EXPECT_EQ(TextureLevel(black, 0, 128), std::vector<std::uint8_t>(128 * 128 * 3, 80));
  EXPECT_EQ(TextureLevel(white, 0, 128), std::vector<std::uint8_t>(128 * 128 * 3, 255));
  EXPECT_EQ(TextureLevel(black, 3, 16), std::vector<std::uint8_t>(16 * 16 * 3, 80));
  for (const char* name : {"lgmp/lgmp0.jpg", "lgmp/lgmp1.jpg"}) {
    const TDecodedJpeg image = DecodeJpeg(testsupport::ReadFile(name));
    const int expected = name[9] == '0' ? 80 : 255;
    int worst = 0;
    for (std::uint8_t v : image.Pixels) worst = std::max(worst, std::abs(v - expected));
    EXPECT_LE(worst, 1) << name;
  }
}

TEST_F(LightmapTexture, ExportedImageIsTheTransposedBrightenedLightmapAtQuality100) {
  const auto lightmap = GradientLightmap();
  GLuint slot = 0;
  Level.CreateLightmapTexture(slot, *lightmap, 127, 127, 12);
  ASSERT_TRUE(std::filesystem::exists("lgmp/lgmp12.jpg"));
  const std::vector<std::uint8_t> bytes = testsupport::ReadFile("lgmp/lgmp12.jpg");
  // Baseline: a start-of-frame 0 marker, no progressive one.
  bool baseline = false;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
    if (bytes[i] != 0xFF) continue;
    if (bytes[i + 1] == 0xC0) baseline = true;
    EXPECT_NE(bytes[i + 1], 0xC2);
  }
  EXPECT_TRUE(baseline);
  const TDecodedJpeg image = DecodeJpeg(bytes);
  EXPECT_EQ(image.Width, 128);
  EXPECT_EQ(image.Height, 128);
  EXPECT_EQ(image.Components, 3);
  EXPECT_FALSE(image.Progressive);
  // Image pixel (x, y) is lightmap row x, column y: red grows with x, green with y.
  int worst = 0;
  for (int x = 0; x < 128; ++x)
    for (int y = 0; y < 128; ++y)
      for (int k = 0; k < 3; ++k)
        worst = std::max(worst, std::abs(image.At(x, y, k) - Brightened(lightmap->ImageBits[x][y][k])));
  EXPECT_LE(worst, 3);
  EXPECT_LT(image.At(0, 127, 0), 90);   // lightmap row 0: dark red
  EXPECT_GT(image.At(127, 0, 0), 240);  // lightmap row 127: bright red
  EXPECT_GT(image.At(0, 127, 1), 240);  // lightmap column 127: bright green
}

TEST_F(LightmapTexture, ExportBrightensTheBufferInPlaceAndReplacesAnOldFile) {
  testsupport::WriteFile("lgmp/lgmp3.jpg", std::vector<std::uint8_t>(10, 'x'));
  std::vector<std::uint8_t> pixels(49152);
  const int samples[][2] = {{0, 80}, {1, 82}, {87, 254}, {88, 255}, {200, 255}, {255, 255}};
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(samples[i % 6][0]);
  Level.ExportLightmap(pixels.data(), 127, 127, 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(pixels[i], samples[i % 6][1]) << i;
  const std::vector<std::uint8_t> bytes = testsupport::ReadFile("lgmp/lgmp3.jpg");
  ASSERT_GT(bytes.size(), 10u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xD8);
}

TEST_F(LightmapTexture, DirectoryIsFoundInAnyLetterCase) {
  std::filesystem::remove("lgmp");
  std::filesystem::create_directory("LGMP");
  const auto lightmap = GradientLightmap();
  GLuint slot = 0;
  Level.CreateLightmapTexture(slot, *lightmap, 127, 127, 4);
  EXPECT_TRUE(std::filesystem::exists("LGMP/lgmp4.jpg"));
}

TEST_F(LightmapTexture, MissingDirectoryRaisesCannotCreateFileBeforeTheUpload) {
  std::filesystem::remove("lgmp");
  const auto lightmap = GradientLightmap();
  GLuint slot = 0;
  try {
    Level.CreateLightmapTexture(slot, *lightmap, 127, 127, 7);
    FAIL() << "no error";
  } catch (const EFCreateError& error) {
    EXPECT_STREQ(error.what(), "Cannot create file lgmp\\lgmp7.jpg");
  }
  // The slot holds the generated name of a texture that got no image.
  EXPECT_NE(slot, 0u);
  glBindTexture(GL_TEXTURE_2D, slot);
  GLint width = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 0);
}

TEST_F(LightmapTexture, SizesOtherThan128AreRefused) {
  std::vector<std::uint8_t> pixels(49152);
  EXPECT_THROW(Level.ExportLightmap(pixels.data(), 128, 127, 0), std::invalid_argument);
  GLuint slot = 0;
  const auto lightmap = GradientLightmap();
  EXPECT_THROW(Level.CreateLightmapTexture(slot, *lightmap, 127, 63, 0), std::invalid_argument);
  EXPECT_EQ(slot, 0u);
  EXPECT_FALSE(std::filesystem::exists("lgmp/lgmp0.jpg"));
}
