// JPEG decoding through libjpeg's IJG interface, from a picture already in memory.
#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "textures/ImageDecode.h"

namespace textures {
namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return. The library is C,
// so no C++ exception may cross it: error_exit jumps back to RunDecoder, whose own frame holds
// nothing with a destructor; every C++ object it touches lives in the caller's frame.
struct TErrorManager {
  jpeg_error_mgr Base;
  std::jmp_buf Jump;
  bool TooManyScans = false;  // set by the progress monitor before it jumps back
};

void ErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<TErrorManager*>(info->err)->Jump, 1);
}

// Called while the scans of a progressive picture are read: one that goes on past the scans any
// encoder writes is abandoned, through the same jump as a library error.
void CountScans(j_common_ptr info) {
  const auto* decompressor = reinterpret_cast<j_decompress_ptr>(info);
  if (decompressor->input_scan_number <= kMostJPEGScans) return;
  auto* errors = reinterpret_cast<TErrorManager*>(info->err);
  errors->TooManyScans = true;
  std::longjmp(errors->Jump, 1);
}

// Warnings (corrupt or truncated entropy data, a missing end marker) are not reasons to refuse a
// picture: the library fills what it could not decode and carries on.
void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}

// Destroys the decompressor on every path; harmless on one that was never created (zero-filled).
struct TDecompressor {
  jpeg_decompress_struct Info{};
  ~TDecompressor() { jpeg_destroy_decompress(&Info); }
};

void RunDecoder(jpeg_decompress_struct* info, TErrorManager* errors,
                std::span<const std::uint8_t> bytes, std::size_t maxPixels, std::uint32_t maxSide,
                jpeg_progress_mgr* progress, TJPEGDecoded* result) {
  volatile bool headerRead = false;
  if (setjmp(errors->Jump)) {
    result->Error = errors->TooManyScans ? TJPEGError::TooManyScans
                    : headerRead         ? TJPEGError::Decode
                                         : TJPEGError::Header;
    result->LibraryCode = errors->Base.msg_code;
    return;
  }
  jpeg_create_decompress(info);
  // An empty span makes jpeg_mem_src raise "empty input", reported as a header failure.
  jpeg_mem_src(info, const_cast<unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(info, TRUE);
  if (info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK) {
    result->Error = TJPEGError::UnsupportedColour;
    return;
  }
  if (info->image_width > maxSide || info->image_height > maxSide ||
      !FitsInMemory(info->image_width, info->image_height, 4, maxPixels)) {
    result->Error = TJPEGError::TooLarge;
    result->Image.Width = static_cast<std::uint16_t>(std::min<JDIMENSION>(info->image_width, 65535));
    result->Image.Height = static_cast<std::uint16_t>(std::min<JDIMENSION>(info->image_height, 65535));
    return;
  }
  // Every 8 x 8 block costs at least one bit of entropy-coded data in any complete picture (a
  // code for its DC value); a header that claims far more blocks than that is refused before the
  // decoder allocates and fills a picture out of nothing. Real pictures use dozens of bits.
  const std::uint64_t blocks = (std::uint64_t{info->image_width} + 7) / 8 *
                               ((std::uint64_t{info->image_height} + 7) / 8);
  if (blocks > 8 * std::uint64_t{bytes.size()}) {
    result->Error = TJPEGError::TooLittleData;
    return;
  }
  headerRead = true;
  info->progress = progress;

  info->scale_num = 1;
  info->scale_denom = 1;
  info->dct_method = JDCT_FLOAT;
  info->do_block_smoothing = TRUE;
  // Greyscale pictures come out with red = green = blue.
  info->out_color_space = JCS_RGB;
  jpeg_start_decompress(info);

  const std::size_t width = info->output_width;
  const std::size_t height = info->output_height;
  TImage& image = result->Image;
  image.Width = static_cast<std::uint16_t>(width);
  image.Height = static_cast<std::uint16_t>(height);
  image.Format = kRGBA;
  image.Pixels.resize(width * height * 4);
  while (info->output_scanline < info->output_height) {
    // The picture's bottom row becomes buffer row 0. Each row is decoded as RGB into the start
    // of its own RGBA row and widened in place from the right, where nothing unread is overwritten.
    std::uint8_t* row = image.Pixels.data() + (height - 1 - info->output_scanline) * width * 4;
    JSAMPROW rows[1] = {row};
    if (jpeg_read_scanlines(info, rows, 1) != 1) break;
    for (std::size_t x = width; x-- > 0;) {
      const std::uint8_t r = row[3 * x], g = row[3 * x + 1], b = row[3 * x + 2];
      row[4 * x] = r;
      row[4 * x + 1] = g;
      row[4 * x + 2] = b;
      row[4 * x + 3] = 255;
    }
  }
  jpeg_finish_decompress(info);
}

}  // namespace

TJPEGDecoded DecodeJPEG(std::span<const std::uint8_t> bytes, std::size_t maxPixels,
                        std::uint32_t maxSide) {
  TJPEGDecoded result;
  TErrorManager errors{};
  TDecompressor decompressor;
  decompressor.Info.err = jpeg_std_error(&errors.Base);
  errors.Base.error_exit = ErrorExit;
  errors.Base.emit_message = IgnoreMessage;
  errors.Base.output_message = IgnoreOutput;
  jpeg_progress_mgr progress{};
  progress.progress_monitor = CountScans;
  RunDecoder(&decompressor.Info, &errors, bytes, maxPixels, maxSide, &progress, &result);
  // A refused picture holds no pixels; one refused for its size keeps the sides it claimed.
  if (!result.Ok()) result.Image = result.Error == TJPEGError::TooLarge
                                       ? TImage{result.Image.Width, result.Image.Height, kRGB, {}}
                                       : TImage{};
  return result;
}

}  // namespace textures
