// What a picture may cost: sides checked against the caller's limit from the header, JPEG headers
// that claim more blocks than their data can hold, and progressive pictures of endless scans.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "TextureTestSupport.h"
#include "textures/ImageDecode.h"
#include "textures/Textures.h"

namespace texturetest {
namespace {

using testsupport::MakeBMP;
using testsupport::MakeJPEG;
using testsupport::MakeTGA;
using namespace textures;

// The width and height of a JPEG's frame header rewritten (the data still holds the old picture).
TBytes WithJPEGSize(TBytes file, int width, int height) {
  for (std::size_t i = 0; i + 9 < file.size(); ++i)
    if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) {
      file[i + 5] = static_cast<std::uint8_t>(height >> 8);
      file[i + 6] = static_cast<std::uint8_t>(height);
      file[i + 7] = static_cast<std::uint8_t>(width >> 8);
      file[i + 8] = static_cast<std::uint8_t>(width);
      return file;
    }
  ADD_FAILURE() << "no frame header";
  return file;
}

TBytes Grey(std::size_t count) { return TBytes(count, 128); }

TEST(ImageLimits, EachDecoderTakesSidesUpToTheLimitAndRefusesOneMore) {
  constexpr std::uint32_t kSide = 16;
  const std::pair<int, int> sizes[] = {{16, 3}, {3, 16}, {17, 3}, {3, 17}};
  for (const auto& [w, h] : sizes) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    const bool fits = w <= 16 && h <= 16;
    const std::size_t n = static_cast<std::size_t>(w * h);
    EXPECT_EQ(DecodeTGA(MakeTGA(w, h, Grey(n * 3)), kNoPixelLimit, kSide).Error,
              fits ? TTGAError::None : TTGAError::TooLarge);
    EXPECT_EQ(DecodeTGA(MakeTGA(w, h, Grey(n * 3), {.ImageType = 10}), kNoPixelLimit, kSide).Error,
              fits ? TTGAError::None : TTGAError::TooLarge);
    EXPECT_EQ(DecodeBMP(MakeBMP(w, h, Grey(n * 3)), kNoPixelLimit, kSide).Error,
              fits ? TBMPError::None : TBMPError::TooLarge);
    EXPECT_EQ(DecodeJPEG(MakeJPEG(w, h, 3, Grey(n * 3)), kNoPixelLimit, kSide).Error,
              fits ? TJPEGError::None : TJPEGError::TooLarge);
  }
}

TEST(ImageLimits, AJPEGHeaderClaimingMoreBlocksThanItsDataIsRefused) {
  const TBytes small = MakeJPEG(16, 16, 3, Grey(16 * 16 * 3));
  // 8 blocks for each byte of the file at most: the bound on both sides.
  const int side = 8 * static_cast<int>(std::sqrt(8.0 * static_cast<double>(small.size())));
  const auto atBound = DecodeJPEG(WithJPEGSize(small, side, side));
  EXPECT_NE(atBound.Error, TJPEGError::TooLittleData);
  EXPECT_EQ(DecodeJPEG(WithJPEGSize(small, side + 64, side + 64)).Error, TJPEGError::TooLittleData);
  // The case reported: a small file claiming 65,500 x 65,500; and the largest side accepted.
  EXPECT_EQ(DecodeJPEG(WithJPEGSize(small, 65500, 65500), kNoPixelLimit, kLargestImageSide).Error,
            TJPEGError::TooLarge);
  EXPECT_EQ(DecodeJPEG(WithJPEGSize(small, 8192, 8192)).Error, TJPEGError::TooLittleData);
}

TEST(ImageLimits, AProgressiveJPEGOfEndlessScansIsAbandoned) {
  TBytes file = MakeJPEG(16, 16, 3, Grey(16 * 16 * 3), 90, true);
  // The last scan repeated until the picture has more scans than any encoder writes.
  std::size_t lastScan = 0;
  for (std::size_t i = 0; i + 1 < file.size(); ++i)
    if (file[i] == 0xFF && file[i + 1] == 0xDA) lastScan = i;
  ASSERT_GT(lastScan, 0u);
  const TBytes scan(file.begin() + static_cast<std::ptrdiff_t>(lastScan), file.end() - 2);
  TBytes endless(file.begin(), file.end() - 2);
  for (int copy = 0; copy < kMostJPEGScans; ++copy) endless.insert(endless.end(), scan.begin(), scan.end());
  endless.insert(endless.end(), {0xFF, 0xD9});
  EXPECT_TRUE(DecodeJPEG(file).Ok());
  EXPECT_EQ(DecodeJPEG(endless).Error, TJPEGError::TooManyScans);
}

class ImageLimitsLoad : public TTextureTest {};

TEST_F(ImageLimitsLoad, OversizedPicturesAreRefusedWithTheLoadersMessages) {
  GLint glLargest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &glLargest);
  const std::uint32_t largest = LargestTextureSide();
  EXPECT_EQ(largest, std::min<std::uint32_t>(static_cast<std::uint32_t>(glLargest), 8192));
  const int over = static_cast<int>(largest) + 1;
  const std::string side = std::to_string(largest);

  TBytes tga = testsupport::TGAHeader(over, 1, {});
  tga.resize(tga.size() + static_cast<std::size_t>(over) * 3);
  Write("wide.tga", tga);
  TBytes bmp = MakeBMP(1, 1, {1, 2, 3});
  bmp[22] = static_cast<std::uint8_t>(over);  // biHeight, little-endian
  bmp[23] = static_cast<std::uint8_t>(over >> 8);
  Write("tall.bmp", bmp);
  Write("huge.jpg", WithJPEGSize(MakeJPEG(8, 8, 3, Grey(64 * 3)), 65500, 65500));
  Write("thin.jpg", WithJPEGSize(MakeJPEG(8, 8, 3, Grey(64 * 3)), 4096, 4096));
  const std::pair<std::string, std::pair<std::string, std::string>> cases[] = {
      {"wide.tga", {"Couldn't load \"wide.tga\". Sides above " + side + " pixels not supported.",
                    "TGA File Error"}},
      {"tall.bmp", {"Bitmap sides above " + side + " pixels not supported", "BMP Unit"}},
      {"huge.jpg", {"Couldn't load JPG - \"huge.jpg\". Sides above " + side + " pixels not supported.",
                    "BMP Unit"}},
      {"thin.jpg", {"Couldn't load JPG - \"thin.jpg\". Too little data for the size it claims.",
                    "BMP Unit"}}};
  for (const auto& [name, message] : cases) {
    SCOPED_TRACE(name);
    ResetMessages();
    GLuint slot = 5;
    const GLuint before = ProbeTextureName();
    EXPECT_FALSE(LoadTexture(name, slot, false));
    ExpectNoNameBetween(before, ProbeTextureName());
    EXPECT_EQ(slot, 5u);
    ExpectOneMessage(message.first, message.second);
  }
}

}  // namespace
}  // namespace texturetest
