#include "app/runs/ExportImages.h"

#include <png.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/ByteReader.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "textures/ImageRead.h"

namespace app {
namespace {

// No GL to ask: the largest picture any GL of the viewer's would take.
std::uint32_t LargestSide() { return textures::kLargestImageSide; }

bool IsJpegName(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
  return tail == ".jpg";
}

}  // namespace

std::vector<std::uint8_t> EncodePNG(std::int32_t width, std::int32_t height, int channels,
                                    std::span<const std::uint8_t> pixels, bool bottomUp) {
  // libpng's simplified writer: no setjmp to cross, and a negative row stride walks the rows from
  // the last one in memory up.
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  // Most of an export's time would go into compressing otherwise, for a few per cent of size.
  image.flags = PNG_IMAGE_FLAG_FAST;
  const png_int_32 stride = static_cast<png_int_32>(width * channels) * (bottomUp ? -1 : 1);
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), stride, nullptr)) {
    const std::string reason = image.message;
    png_image_free(&image);
    throw std::runtime_error("cannot encode a PNG picture: " + reason);
  }
  out.resize(size);
  return out;
}

std::int32_t TSurfaceImageStore::ReadOnce(const std::string& name, bool gameData) {
  // One file in any spelling of its path is one image, as the viewer has it (TImageOnce).
  std::error_code ec;
  std::string key = std::filesystem::weakly_canonical(platform::ResolvePath(name), ec);
  if (ec) key = name;
  const auto [entry, first] = ByPath.try_emplace(std::move(key), -1);
  if (!first) return entry->second;
  std::optional<textures::TReadImage> read;
  try {
    read = textures::ReadImage(name, false, LargestSide);
  } catch (const platform::EUnreadableFile& e) {
    if (!gameData) throw;
    platform::ShowMessage("Couldn't load \"" + name + "\": " + e.what(), "Surface image");
  }
  if (!read) return -1;
  TStored stored{name, std::move(read->Bytes), IsJpegName(name), {}};
  if (!stored.Jpeg) stored.Pixels = std::move(read->Image);
  Images.push_back(std::move(stored));
  entry->second = static_cast<std::int32_t>(Images.size() - 1);
  return entry->second;
}

void TSurfaceImageStore::Read(const TSurfaceImageNames& names, bool shaded, bool gameData,
                              std::vector<shaders::TProblem>& problems) {
  ChosenImages.assign(names.size(), -1);
  for (std::size_t t = 0; t < names.size(); ++t) {
    for (const std::string& name : names[t]) {
      std::int32_t image = -1;
      if (!shaded) {
        image = ReadOnce(name, gameData);
      } else {
        try {
          image = ReadOnce(name, gameData);
        } catch (const std::exception& e) {
          problems.push_back({name, 0, e.what()});
        }
      }
      if (image >= 0) ChosenImages[t] = image;
    }
  }
}

TEncodedImage TSurfaceImageStore::Encode(std::int32_t image, TAlphaUse use) const {
  const TStored& stored = Images[static_cast<std::size_t>(image)];
  if (stored.Jpeg && use == TAlphaUse::Keep) return {stored.Name, "image/jpeg", stored.Bytes};
  textures::TImage decoded;
  const textures::TImage* pixels = &stored.Pixels;
  if (stored.Jpeg) {
    decoded = textures::DecodeJPEG(stored.Bytes, textures::kNoPixelLimit, LargestSide()).Image;
    pixels = &decoded;
  }
  const int channels = pixels->Format == textures::kRGBA ? 4 : 3;
  // The viewer's first row is its bottom one, PNG's the top: the rows are written last first.
  if (use == TAlphaUse::Keep)
    return {stored.Name, "image/png", EncodePNG(pixels->Width, pixels->Height, channels, pixels->Pixels, true)};
  const std::size_t count = static_cast<std::size_t>(pixels->Width) * pixels->Height;
  std::vector<std::uint8_t> rgba(count * 4);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* from = &pixels->Pixels[i * static_cast<std::size_t>(channels)];
    std::copy(from, from + 3, &rgba[i * 4]);
    const std::uint8_t alpha = channels == 4 ? from[3] : 255;
    rgba[i * 4 + 3] = use == TAlphaUse::Inverted ? static_cast<std::uint8_t>(255 - alpha)
                                                : std::max({from[0], from[1], from[2]});
  }
  return {stored.Name, "image/png", EncodePNG(pixels->Width, pixels->Height, 4, rgba, true), false, use};
}

}  // namespace app
