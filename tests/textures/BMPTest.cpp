// BMP: header fields, padded rows, bottom-up order, and every refusal.
#include <GL/gl.h>

#include "TextureTestSupport.h"
#include "gl/Textures.h"
#include "textures/ImageDecode.h"

namespace testsupport {
namespace {

using testsupport::MakeBMP;
using testsupport::TBMPOptions;
using textures::DecodeBMP;
using textures::TBMPError;

TBytes Pattern(std::size_t size) {
  TBytes out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(i * 13 + 5);
  return out;
}

TBytes RedGreenBlue(TBytes bgr) {
  for (std::size_t i = 0; i + 2 < bgr.size(); i += 3) std::swap(bgr[i], bgr[i + 2]);
  return bgr;
}

void Put32(TBytes& file, std::size_t offset, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) file[offset + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v >> (8 * k));
}

TEST(BMPDecodeTest, SizeComputedOrGivenReadsTheSamePixels) {
  const TBytes bgr = Pattern(64 * 64 * 3);
  const auto computed = DecodeBMP(MakeBMP(64, 64, bgr));
  ASSERT_TRUE(computed.Ok());
  EXPECT_EQ(computed.Image.Width, 64);
  EXPECT_EQ(computed.Image.Height, 64);
  EXPECT_EQ(computed.Image.Format, GL_RGB);
  EXPECT_EQ(computed.Image.Pixels, RedGreenBlue(bgr));  // first stored row first
  const auto given = DecodeBMP(MakeBMP(64, 64, bgr, {.SizeImageField = 64 * 64 * 3}));
  ASSERT_TRUE(given.Ok());
  EXPECT_EQ(given.Image.Pixels, computed.Image.Pixels);
}

TEST(BMPDecodeTest, ColourTableIsSkipped) {
  const TBytes file = MakeBMP(4, 1, Pattern(12), {.ColoursUsed = 2});
  ASSERT_EQ(file.size(), 62u + 12);
  const auto decoded = DecodeBMP(file);
  ASSERT_TRUE(decoded.Ok());
  EXPECT_EQ(decoded.Image.Pixels, RedGreenBlue(Pattern(12)));
}

TEST(BMPDecodeTest, PaddedRowsShowTheTruePicture) {
  // 3 pixels wide: 9 bytes a row, stored as 12. Every row must start at its own stored row.
  for (int width : {1, 2, 3, 5, 7}) {
    SCOPED_TRACE(width);
    const TBytes bgr = Pattern(static_cast<std::size_t>(width) * 4 * 3);
    const auto decoded = DecodeBMP(MakeBMP(width, 4, bgr));
    ASSERT_TRUE(decoded.Ok());
    EXPECT_EQ(decoded.Image.Pixels, RedGreenBlue(bgr));
  }
}

TEST(BMPDecodeTest, AnEmptyPictureDecodesToNoPixels) {
  for (const auto& [w, h] : {std::pair{0, 3}, std::pair{3, 0}, std::pair{0, 0}}) {
    const auto decoded = DecodeBMP(MakeBMP(w, h, {}));
    ASSERT_TRUE(decoded.Ok());
    EXPECT_EQ(decoded.Image.Width, w);
    EXPECT_EQ(decoded.Image.Height, h);
    EXPECT_TRUE(decoded.Image.Pixels.empty());
  }
}

TEST(BMPDecodeTest, Refusals) {
  const TBytes good = MakeBMP(3, 2, Pattern(18), {.ColoursUsed = 1});  // 54 + 4 + 2 x 12 bytes
  EXPECT_TRUE(DecodeBMP(good).Ok());
  EXPECT_EQ(DecodeBMP(TBytes(good.begin(), good.begin() + 53)).Error, TBMPError::ShortHeader);
  EXPECT_EQ(DecodeBMP(TBytes(good.begin(), good.begin() + 57)).Error, TBMPError::ShortPalette);
  EXPECT_EQ(DecodeBMP(TBytes(good.begin(), good.end() - 1)).Error, TBMPError::ShortData);
  // Unpadded rows are one row's padding short of the picture.
  EXPECT_EQ(DecodeBMP(MakeBMP(3, 2, Pattern(18), {.PadRows = false})).Error, TBMPError::ShortData);

  EXPECT_EQ(DecodeBMP(MakeBMP(3, -2, Pattern(18))).Error, TBMPError::TopDown);
  EXPECT_EQ(DecodeBMP(MakeBMP(-3, 2, Pattern(18))).Error, TBMPError::BadSize);
  TBytes wide = good;
  Put32(wide, 18, 65536);
  EXPECT_EQ(DecodeBMP(wide).Error, TBMPError::BadSize);
  TBytes tall = good;
  Put32(tall, 22, 0x7FFFFFFF);
  EXPECT_EQ(DecodeBMP(tall).Error, TBMPError::BadSize);

  // Pixel data declared smaller than width x height x 3: a small size field, or fewer bits.
  EXPECT_EQ(DecodeBMP(MakeBMP(3, 2, Pattern(18), {.SizeImageField = 20})).Error, TBMPError::DataTooSmall);
  EXPECT_EQ(DecodeBMP(MakeBMP(3, 2, Pattern(18), {.BitCount = 8})).Error, TBMPError::DataTooSmall);
  EXPECT_EQ(DecodeBMP(MakeBMP(3, 2, Pattern(18), {.BitCount = 0})).Error, TBMPError::DataTooSmall);
  // Sizes that would overflow 32 bits are read in 64: a palette or data size past the file.
  TBytes palette = good;
  Put32(palette, 46, 0xFFFFFFFF);
  EXPECT_EQ(DecodeBMP(palette).Error, TBMPError::ShortPalette);
  TBytes size = good;
  Put32(size, 34, 0xFFFFFFFF);
  EXPECT_EQ(DecodeBMP(size).Error, TBMPError::ShortData);
  TBytes huge = good;
  Put32(huge, 18, 65535);
  Put32(huge, 22, 65535);
  EXPECT_EQ(DecodeBMP(huge).Error, TBMPError::ShortData);
  EXPECT_EQ(DecodeBMP(huge, 1 << 20).Error, TBMPError::TooLarge);
}

class BMPLoadTest : public TTextureTest {};

TEST_F(BMPLoadTest, UploadsBottomUpRowsAsRedGreenBlue) {
  // 2 pixels wide: rows of 6 bytes stored as 8. Stored row 0 (the picture's bottom) is t = 0.
  Write("wall.bmp", MakeBMP(2, 2, {10, 20, 30, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  GLuint slot = 0;
  ASSERT_TRUE(LoadTexture("wall.bmp", slot, false));
  const TTexel texel = ReadTexture(slot, GL_RGB);
  EXPECT_EQ(texel.Width, 2);
  EXPECT_EQ(texel.Height, 2);
  EXPECT_EQ(texel.Pixels, (TBytes{30, 20, 10, 3, 2, 1, 6, 5, 4, 9, 8, 7}));
  EXPECT_TRUE(Messages->Messages().empty());
}

TEST_F(BMPLoadTest, EveryRefusalMessage) {
  const TBytes good = MakeBMP(2, 2, Pattern(12), {.ColoursUsed = 1});
  Write("header.bmp", TBytes(good.begin(), good.begin() + 30));
  Write("palette.bmp", TBytes(good.begin(), good.begin() + 56));
  Write("data.bmp", TBytes(good.begin(), good.end() - 3));
  Write("topdown.bmp", MakeBMP(2, -2, Pattern(12)));
  Write("negative.bmp", MakeBMP(-2, 2, Pattern(12)));
  Write("eightbit.bmp", MakeBMP(2, 2, Pattern(12), {.BitCount = 8}));
  const struct {
    std::string Name, Text;
  } cases[] = {
      {"missing.bmp", "Error opening missing.bmp"},
      {"header.bmp", "Error reading bitmap header"},
      {"palette.bmp", "Error reading palette"},
      {"data.bmp", "Error reading bitmap data"},
      {"topdown.bmp", "Top-down bitmaps not supported"},
      {"negative.bmp", "Bitmap size not supported"},
      {"eightbit.bmp", "Bitmap data too small for 24-bit pixels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ResetMessages();
    GLuint slot = 12;
    const GLuint before = ProbeTextureName();
    EXPECT_FALSE(LoadTexture(c.Name, slot, false));
    ExpectNoNameBetween(before, ProbeTextureName());
    EXPECT_EQ(slot, 12u);
    ExpectOneMessage(c.Text, "BMP Unit");
  }
}

}  // namespace
}  // namespace testsupport
