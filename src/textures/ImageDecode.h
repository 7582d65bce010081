#pragma once
// Image decoding apart from the upload: each format turns the bytes of a whole file into a CPU
// image or an error value, without any GL call, so that loaders, tests, benchmarks and fuzzers
// share one decoder per format. The loaders map the error values to their own messages.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace textures {

// The two layouts of a decoded image, numbered as the GL numbers them (GL_RGB, GL_RGBA), so that
// the upload (gl/Textures.h) hands them on as they are while no decoder needs a GL header.
inline constexpr std::uint16_t kRGB = 0x1907;   // 3 bytes per pixel
inline constexpr std::uint16_t kRGBA = 0x1908;  // 4 bytes per pixel

// A tightly packed RGB or RGBA image whose first row becomes the texture's t = 0 row.
struct TImage {
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::uint16_t Format = kRGB;  // kRGB or kRGBA
  std::vector<std::uint8_t> Pixels;
};

// Decoders refuse pictures of more pixels than this before allocating anything. The loaders use
// no limit of their own (every format's dimensions fit 16 bits); fuzzers pass a small one.
inline constexpr std::size_t kNoPixelLimit = std::numeric_limits<std::size_t>::max();

// The largest side of a picture the program ever decodes, whatever the GL could take: a picture
// of 8192 x 8192 is 256 MB as RGBA, before its mipmaps. Real level images are at most 2048 on a
// side. The loaders use the smaller of this and the GL's largest texture (LargestTextureSide in
// gl/Textures.h); the decoders take the limit as a parameter and check it from the header,
// before anything is allocated or decoded. Without one they accept every 16-bit size.
inline constexpr std::uint32_t kLargestImageSide = 8192;
inline constexpr std::uint32_t kNoSideLimit = 65535;

// Whether a width x height picture of `channels` bytes per pixel fits both the caller's pixel
// limit and a size_t byte count (it always does with 64-bit sizes; not so with 32-bit ones).
inline bool FitsInMemory(std::uint64_t width, std::uint64_t height, std::uint64_t channels,
                         std::size_t maxPixels) {
  const std::uint64_t pixels = width * height;  // at most 65535 x 65535: no overflow in 64 bits
  return pixels <= maxPixels && pixels * channels <= std::numeric_limits<std::size_t>::max();
}

template <class TError>
struct TDecoded {
  TError Error = TError::None;
  TImage Image;  // meaningful only when Error is None; after TooLarge, Width and Height hold the
                 // sides the header claims (at most 65535), to tell a side limit from a pixel one
  bool Ok() const { return Error == TError::None; }
};

// --- TGA: uncompressed (type 2) or run-length encoded (type 10) true colour, 24 or 32 bits; with
// greyscale, also 8-bit grey (types 3 and 11), decoded as RGB ---

enum class TTGAError {
  None,
  ShortHeader,    // fewer than 18 bytes
  NotTrueColour,  // image type neither 2 nor 10 (nor 3 or 11 with greyscale; checked first)
  ColourMapped,   // colour map type not 0
  BadDepth,       // pixel depth neither 24 nor 32 (not 8 for a grey image)
  ShortData,      // pixel data or run-length packets end before width x height pixels
  TooLarge,       // more pixels than the caller's limit (or than memory can address)
};

// Rows stay in stored order (the origin bits are not consulted); blue-green-red(-alpha) becomes
// red-green-blue(-alpha). The image ID field (length in byte 0) is skipped.
TDecoded<TTGAError> DecodeTGA(std::span<const std::uint8_t> bytes,
                              std::size_t maxPixels = kNoPixelLimit,
                              std::uint32_t maxSide = kNoSideLimit, bool greyscale = false);

// --- BMP: Windows bitmap with 24-bit blue-green-red pixels, rows padded to 4 bytes ---

enum class TBMPError {
  None,
  ShortHeader,   // fewer than the 14 + 40 header bytes
  ShortPalette,  // the colour table (4 x biClrUsed bytes) runs past the end
  ShortData,     // the pixel data (biSizeImage, or computed) runs past the end
  TopDown,       // negative biHeight
  BadSize,       // negative width, or a width or height above 65535
  DataTooSmall,  // declared pixel data smaller than height rows of 3 x width bytes (padded)
  TooLarge,      // more pixels than the caller's limit, or a side above the caller's largest
};

// The first stored row becomes row 0 (the picture's bottom row for the usual positive height).
TDecoded<TBMPError> DecodeBMP(std::span<const std::uint8_t> bytes,
                              std::size_t maxPixels = kNoPixelLimit,
                              std::uint32_t maxSide = kNoSideLimit);

// --- JPEG through libjpeg: full size, float IDCT, block smoothing; RGBA with alpha 255 ---

enum class TJPEGError {
  None,
  Header,            // not a JPEG picture, or the header could not be read
  UnsupportedColour, // CMYK or YCCK: refused rather than misread
  TooLarge,          // more pixels than the caller's limit, or a side above the caller's largest
  TooLittleData,     // fewer bytes than one per eight 8 x 8 blocks of the picture claimed
  TooManyScans,      // more than kMostJPEGScans scans
  Decode,            // a library error after the header; LibraryCode holds its message code
};

struct TJPEGDecoded : TDecoded<TJPEGError> {
  int LibraryCode = 0;
};

// The scans a progressive picture may have (the usual scripts write about ten): each scan walks
// every block of the picture, so a few bytes per scan must not buy unbounded work.
inline constexpr int kMostJPEGScans = 100;

// Buffer row y holds decoded row height - 1 - y: the picture's bottom row comes first.
// Library warnings (corrupt or truncated data) are ignored and the rows produced are kept.
TJPEGDecoded DecodeJPEG(std::span<const std::uint8_t> bytes, std::size_t maxPixels = kNoPixelLimit,
                        std::uint32_t maxSide = kNoSideLimit);

// --- PNG through libpng: every colour type and bit depth, as 8-bit RGB, or RGBA when the picture
// has transparency ---

enum class TPNGError {
  None,
  Header,         // not a PNG picture, or its header could not be read
  TooLarge,       // more pixels than the caller's limit, or a side above the caller's largest
  TooLittleData,  // fewer bytes than the least the claimed size can be compressed into
  Decode,         // the data ends early or is damaged; Message holds libpng's text
};

struct TPNGDecoded : TDecoded<TPNGError> {
  std::string Message;
};

// Buffer row y holds picture row height - 1 - y: the picture's bottom row comes first, as with
// DecodeJPEG. A gamma the file states is converted to the usual one (sRGB).
TPNGDecoded DecodePNG(std::span<const std::uint8_t> bytes, std::size_t maxPixels = kNoPixelLimit,
                      std::uint32_t maxSide = kNoSideLimit);

}  // namespace textures
