#pragma once
// A PNG file read back with libpng, for the tests that check what the program wrote.
#include <png.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct TPicture {
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Rgb;  // packed, top row first
  std::array<int, 3> At(int x, int yFromTop) const {
    const std::size_t i = (static_cast<std::size_t>(yFromTop) * Width + x) * 3;
    return {Rgb[i], Rgb[i + 1], Rgb[i + 2]};
  }
};

// The file's pixels as RGB; an empty picture when it cannot be read.
inline TPicture ReadPNG(const std::string& path) {
  TPicture picture;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
  image.format = PNG_FORMAT_RGB;
  picture.Rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, picture.Rgb.data(), 0, nullptr)) return {};
  picture.Width = static_cast<int>(image.width);
  picture.Height = static_cast<int>(image.height);
  return picture;
}

}  // namespace testsupport
