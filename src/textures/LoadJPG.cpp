// LoadJPGTexture: a JPEG file or resource into an RGBA texture with alpha 255.
#include "platform/Files.h"
#include "platform/Messages.h"
#include "textures/ImageDecode.h"
#include "textures/TextureResources.h"
#include "textures/Textures.h"

bool LoadJPGTexture(const std::string& imageFileName, GLuint& textureSlot, bool fromResource) {
  using textures::TJPEGError;
  const std::string couldNotLoad =
      (fromResource ? "Couldn't load JPG Resource - \"" : "Couldn't load JPG - \"") + imageFileName + "\"";

  std::vector<std::uint8_t> fileBytes;
  std::span<const std::uint8_t> bytes;
  if (fromResource) {
    const auto resource = textures::OpenImageResource("JPEG", imageFileName, "JPG Texture");
    if (!resource) return false;
    bytes = *resource;
  } else {
    auto read = platform::ReadWholeFile(imageFileName);
    if (!read) {
      platform::ShowMessage(couldNotLoad, "BMP Unit");
      return false;
    }
    fileBytes = std::move(*read);
    bytes = fileBytes;
  }

  const std::uint32_t largestSide = LargestTextureSide();
  const auto decoded = textures::DecodeJPEG(bytes, textures::kNoPixelLimit, largestSide);
  switch (decoded.Error) {
    case TJPEGError::None:
      break;
    case TJPEGError::Header:
    case TJPEGError::UnsupportedColour:  // CMYK/YCCK would only be misread
      platform::ShowMessage(couldNotLoad, "BMP Unit");
      return false;
    case TJPEGError::TooLarge:
      platform::ShowMessage(couldNotLoad + ". Sides above " + std::to_string(largestSide) +
                                " pixels not supported.", "BMP Unit");
      return false;
    case TJPEGError::TooLittleData:
      platform::ShowMessage(couldNotLoad + ". Too little data for the size it claims.", "BMP Unit");
      return false;
    case TJPEGError::TooManyScans:
      platform::ShowMessage(couldNotLoad + ". More than " + std::to_string(textures::kMostJPEGScans) +
                                " scans.", "BMP Unit");
      return false;
    case TJPEGError::Decode:
      throw EJPEGError(decoded.LibraryCode);
  }
  const textures::TImage& image = decoded.Image;
  textureSlot = CreateTexture(image.Width, image.Height, image.Format, image.Pixels.data());
  return true;
}
