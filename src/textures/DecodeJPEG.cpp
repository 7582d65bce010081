// JPEG decoding through libjpeg's IJG interface, from a picture already in memory.
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
};

void ErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<TErrorManager*>(info->err)->Jump, 1);
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
                std::span<const std::uint8_t> bytes, std::size_t maxPixels, TJPEGDecoded* result) {
  volatile bool headerRead = false;
  if (setjmp(errors->Jump)) {
    result->Error = headerRead ? TJPEGError::Decode : TJPEGError::Header;
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
  if (!FitsInMemory(info->image_width, info->image_height, 4, maxPixels)) {
    result->Error = TJPEGError::TooLarge;
    return;
  }
  headerRead = true;

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
  image.Format = GL_RGBA;
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

TJPEGDecoded DecodeJPEG(std::span<const std::uint8_t> bytes, std::size_t maxPixels) {
  TJPEGDecoded result;
  TErrorManager errors{};
  TDecompressor decompressor;
  decompressor.Info.err = jpeg_std_error(&errors.Base);
  errors.Base.error_exit = ErrorExit;
  errors.Base.emit_message = IgnoreMessage;
  errors.Base.output_message = IgnoreOutput;
  RunDecoder(&decompressor.Info, &errors, bytes, maxPixels, &result);
  if (!result.Ok()) result.Image = {};
  return result;
}

}  // namespace textures
