// Lightmap bytes: each 128 x 128 lightmap of the level is brightened and written out as a JPEG
// image (transposed, as the tools that read these files expect). The upload as a mipmapped
// texture is render/'s (TQuake3BSP::CreateLightmapTexture).
#include "level/Q3BSP_lightmaps.h"

#include <array>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "level/GameLight.h"
#include "level/Q3BSP.h"
#include "platform/AtomicFile.h"
#include "platform/ByteReader.h"
#include "platform/Files.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace {

constexpr int kLightmapSize = 128;
constexpr int kRowBytes = kLightmapSize * 3;

// v -> 2v + 80, at most 255: 0..87 give 80..254, 88 and above give 255.
constexpr std::array<std::uint8_t, 256> kBrighten = [] {
  std::array<std::uint8_t, 256> table{};
  for (int v = 0; v < 256; ++v) table[v] = static_cast<std::uint8_t>(2 * v + 80 > 255 ? 255 : 2 * v + 80);
  return table;
}();

// Where "lgmp\lgmpN.jpg" lives on disk: an existing file in any letter case is replaced; a new
// one goes into the directory found without regard to case.
std::string ExportPath(const std::string& fileName) {
  if (platform::FileExists(fileName)) return platform::ResolvePath(fileName);
  const std::string slashed = platform::ResolvePath(fileName);
  const std::size_t slash = slashed.rfind('/');
  if (slash == std::string::npos) return slashed;
  return platform::ResolvePath(slashed.substr(0, slash)) + slashed.substr(slash);
}

struct TJpegErrorTrap {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
};

void JpegErrorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<TJpegErrorTrap*>(info->err)->Jump, 1);
}

// Baseline 24-bit RGB JPEG at quality 100, every other setting libjpeg's default. Only plain data
// lives in this frame, so libjpeg's error exit can leave it by longjmp. False on an encoder error,
// with its text in `message`.
bool EncodeJPEG(std::FILE* file, const std::uint8_t* rgb, int width, int height,
                char (&message)[JMSG_LENGTH_MAX]) {
  jpeg_compress_struct encoder;
  TJpegErrorTrap trap;
  encoder.err = jpeg_std_error(&trap.Manager);
  trap.Manager.error_exit = JpegErrorExit;
  if (setjmp(trap.Jump) != 0) {
    (*encoder.err->format_message)(reinterpret_cast<j_common_ptr>(&encoder), message);
    jpeg_destroy_compress(&encoder);
    return false;
  }
  jpeg_create_compress(&encoder);
  jpeg_stdio_dest(&encoder, file);
  encoder.image_width = static_cast<JDIMENSION>(width);
  encoder.image_height = static_cast<JDIMENSION>(height);
  encoder.input_components = 3;
  encoder.in_color_space = JCS_RGB;
  jpeg_set_defaults(&encoder);
  jpeg_set_quality(&encoder, 100, TRUE);
  jpeg_start_compress(&encoder, TRUE);
  while (encoder.next_scanline < encoder.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<std::size_t>(encoder.next_scanline) * width * 3);
    jpeg_write_scanlines(&encoder, &row, 1);
  }
  jpeg_finish_compress(&encoder);
  jpeg_destroy_compress(&encoder);
  return true;
}

}  // namespace

void CheckLightmapIndices(std::int32_t highestX, std::int32_t highestY) {
  if (highestX != kLightmapSize - 1 || highestY != kLightmapSize - 1)
    throw std::invalid_argument("A lightmap is 128 x 128: highest indices must be 127, not " +
                                std::to_string(highestX) + " and " + std::to_string(highestY));
}

std::uint8_t BrightenedLightmapByte(std::uint8_t value) { return kBrighten[value]; }

void BrightenLightmap(std::span<std::uint8_t> bytes) {
  for (std::uint8_t& byte : bytes) byte = kBrighten[byte];
}

void TQuake3BSP::ExportLightmap(std::uint8_t* pixels, std::int32_t highestX, std::int32_t highestY,
                                std::int32_t number) {
  CheckLightmapIndices(highestX, highestY);
  const int width = highestX + 1;
  const int height = highestY + 1;
  // The image: `height` rows of `width` RGB pixels. Lightmap row r becomes image column r.
  std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height * 3);
  const bool game = Lighting.GameLight;
  if (game) LightTexels({pixels, sizeof(TBSPLightmap)}, true);
  for (int r = 0; r < kLightmapSize; ++r) {
    std::uint8_t* pixel = pixels + r * kRowBytes;
    for (int c = 0; c < kLightmapSize; ++c, pixel += 3) {
      std::uint8_t* target = &image[(static_cast<std::size_t>(c) * width + r) * 3];
      for (int k = 0; k < 3; ++k) target[k] = pixel[k] = game ? pixel[k] : kBrighten[pixel[k]];
    }
  }

  if (!LightmapFilesWritten) return;
  const std::string fileName = "lgmp\\lgmp" + std::to_string(number) + ".jpg";
  // Written whole beside the old image, then put in its place.
  std::optional<platform::TAtomicFile> file;
  try {
    file.emplace(ExportPath(fileName));
  } catch (const std::system_error&) {
    throw EFCreateError("Cannot create file " + fileName);
  }
  char message[JMSG_LENGTH_MAX] = {};
  if (!EncodeJPEG(file->Stream(), image.data(), width, height, message))
    throw platform::EInOutError("Cannot write file " + fileName + ": " + message);
  try {
    file->Commit();
  } catch (const std::system_error&) {
    throw platform::EInOutError("Cannot write file " + fileName);
  }
}
