#pragma once
// Small writers of synthetic image files for the loader tests: TGA (stored or run-length encoded),
// 24-bit BMP, JPEG (through libjpeg) and PNG (through libpng). Pixels are given in the byte order the file stores.
#include <cstdint>
#include <vector>

namespace testsupport {

using TBytes = std::vector<std::uint8_t>;

struct TTGAOptions {
  std::uint8_t ImageType = 2;  // 2 stored, 10 run-length encoded (3 and 11: the same, grey)
  std::uint8_t ColourMapType = 0;
  std::uint8_t Depth = 24;
  std::uint8_t Descriptor = 0;  // bit 5 set: top-left origin
  TBytes ImageId = {};          // written after the header; its length goes into byte 0
};

// An 18-byte header for width x height, followed by the image ID.
TBytes TGAHeader(int width, int height, const TTGAOptions& options);

// A whole TGA file. `pixels` holds width x height stored pixels (blue, green, red[, alpha]).
// Type 10 packs them greedily into run packets (repeats) and raw packets (up to 128 each).
TBytes MakeTGA(int width, int height, const TBytes& pixels, const TTGAOptions& options = {});

struct TBMPOptions {
  std::uint32_t ColoursUsed = 0;     // that many 4-byte colour-table entries are written
  std::uint32_t SizeImageField = 0;  // biSizeImage as written
  std::uint16_t BitCount = 24;
  bool PadRows = true;               // rows padded to 4 bytes, as the format stores them
};

// A whole BMP file whose `rows` (width x 3 bytes each, blue-green-red) are stored in the order
// given, each padded to 4 bytes unless PadRows is false.
TBytes MakeBMP(int width, int height, const TBytes& pixels, const TBMPOptions& options = {});

// A baseline (or progressive) JPEG of top-to-bottom rows: 3 components RGB, or 1 greyscale.
TBytes MakeJPEG(int width, int height, int components, const TBytes& pixels, int quality = 95,
                bool progressive = false);

// A JPEG with four components stored as CMYK (Adobe marker written by libjpeg).
TBytes MakeCMYKJPEG(int width, int height, const TBytes& pixels);

// A JPEG of `components` channels in no named colour space (libjpeg's JCS_UNKNOWN).
TBytes MakeUnknownColourJPEG(int width, int height, int components, const TBytes& pixels);

// The JPEG with its frame header rewritten to claim width x height (the data is left as it was).
TBytes WithJPEGSize(TBytes jpeg, int width, int height);

// A PNG of top-to-bottom rows: 1 (grey), 3 (RGB) or 4 (RGBA) channels of 8 bits.
TBytes MakePNG(int width, int height, int channels, const TBytes& pixels);

}  // namespace testsupport
