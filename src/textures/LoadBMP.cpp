// ReadBMPImage: a 24-bit Windows bitmap file or resource, read as LoadBMPTexture uploads it.
#include "platform/Files.h"
#include "platform/Messages.h"
#include "textures/ImageDecode.h"
#include "textures/ImageRead.h"
#include "textures/PixelBudget.h"
#include "textures/TextureResources.h"

namespace textures {

std::optional<TReadImage> ReadBMPImage(const std::string& imageFileName, bool fromResource,
                                       TLargestSide largestSideOf) {
  constexpr const char* kCaption = "BMP Unit";
  const auto refuse = [&](const std::string& text) -> std::optional<TReadImage> {
    platform::ShowMessage(text, kCaption);
    return std::nullopt;
  };

  std::vector<std::uint8_t> fileBytes;
  std::span<const std::uint8_t> bytes;
  if (fromResource) {
    const auto resource = textures::OpenImageResource("BMP", imageFileName, "BMP Texture");
    if (!resource) return std::nullopt;
    bytes = *resource;
  } else {
    auto read = platform::ReadWholeFile(imageFileName);
    if (!read) return refuse("Error opening " + imageFileName);
    fileBytes = std::move(*read);
    bytes = fileBytes;
  }

  const std::uint32_t largestSide = largestSideOf();
  auto decoded = DecodeBMP(bytes, PixelsAllowed(), largestSide);
  const std::string unableToRead = "Unable to read from resource - " + imageFileName;
  switch (decoded.Error) {
    case TBMPError::None:
      break;
    case TBMPError::ShortHeader:
      return refuse(fromResource ? unableToRead : "Error reading bitmap header");
    case TBMPError::ShortPalette:
      return refuse(fromResource ? unableToRead : "Error reading palette");
    case TBMPError::ShortData:
      return refuse(fromResource ? unableToRead : "Error reading bitmap data");
    case TBMPError::TopDown:
      return refuse("Top-down bitmaps not supported");
    case TBMPError::BadSize:
      return refuse("Bitmap size not supported");
    case TBMPError::TooLarge:
      if (LeftOutByPixelBudget(decoded.Image.Width, decoded.Image.Height, largestSide, imageFileName)) return std::nullopt;
      return refuse("Bitmap sides above " + std::to_string(largestSide) + " pixels not supported");
    case TBMPError::DataTooSmall:
      return refuse("Bitmap data too small for 24-bit pixels");
  }
  if (!ChargePixels(decoded.Image.Pixels.size(), imageFileName)) return std::nullopt;
  if (fromResource) fileBytes.assign(bytes.begin(), bytes.end());
  return TReadImage{std::move(decoded.Image), std::move(fileBytes)};
}

}  // namespace textures
