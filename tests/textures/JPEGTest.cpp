// JPEG: decoding set-up, row order, alpha, refusals and the error after the header.
#include <GL/gl.h>

#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "TextureTestSupport.h"
#include "gl/Textures.h"
#include "textures/ImageDecode.h"

namespace testsupport {
namespace {

using testsupport::MakeJPEG;
using textures::DecodeJPEG;
using textures::TJPEGError;

// A picture whose top half is red and bottom half blue, with a green column on the left: flat
// areas on 8 x 8 block borders survive compression within a few levels.
TBytes TwoBands(int w, int h) {
  TBytes rgb;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (x < 16) rgb.insert(rgb.end(), {0, 255, 0});
      else if (y < h / 2) rgb.insert(rgb.end(), {255, 0, 0});
      else rgb.insert(rgb.end(), {0, 0, 255});
    }
  return rgb;
}

bool Near(const std::uint8_t* pixel, int r, int g, int b, int tolerance = 8) {
  return std::abs(pixel[0] - r) <= tolerance && std::abs(pixel[1] - g) <= tolerance &&
         std::abs(pixel[2] - b) <= tolerance;
}

TEST(JPEGDecodeTest, BottomRowFirstWithAlpha255) {
  const auto decoded = DecodeJPEG(MakeJPEG(256, 128, 3, TwoBands(256, 128)));
  ASSERT_TRUE(decoded.Ok());
  const textures::TImage& image = decoded.Image;
  EXPECT_EQ(image.Width, 256);
  EXPECT_EQ(image.Height, 128);
  EXPECT_EQ(image.Format, GL_RGBA);
  ASSERT_EQ(image.Pixels.size(), 256u * 128 * 4);
  // Buffer row 0 is the picture's bottom (blue) row; the last buffer row its top (red) row.
  EXPECT_TRUE(Near(&image.Pixels[4 * 100], 0, 0, 255));
  EXPECT_TRUE(Near(&image.Pixels[4 * (127 * 256 + 100)], 255, 0, 0));
  EXPECT_TRUE(Near(&image.Pixels[0], 0, 255, 0));
  for (std::size_t i = 3; i < image.Pixels.size(); i += 4) ASSERT_EQ(image.Pixels[i], 255) << i;
}

TEST(JPEGDecodeTest, RowsAreTheLibrarysRowsReversed) {
  // Odd width (not a multiple of 4 or 8): each buffer row must be exactly a decoded row, so the
  // same file decoded as greyscale-to-RGB and flipped must agree byte for byte with itself.
  TBytes grey(13 * 11);
  for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<std::uint8_t>(i * 37);
  const TBytes file = MakeJPEG(13, 11, 1, grey, 100);
  const auto decoded = DecodeJPEG(file);
  ASSERT_TRUE(decoded.Ok());
  const TBytes& p = decoded.Image.Pixels;
  ASSERT_EQ(p.size(), 13u * 11 * 4);
  for (std::size_t i = 0; i < p.size(); i += 4) {
    EXPECT_EQ(p[i], p[i + 1]);
    EXPECT_EQ(p[i], p[i + 2]);
    EXPECT_EQ(p[i + 3], 255);
  }
  // Quality 100 keeps greys within a few levels; the top-left source pixel is the last row's first.
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x)
      EXPECT_NEAR(p[4 * ((10 - y) * 13 + x)], grey[static_cast<std::size_t>(y * 13 + x)], 6) << x << "," << y;
}

TEST(JPEGDecodeTest, ProgressiveGivesTheBaselinePicture) {
  const TBytes rgb = TwoBands(64, 32);
  const auto baseline = DecodeJPEG(MakeJPEG(64, 32, 3, rgb, 90, false));
  const auto progressive = DecodeJPEG(MakeJPEG(64, 32, 3, rgb, 90, true));
  ASSERT_TRUE(baseline.Ok());
  ASSERT_TRUE(progressive.Ok());
  EXPECT_EQ(progressive.Image.Pixels, baseline.Image.Pixels);
}

TEST(JPEGDecodeTest, RefusesWhatIsNotAPictureAndCMYK) {
  EXPECT_EQ(DecodeJPEG({}).Error, TJPEGError::Header);
  EXPECT_EQ(DecodeJPEG(testsupport::MakeTGA(1, 1, {1, 2, 3})).Error, TJPEGError::Header);
  const TBytes file = MakeJPEG(16, 16, 3, TwoBands(16, 16));
  EXPECT_EQ(DecodeJPEG(TBytes(file.begin(), file.begin() + 20)).Error, TJPEGError::Header);
  EXPECT_EQ(DecodeJPEG(testsupport::MakeCMYKJPEG(8, 8, TBytes(256, 9))).Error, TJPEGError::UnsupportedColour);
  EXPECT_EQ(DecodeJPEG(file, 100).Error, TJPEGError::TooLarge);
}

TEST(JPEGDecodeTest, DataCutAfterTheHeaderStillDecodes) {
  const TBytes file = MakeJPEG(64, 64, 3, TwoBands(64, 64));
  // Cut halfway through the entropy-coded data that follows the start-of-scan marker.
  std::size_t scan = 0;
  while (scan + 1 < file.size() && !(file[scan] == 0xFF && file[scan + 1] == 0xDA)) ++scan;
  ASSERT_LT(scan + 1, file.size());
  const std::size_t cut = scan + (file.size() - scan) / 2;
  const auto decoded = DecodeJPEG(TBytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut)));
  ASSERT_TRUE(decoded.Ok());
  EXPECT_EQ(decoded.Image.Width, 64);
  EXPECT_EQ(decoded.Image.Pixels.size(), 64u * 64 * 4);
  // The top rows (last in the buffer) were decoded.
  EXPECT_TRUE(Near(&decoded.Image.Pixels[4 * (63 * 64 + 40)], 255, 0, 0));
}

class JPEGLoadTest : public TTextureTest {};

TEST_F(JPEGLoadTest, UploadsAnRGBATextureOfTheDecodedPixels) {
  const TBytes file = MakeJPEG(32, 16, 3, TwoBands(32, 16));
  Write("stone.jpg", file);
  GLuint slot = 0;
  ASSERT_TRUE(LoadTexture("stone.jpg", slot, false));
  const TTexel texel = ReadTexture(slot, GL_RGBA);
  EXPECT_EQ(texel.InternalFormat, GL_RGBA);
  EXPECT_EQ(texel.Width, 32);
  EXPECT_EQ(texel.Height, 16);
  EXPECT_EQ(texel.Pixels, DecodeJPEG(file).Image.Pixels);
  EXPECT_TRUE(Messages->Messages().empty());
}

TEST_F(JPEGLoadTest, RefusalMessages) {
  Write("tga.jpg", testsupport::MakeTGA(1, 1, {1, 2, 3}));
  Write("bmp.jpg", testsupport::MakeBMP(1, 1, {1, 2, 3}));
  Write("cmyk.jpg", testsupport::MakeCMYKJPEG(8, 8, TBytes(256, 9)));
  for (const std::string name : {"missing.jpg", "tga.jpg", "bmp.jpg", "cmyk.jpg"}) {
    SCOPED_TRACE(name);
    ResetMessages();
    GLuint slot = 4;
    const GLuint before = ProbeTextureName();
    EXPECT_FALSE(LoadTexture(name, slot, false));
    ExpectNoNameBetween(before, ProbeTextureName());
    EXPECT_EQ(slot, 4u);
    ExpectOneMessage("Couldn't load JPG - \"" + name + "\"", "BMP Unit");
  }
}

TEST_F(JPEGLoadTest, ALibraryErrorAfterTheHeaderRaisesJPEGError) {
  // Two components in no named colour space: the header reads, the conversion to RGB does not exist.
  const TBytes file = testsupport::MakeUnknownColourJPEG(8, 8, 2, TBytes(128, 100));
  const auto decoded = DecodeJPEG(file);
  EXPECT_EQ(decoded.Error, TJPEGError::Decode);
  EXPECT_EQ(decoded.LibraryCode, JERR_CONVERSION_NOTIMPL);
  EXPECT_TRUE(decoded.Image.Pixels.empty());

  Write("two.jpg", file);
  GLuint slot = 6;
  const GLuint before = ProbeTextureName();
  try {
    LoadTexture("two.jpg", slot, false);
    ADD_FAILURE() << "no exception";
  } catch (const EJPEGError& error) {
    EXPECT_EQ(std::string(error.what()), "JPEG error #" + std::to_string(JERR_CONVERSION_NOTIMPL));
    EXPECT_EQ(error.Code, JERR_CONVERSION_NOTIMPL);
  }
  ExpectNoNameBetween(before, ProbeTextureName());
  EXPECT_EQ(slot, 6u);
  EXPECT_TRUE(Messages->Messages().empty());
}

}  // namespace
}  // namespace testsupport
