#include "app/viewer/Screenshot.h"

#include <GL/gl.h>
#include <png.h>

#include <stdexcept>
#include <system_error>

#include "platform/AtomicFile.h"

namespace app {

void WritePNG(const std::string& path, int width, int height,
              std::span<const std::uint8_t> rgbPixels, bool bottomUp) {
  const auto fail = [&](const std::string& reason) {
    throw std::runtime_error("Cannot write PNG file " + path + ": " + reason);
  };
  if (width <= 0 || height <= 0) fail("empty picture");
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  if (rgbPixels.size() != stride * static_cast<std::size_t>(height)) fail("wrong pixel count");

  // libpng's simplified writer: no setjmp to cross, and a negative row stride walks the rows
  // from the last one in memory up, which turns OpenGL's bottom-up rows into the file's top-down.
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  const png_int_32 rowStride = static_cast<png_int_32>(stride) * (bottomUp ? -1 : 1);
  // Written beside the old picture and put in its place only when whole.
  try {
    platform::TAtomicFile file(path);
    if (!png_image_write_to_stdio(&image, file.Stream(), 0, rgbPixels.data(), rowStride, nullptr)) {
      const std::string reason = image.message;
      png_image_free(&image);
      fail(reason);
    }
    file.Commit();
  } catch (const std::system_error& e) {
    fail(e.code().message());
  }
}

std::vector<std::uint8_t> ReadFramePixels(int width, int height) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
  // Rows of 3-byte pixels are not 4-byte aligned for every width.
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

}  // namespace app
