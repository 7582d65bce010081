// ReadJPGImage: a JPEG file or resource, read as LoadJPGTexture uploads it (RGBA, alpha 255).
#include "platform/Files.h"
#include "platform/Messages.h"
#include "textures/ImageDecode.h"
#include "textures/ImageRead.h"
#include "textures/PixelBudget.h"
#include "textures/TextureResources.h"

namespace textures {

std::optional<TReadImage> ReadJPGImage(const std::string& imageFileName, bool fromResource,
                                       TLargestSide largestSideOf) {
  const std::string couldNotLoad =
      (fromResource ? "Couldn't load JPG Resource - \"" : "Couldn't load JPG - \"") + imageFileName + "\"";

  std::vector<std::uint8_t> fileBytes;
  std::span<const std::uint8_t> bytes;
  if (fromResource) {
    const auto resource = textures::OpenImageResource("JPEG", imageFileName, "JPG Texture");
    if (!resource) return std::nullopt;
    bytes = *resource;
  } else {
    auto read = platform::ReadWholeFile(imageFileName);
    if (!read) {
      platform::ShowMessage(couldNotLoad, "BMP Unit");
      return std::nullopt;
    }
    fileBytes = std::move(*read);
    bytes = fileBytes;
  }

  const std::uint32_t largestSide = largestSideOf();
  auto decoded = DecodeJPEG(bytes, PixelsAllowed(), largestSide);
  switch (decoded.Error) {
    case TJPEGError::None:
      break;
    case TJPEGError::Header:
    case TJPEGError::UnsupportedColour:  // CMYK/YCCK would only be misread
      platform::ShowMessage(couldNotLoad, "BMP Unit");
      return std::nullopt;
    case TJPEGError::TooLarge:
      if (LeftOutByPixelBudget(decoded.Image.Width, decoded.Image.Height, largestSide, imageFileName)) return std::nullopt;
      platform::ShowMessage(couldNotLoad + ". Sides above " + std::to_string(largestSide) +
                                " pixels not supported.", "BMP Unit");
      return std::nullopt;
    case TJPEGError::TooLittleData:
      platform::ShowMessage(couldNotLoad + ". Too little data for the size it claims.", "BMP Unit");
      return std::nullopt;
    case TJPEGError::TooManyScans:
      platform::ShowMessage(couldNotLoad + ". More than " + std::to_string(kMostJPEGScans) +
                                " scans.", "BMP Unit");
      return std::nullopt;
    case TJPEGError::Decode:
      throw EJPEGError(decoded.LibraryCode);
  }
  if (!ChargePixels(decoded.Image.Pixels.size(), imageFileName)) return std::nullopt;
  if (fromResource) fileBytes.assign(bytes.begin(), bytes.end());
  return TReadImage{std::move(decoded.Image), std::move(fileBytes)};
}

}  // namespace textures
