// PNG decoding's refusals, and pictures of every format taken with their top row first (lightmap
// files; the PNG ones through DecodePNG).
#include <gtest/gtest.h>
#include <zlib.h>

#include "support/ImageWriters.h"
#include "support/LightmapFileWriter.h"
#include "textures/ImageDecode.h"
#include "textures/TopFirstPicture.h"

namespace {

using testsupport::TBytes;
using textures::DecodePNG;
using textures::DecodeTopFirstRGB;
using textures::TPNGError;

// A w x h picture of `channels` bytes a pixel where every byte differs from its neighbours.
TBytes Gradient(int w, int h, int channels) {
  TBytes out;
  for (int i = 0; i < w * h * channels; ++i) out.push_back(static_cast<std::uint8_t>(i * 7 + 3));
  return out;
}

TEST(PNGDecode, RefusalsBeforeAndAfterTheHeader) {
  const TBytes png = testsupport::MakePNG(64, 64, 3, Gradient(64, 64, 3));
  EXPECT_EQ(DecodePNG(TBytes(png.begin() + 1, png.end())).Error, TPNGError::Header);
  EXPECT_EQ(DecodePNG(png, textures::kNoPixelLimit, 63).Error, TPNGError::TooLarge);
  EXPECT_TRUE(DecodePNG(png, 64 * 64, 64).Ok());
  const auto truncated = DecodePNG(TBytes(png.begin(), png.end() - 20));
  EXPECT_EQ(truncated.Error, TPNGError::Decode);
  EXPECT_TRUE(truncated.Image.Pixels.empty());
  // The header of a 60000 x 60000 picture with a few bytes of data: refused before inflating.
  TBytes huge = testsupport::MakePNG(1, 1, 3, {1, 2, 3});
  for (const int at : {16, 20}) huge[at + 2] = 0xEA, huge[at + 3] = 0x60;
  const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, &huge[12], 17));
  for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
  EXPECT_EQ(DecodePNG(huge).Error, TPNGError::TooLittleData);
}

TEST(TopFirstPicture, EveryFormatGivesThePictureTopRowFirst) {
  // 16 x 16: the top half red, the bottom half blue, as the picture shows them.
  TBytes rgb, topFirstBgr;
  for (int i = 0; i < 256; ++i) {
    const bool top = i < 128;
    const std::uint8_t shade = static_cast<std::uint8_t>(200 + i % 16);
    const TBytes pixel = top ? TBytes{shade, 10, 10} : TBytes{10, 10, shade};
    rgb.insert(rgb.end(), pixel.begin(), pixel.end());
    topFirstBgr.insert(topFirstBgr.end(), {pixel[2], pixel[1], pixel[0]});
  }
  const std::pair<const char*, TBytes> files[] = {
      {"lm.tga", testsupport::LightmapPicture(16, 16, rgb, ".tga")},
      {"lm.TGA", testsupport::MakeTGA(16, 16, topFirstBgr, {.Descriptor = 0x20})},
      {"lm.png", testsupport::LightmapPicture(16, 16, rgb, ".png")},
      {"lm.jpg", testsupport::MakeJPEG(16, 16, 3, rgb, 100)}};
  for (const auto& [name, bytes] : files) {
    const textures::TTopFirstPicture picture = DecodeTopFirstRGB(bytes, name, 8192);
    ASSERT_TRUE(picture.Ok()) << name << ": " << picture.Error;
    ASSERT_EQ(picture.Rgb.size(), rgb.size()) << name;
    if (std::string(name) != "lm.jpg") EXPECT_EQ(picture.Rgb, rgb) << name;
    else EXPECT_TRUE(picture.Rgb[0] > 180 && picture.Rgb[255 * 3 + 2] > 180);  // red top left, blue bottom right
  }
  EXPECT_EQ(DecodeTopFirstRGB(testsupport::MakePNG(1, 1, 4, {1, 2, 3, 4}), "a.png", 8).Rgb, (TBytes{1, 2, 3}));
  EXPECT_EQ(DecodeTopFirstRGB(files[0].second, "a.tga", 15).Error, "sides above 15 pixels not supported");
}

}  // namespace
