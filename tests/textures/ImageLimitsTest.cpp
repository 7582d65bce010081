// What a picture may cost: sides checked against the caller's limit from the header, and JPEG
// headers that claim more blocks than their data can hold. The loaders' messages for them, and
// endless progressive scans, are checked through the program in tests/cli/HostileInputTest.cpp.
#include <cmath>

#include "TextureTestSupport.h"
#include "gl/Textures.h"
#include "textures/ImageDecode.h"

namespace testsupport {
namespace {

using testsupport::MakeBMP;
using testsupport::MakeJPEG;
using testsupport::MakeTGA;
using namespace textures;

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
  const auto atBound = DecodeJPEG(testsupport::WithJPEGSize(small, side, side));
  EXPECT_NE(atBound.Error, TJPEGError::TooLittleData);
  EXPECT_EQ(DecodeJPEG(testsupport::WithJPEGSize(small, side + 64, side + 64)).Error, TJPEGError::TooLittleData);
  // The case reported: a small file claiming 65,500 x 65,500; and the largest side accepted.
  EXPECT_EQ(DecodeJPEG(testsupport::WithJPEGSize(small, 65500, 65500), kNoPixelLimit, kLargestImageSide).Error,
            TJPEGError::TooLarge);
  EXPECT_EQ(DecodeJPEG(testsupport::WithJPEGSize(small, 8192, 8192)).Error, TJPEGError::TooLittleData);
}

}  // namespace
}  // namespace testsupport
