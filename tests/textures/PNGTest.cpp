// PNG decoding, and pictures of every format taken with their top row first (lightmap files).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

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

// The rows in the opposite order.
TBytes Flipped(const TBytes& pixels, int w, int h, int channels) {
  TBytes out;
  const std::size_t row = static_cast<std::size_t>(w * channels);
  for (int y = h - 1; y >= 0; --y)
    out.insert(out.end(), pixels.begin() + static_cast<std::ptrdiff_t>(y * row),
               pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
  return out;
}

TEST(PNGDecode, EveryChannelCountAsRGBOrRGBABottomRowFirst) {
  const TBytes rgb = Gradient(5, 3, 3);
  auto decoded = DecodePNG(testsupport::MakePNG(5, 3, 3, rgb));
  ASSERT_TRUE(decoded.Ok()) << decoded.Message;
  EXPECT_EQ(decoded.Image.Format, GL_RGB);
  EXPECT_EQ(decoded.Image.Width, 5);
  EXPECT_EQ(decoded.Image.Height, 3);
  EXPECT_EQ(decoded.Image.Pixels, Flipped(rgb, 5, 3, 3));

  const TBytes rgba = Gradient(3, 2, 4);
  decoded = DecodePNG(testsupport::MakePNG(3, 2, 4, rgba));
  ASSERT_TRUE(decoded.Ok());
  EXPECT_EQ(decoded.Image.Format, GL_RGBA);
  EXPECT_EQ(decoded.Image.Pixels, Flipped(rgba, 3, 2, 4));

  decoded = DecodePNG(testsupport::MakePNG(2, 1, 1, {10, 250}));
  ASSERT_TRUE(decoded.Ok());
  EXPECT_EQ(decoded.Image.Pixels, (TBytes{10, 10, 10, 250, 250, 250}));
}

TEST(PNGDecode, RefusalsBeforeAndAfterTheHeader) {
  const TBytes png = testsupport::MakePNG(64, 64, 3, Gradient(64, 64, 3));
  EXPECT_EQ(DecodePNG({}).Error, TPNGError::Header);
  EXPECT_EQ(DecodePNG(TBytes(png.begin() + 1, png.end())).Error, TPNGError::Header);
  EXPECT_EQ(DecodePNG(png, textures::kNoPixelLimit, 63).Error, TPNGError::TooLarge);
  EXPECT_EQ(DecodePNG(png, 64 * 63).Error, TPNGError::TooLarge);
  EXPECT_TRUE(DecodePNG(png, 64 * 64, 64).Ok());
  const auto truncated = DecodePNG(TBytes(png.begin(), png.end() - 20));
  EXPECT_EQ(truncated.Error, TPNGError::Decode);
  EXPECT_FALSE(truncated.Message.empty());
  EXPECT_TRUE(truncated.Image.Pixels.empty());
  // The header of a 60000 x 60000 picture with a few bytes of data: refused before inflating.
  TBytes huge = testsupport::MakePNG(1, 1, 3, {1, 2, 3});
  const std::uint8_t side[4] = {0, 0, 0xEA, 0x60};
  std::memcpy(&huge[16], side, 4);
  std::memcpy(&huge[20], side, 4);
  const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, &huge[12], 17));
  const std::uint8_t crcBytes[4] = {static_cast<std::uint8_t>(crc >> 24), static_cast<std::uint8_t>(crc >> 16),
                                    static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)};
  std::memcpy(&huge[29], crcBytes, 4);
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
    EXPECT_GT(picture.Rgb[0], 180) << name;        // top left red
    EXPECT_GT(picture.Rgb[255 * 3 + 2], 180) << name;  // bottom right blue
    if (std::string(name) != "lm.jpg") {
      EXPECT_EQ(picture.Rgb, rgb) << name;
    }
  }
  // RGBA loses its alpha.
  EXPECT_EQ(DecodeTopFirstRGB(testsupport::MakePNG(1, 1, 4, {1, 2, 3, 4}), "a.png", 8).Rgb, (TBytes{1, 2, 3}));
}

TEST(TopFirstPicture, WhatCannotBeHadIsSaid) {
  const TBytes tga = testsupport::LightmapPicture(4, 4, Gradient(4, 4, 3), ".tga");
  const TBytes png = testsupport::MakePNG(4, 4, 3, Gradient(4, 4, 3));
  const std::pair<const char*, TBytes> huge = {"w.tga", testsupport::TGAHeader(30000, 1, {})};
  const std::tuple<const char*, TBytes, std::string> cases[] = {
      {"a.tga", TBytes(tga.begin(), tga.end() - 1), "truncated: the pixels end before the picture does"},
      {"a.tga", TBytes(tga.begin(), tga.begin() + 10), "truncated: shorter than a TGA header"},
      {huge.first, huge.second, "sides above 8192 pixels not supported"},
      {"a.tga", testsupport::TGAHeader(0, 0, {}), "an empty picture"},
      {"a.png", tga, "not a PNG picture (Not a PNG file)"},
      {"a.jpg", png, "not a JPEG picture"},
      {"a.bmp", png, "not a .tga, .png or .jpg file"}};
  for (const auto& [name, bytes, error] : cases) {
    const textures::TTopFirstPicture picture = DecodeTopFirstRGB(bytes, name, 8192);
    EXPECT_EQ(picture.Error, error) << name;
  }
  EXPECT_EQ(DecodeTopFirstRGB(TBytes(png.begin(), png.end() - 20), "a.png", 8192).Error.substr(0, 22),
            "damaged or truncated (");
}

}  // namespace
