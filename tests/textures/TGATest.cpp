// TGA: decoding of stored and run-length data, and the loader's messages and exceptions.
#include <GL/gl.h>

#include "TextureTestSupport.h"
#include "gl/Textures.h"
#include "platform/ByteReader.h"
#include "textures/ImageDecode.h"
#include "textures/PixelBudget.h"

namespace testsupport {
namespace {

using testsupport::MakeTGA;
using testsupport::TGAHeader;
using testsupport::TTGAOptions;
using textures::DecodeTGA;
using textures::TTGAError;

// Stored (blue, green, red) pixels of a w x h picture where every pixel differs.
TBytes Gradient(int w, int h, int bytesPerPixel) {
  TBytes out;
  for (int i = 0; i < w * h; ++i)
    for (int c = 0; c < bytesPerPixel; ++c) out.push_back(static_cast<std::uint8_t>(i * 7 + c * 50 + 1));
  return out;
}

// The same pixels with the first and third byte of each exchanged.
TBytes Swapped(TBytes pixels, int bytesPerPixel) {
  for (std::size_t i = 0; i + 2 < pixels.size(); i += static_cast<std::size_t>(bytesPerPixel))
    std::swap(pixels[i], pixels[i + 2]);
  return pixels;
}

TBytes Concat(TBytes a, const TBytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(TGADecodeTest, StoredPixelsBecomeRGBAndRGBAInStoredRowOrder) {
  const TBytes bgra = Gradient(3, 2, 4);
  auto decoded = DecodeTGA(MakeTGA(3, 2, bgra, {.Depth = 32}));
  ASSERT_TRUE(decoded.Ok());
  EXPECT_EQ(decoded.Image.Format, GL_RGBA);
  EXPECT_EQ(decoded.Image.Width, 3);
  EXPECT_EQ(decoded.Image.Height, 2);
  EXPECT_EQ(decoded.Image.Pixels, Swapped(bgra, 4));  // alpha passes through

  const TBytes bgr = Gradient(5, 3, 3);
  decoded = DecodeTGA(MakeTGA(5, 3, bgr));
  ASSERT_TRUE(decoded.Ok());
  EXPECT_EQ(decoded.Image.Format, GL_RGB);
  EXPECT_EQ(decoded.Image.Pixels, Swapped(bgr, 3));
  // The origin bits are not consulted: a top-left image keeps its stored row order.
  EXPECT_EQ(DecodeTGA(MakeTGA(5, 3, bgr, {.Descriptor = 0x20})).Image.Pixels, decoded.Image.Pixels);
}

TEST(TGADecodeTest, RunLengthGivesTheSamePixelsAsStored) {
  for (int depth : {24, 32}) {
    const int b = depth / 8;
    // Runs that cross row ends, raw stretches, and a run longer than 128 pixels.
    TBytes pixels;
    for (int i = 0; i < 7 * 40; ++i) {
      const int v = i < 150 ? 9 : (i < 200 ? i : i / 5);
      for (int c = 0; c < b; ++c) pixels.push_back(static_cast<std::uint8_t>(v + c));
    }
    const auto stored = DecodeTGA(MakeTGA(7, 40, pixels, {.Depth = static_cast<std::uint8_t>(depth)}));
    const TBytes rleFile = MakeTGA(7, 40, pixels, {.ImageType = 10, .Depth = static_cast<std::uint8_t>(depth)});
    ASSERT_LT(rleFile.size(), 18 + pixels.size());
    const auto rle = DecodeTGA(rleFile);
    ASSERT_TRUE(stored.Ok());
    ASSERT_TRUE(rle.Ok());
    EXPECT_EQ(rle.Image.Pixels, stored.Image.Pixels) << depth;
    EXPECT_EQ(rle.Image.Format, stored.Image.Format);
  }
}

TEST(TGADecodeTest, PacketHeaderLimits) {
  const TBytes header = TGAHeader(16, 17, {.ImageType = 10});
  // 128: one pixel; 255: 128 pixels; 0: one raw pixel; 127: 128 raw pixels;
  // then a run of 13 that starts inside row 15 and ends the picture (16 x 17 = 272 = 1+128+1+128+14).
  TBytes packets = {128, 1, 2, 3, 255, 4, 5, 6, 0, 7, 8, 9, 127};
  for (int i = 0; i < 128; ++i) packets.insert(packets.end(), {static_cast<std::uint8_t>(i), 10, 11});
  packets.insert(packets.end(), {128 + 13, 20, 21, 22});
  const auto decoded = DecodeTGA(Concat(header, packets));
  ASSERT_TRUE(decoded.Ok());
  const TBytes& p = decoded.Image.Pixels;
  ASSERT_EQ(p.size(), 16u * 17 * 3);
  auto pixel = [&](std::size_t n) { return TBytes(p.begin() + 3 * n, p.begin() + 3 * n + 3); };
  EXPECT_EQ(pixel(0), (TBytes{3, 2, 1}));
  for (std::size_t n = 1; n <= 128; ++n) EXPECT_EQ(pixel(n), (TBytes{6, 5, 4})) << n;
  EXPECT_EQ(pixel(129), (TBytes{9, 8, 7}));
  for (std::size_t n = 0; n < 128; ++n) EXPECT_EQ(pixel(130 + n), (TBytes{11, 10, static_cast<std::uint8_t>(n)})) << n;
  for (std::size_t n = 258; n < 272; ++n) EXPECT_EQ(pixel(n), (TBytes{22, 21, 20})) << n;
}

TEST(TGADecodeTest, PacketsReachingPastTheLastPixelAreCut) {
  // A run of 128 and a raw packet of 128 (only 2 of whose pixels are present) for 2 x 1 pixels.
  auto decoded = DecodeTGA(Concat(TGAHeader(2, 1, {.ImageType = 10}), {255, 1, 2, 3}));
  ASSERT_TRUE(decoded.Ok());
  EXPECT_EQ(decoded.Image.Pixels, (TBytes{3, 2, 1, 3, 2, 1}));
  decoded = DecodeTGA(Concat(TGAHeader(2, 1, {.ImageType = 10}), {127, 1, 2, 3, 4, 5, 6}));
  ASSERT_TRUE(decoded.Ok());
  EXPECT_EQ(decoded.Image.Pixels, (TBytes{3, 2, 1, 6, 5, 4}));
}

TEST(TGADecodeTest, RunLengthDataEndingEarlyIsRefused) {
  const TBytes header = TGAHeader(4, 1, {.ImageType = 10});
  EXPECT_EQ(DecodeTGA(header).Error, TTGAError::ShortData);                          // no packet
  EXPECT_EQ(DecodeTGA(Concat(header, {129, 1, 2, 3})).Error, TTGAError::ShortData);  // 2 of 4
  EXPECT_EQ(DecodeTGA(Concat(header, {131, 1, 2})).Error, TTGAError::ShortData);     // pixel cut
  EXPECT_EQ(DecodeTGA(Concat(header, {3, 1, 2, 3, 4, 5, 6, 7})).Error, TTGAError::ShortData);
  // A header promising 65535 x 65535 pixels over a few bytes is refused before any allocation.
  EXPECT_EQ(DecodeTGA(Concat(TGAHeader(65535, 65535, {.ImageType = 10, .Depth = 32}), {255, 1, 2, 3, 4}))
                .Error,
            TTGAError::ShortData);
}

TEST(TGADecodeTest, HeaderChecksInTheirOrder) {
  EXPECT_EQ(DecodeTGA(TBytes(17, 0)).Error, TTGAError::ShortHeader);
  EXPECT_EQ(DecodeTGA(MakeTGA(1, 1, {1, 2, 3}, {.ImageType = 1, .ColourMapType = 1})).Error,
            TTGAError::NotTrueColour);
  EXPECT_EQ(DecodeTGA(MakeTGA(1, 1, {1, 2, 3}, {.ImageType = 3, .Depth = 16})).Error,
            TTGAError::NotTrueColour);
  EXPECT_EQ(DecodeTGA(MakeTGA(1, 1, {1, 2, 3}, {.ColourMapType = 1, .Depth = 16})).Error,
            TTGAError::ColourMapped);
  EXPECT_EQ(DecodeTGA(MakeTGA(1, 1, {1, 2}, {.Depth = 16})).Error, TTGAError::BadDepth);
  EXPECT_EQ(DecodeTGA(MakeTGA(1, 1, {1, 2, 3}, {.Depth = 8})).Error, TTGAError::BadDepth);
  EXPECT_EQ(DecodeTGA(MakeTGA(2, 2, TBytes(11, 0))).Error, TTGAError::ShortData);
  EXPECT_EQ(DecodeTGA(MakeTGA(300, 300, TBytes(0)), 1000).Error, TTGAError::TooLarge);
}

// 8-bit grey, stored (3) and run-length encoded (11), becomes RGB when the caller accepts it; the
// design's loader refuses it by its type, and a grey image of another depth by its depth.
TEST(TGADecodeTest, GreyscaleOnlyWhenAccepted) {
  const TBytes grey{0, 7, 7, 7, 200, 255};
  const TBytes rgb{0, 0, 0, 7, 7, 7, 7, 7, 7, 7, 7, 7, 200, 200, 200, 255, 255, 255};
  for (const std::uint8_t type : {3, 11}) {
    const TBytes file = MakeTGA(3, 2, grey, {.ImageType = type, .Depth = 8});
    EXPECT_EQ(DecodeTGA(file).Error, TTGAError::NotTrueColour);
    const auto decoded = DecodeTGA(file, textures::kNoPixelLimit, textures::kNoSideLimit, true);
    ASSERT_TRUE(decoded.Ok()) << int{type};
    EXPECT_EQ(decoded.Image.Format, GL_RGB);
    EXPECT_EQ(decoded.Image.Pixels, rgb);
    const TBytes cut(file.begin(), file.end() - 1);
    EXPECT_EQ(DecodeTGA(cut, textures::kNoPixelLimit, textures::kNoSideLimit, true).Error, TTGAError::ShortData);
  }
  EXPECT_EQ(DecodeTGA(MakeTGA(1, 1, {1, 2}, {.ImageType = 3, .Depth = 16}), textures::kNoPixelLimit,
                      textures::kNoSideLimit, true).Error, TTGAError::BadDepth);
  EXPECT_EQ(DecodeTGA(MakeTGA(1, 1, {1}, {.ImageType = 3, .ColourMapType = 1, .Depth = 8}), textures::kNoPixelLimit,
                      textures::kNoSideLimit, true).Error, TTGAError::ColourMapped);
}

TEST(TGADecodeTest, TheImageIdIsSkipped) {
  const auto decoded = DecodeTGA(MakeTGA(1, 1, {1, 2, 3}, {.ImageId = {'h', 'i', '!'}}));
  ASSERT_TRUE(decoded.Ok());
  EXPECT_EQ(decoded.Image.Pixels, (TBytes{3, 2, 1}));
  EXPECT_EQ(DecodeTGA(TGAHeader(1, 1, {.ImageId = {'x', 'y'}})).Error, TTGAError::ShortData);
}

class TGALoadTest : public TTextureTest {};

TEST_F(TGALoadTest, UploadsStoredRowsWithChannelsAndAlpha) {
  const TBytes bgra = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160};
  Write("font.tga", MakeTGA(2, 2, bgra, {.Depth = 32}));
  GLuint slot = 0;
  ASSERT_TRUE(LoadTexture("font.tga", slot, false));
  const TTexel texel = ReadTexture(slot, GL_RGBA);
  EXPECT_EQ(texel.Width, 2);
  EXPECT_EQ(texel.Height, 2);
  EXPECT_EQ(texel.InternalFormat, GL_RGBA);
  EXPECT_EQ(texel.Pixels, (TBytes{30, 20, 10, 40, 70, 60, 50, 80, 110, 100, 90, 120, 150, 140, 130, 160}));

  // 24 bits, 2 pixels wide (6-byte rows), stored and run-length encoded: the same texels.
  const TBytes bgr = {1, 2, 3, 1, 2, 3, 7, 8, 9, 10, 11, 12};
  Write("a.tga", MakeTGA(2, 2, bgr));
  Write("b.tga", MakeTGA(2, 2, bgr, {.ImageType = 10}));
  GLuint a = 0, b = 0;
  ASSERT_TRUE(LoadTexture("a.tga", a, false));
  ASSERT_TRUE(LoadTexture("b.tga", b, false));
  const TBytes expected = {3, 2, 1, 3, 2, 1, 9, 8, 7, 12, 11, 10};
  EXPECT_EQ(ReadTexture(a, GL_RGB).Pixels, expected);
  EXPECT_EQ(ReadTexture(b, GL_RGB).Pixels, expected);
  GLint alphaBits = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaBits);
  EXPECT_EQ(alphaBits, 0);
  EXPECT_TRUE(Messages->Messages().empty());
}

TEST_F(TGALoadTest, EveryRefusalMessage) {
  Write("type1.tga", MakeTGA(1, 1, {1, 2, 3}, {.ImageType = 1, .ColourMapType = 1}));
  Write("mapped.tga", MakeTGA(1, 1, {1, 2, 3}, {.ColourMapType = 1}));
  Write("16bit.tga", MakeTGA(1, 1, {1, 2}, {.Depth = 16}));
  Write("cut.tga", MakeTGA(4, 4, TBytes(47, 1)));
  Write("cutrle.tga", Concat(TGAHeader(4, 4, {.ImageType = 10}), {129, 1, 2, 3}));
  const struct {
    std::string Name, Text, Caption;
  } cases[] = {
      {"font.tga", "File not found  - font.tga", "TGA Texture"},
      {"type1.tga", "Couldn't load \"type1.tga\". Only 24 and 32bit TGA supported.", "TGA File Error"},
      {"mapped.tga", "Couldn't load \"mapped.tga\". Colormapped TGA files not supported.", "TGA File Error"},
      {"16bit.tga", "Couldn't load \"16bit.tga\". Only 24 and 32 bit TGA files supported.", "TGA File Error"},
      {"cut.tga", "Couldn't read file \"cut.tga\".", "TGA File Error"},
      {"cutrle.tga", "Couldn't read file \"cutrle.tga\".", "TGA File Error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ResetMessages();
    GLuint slot = 0;
    const GLuint before = ProbeTextureName();
    EXPECT_FALSE(LoadTexture(c.Name, slot, false));
    ExpectNoNameBetween(before, ProbeTextureName());
    EXPECT_EQ(slot, 0u);
    ExpectOneMessage(c.Text, c.Caption);
  }
}

// The run's budget of decoded pixels at its edge: a picture that fits is charged, the next one is
// refused from its header without a message of the loader's, and the budget's warning names it.
TEST_F(TGALoadTest, ThePixelBudgetRefusesFromTheHeaderAndNamesWhatItLeftOut) {
  Write("a.tga", MakeTGA(16, 16, TBytes(16 * 16 * 4, 9), {.Depth = 32}));
  Write("b.tga", MakeTGA(1, 1, {1, 2, 3}));
  platform::TBudgetLimits limits;
  limits.PixelBytes = 16 * 16 * 4;
  platform::TBudget budget(limits);
  const textures::TScopedPixelBudget scope(&budget);
  GLuint a = 0, b = 0;
  EXPECT_TRUE(LoadTexture("a.tga", a, false));
  EXPECT_EQ(budget.Left(platform::TBudgetKind::Pixels), 0u);
  EXPECT_FALSE(LoadTexture("b.tga", b, false));
  EXPECT_TRUE(Messages->Messages().empty());
  EXPECT_EQ(budget.TakeWarnings(),
            std::vector<std::string>{"the budget of 1,024 bytes of decoded pixels is spent; left out: b.tga"});
}

TEST_F(TGALoadTest, AFileEndingInsideItsHeaderRaisesTheFileError) {
  Write("short.tga", TBytes(17, 0));
  GLuint slot = 9;
  const GLuint before = ProbeTextureName();
  try {
    LoadTexture("short.tga", slot, false);
    ADD_FAILURE() << "no exception";
  } catch (const platform::EInOutError& error) {
    EXPECT_STREQ(error.what(), "Read beyond end of file");
  }
  ExpectNoNameBetween(before, ProbeTextureName());
  EXPECT_EQ(slot, 9u);
  EXPECT_TRUE(Messages->Messages().empty());
}

TEST_F(TGALoadTest, AnEmptyPictureStillMakesATexture) {
  Write("empty.tga", MakeTGA(0, 5, {}));
  Write("emptyrle.tga", MakeTGA(7, 0, {}, {.ImageType = 10}));
  for (const std::string name : {"empty.tga", "emptyrle.tga"}) {
    GLuint slot = 0;
    EXPECT_TRUE(LoadTexture(name, slot, false)) << name;
    EXPECT_NE(slot, 0u);
    EXPECT_TRUE(glIsTexture(slot));
  }
  EXPECT_TRUE(Messages->Messages().empty());
  while (glGetError() != GL_NO_ERROR) {
  }
}

}  // namespace
}  // namespace testsupport
