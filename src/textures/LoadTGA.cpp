// ReadTGAImage: a TGA file or resource, read as LoadTGATexture uploads it, with the loader's messages.
#include "platform/ByteReader.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "textures/ImageDecode.h"
#include "textures/ImageRead.h"
#include "textures/PixelBudget.h"
#include "textures/TextureResources.h"

namespace textures {
namespace {

bool& GreyscaleAccepted() {
  static bool accepted = false;
  return accepted;
}

}  // namespace

void AcceptGreyscaleTGA(bool accept) { GreyscaleAccepted() = accept; }

std::optional<TReadImage> ReadTGAImage(const std::string& imageFileName, bool fromResource,
                                       TLargestSide largestSideOf) {
  const auto unableToRead = [&]() -> std::optional<TReadImage> {
    platform::ShowMessage("Unable to read from resource - " + imageFileName, "BMP Unit");
    return std::nullopt;
  };
  const auto refuse = [&](const std::string& reason) -> std::optional<TReadImage> {
    platform::ShowMessage("Couldn't load \"" + imageFileName + "\"" + reason, "TGA File Error");
    return std::nullopt;
  };

  std::vector<std::uint8_t> fileBytes;
  std::span<const std::uint8_t> bytes;
  if (fromResource) {
    const auto resource = textures::OpenImageResource("TGA", imageFileName, "TGA Texture");
    if (!resource) return std::nullopt;
    bytes = *resource;
  } else {
    if (!platform::FileExists(imageFileName)) {
      platform::ShowMessage("File not found  - " + imageFileName, "TGA Texture");
      return std::nullopt;
    }
    // An existing file that cannot be read is a file-layer error, left to the caller.
    auto read = platform::ReadWholeFile(imageFileName);
    if (!read) throw platform::EUnreadableFile(platform::kReadBeyondEndOfFile);
    fileBytes = std::move(*read);
    bytes = fileBytes;
  }

  const std::uint32_t largestSide = largestSideOf();
  auto decoded = DecodeTGA(bytes, PixelsAllowed(), largestSide, GreyscaleAccepted());
  switch (decoded.Error) {
    case TTGAError::None:
      break;
    case TTGAError::ShortHeader:
      if (fromResource) return unableToRead();
      throw platform::EInOutError(platform::kReadBeyondEndOfFile);
    case TTGAError::NotTrueColour:
      return refuse(". Only 24 and 32bit TGA supported.");
    case TTGAError::ColourMapped:
      return refuse(". Colormapped TGA files not supported.");
    case TTGAError::BadDepth:
      return refuse(". Only 24 and 32 bit TGA files supported.");
    case TTGAError::TooLarge:
      if (LeftOutByPixelBudget(decoded.Image.Width, decoded.Image.Height, largestSide, imageFileName)) return std::nullopt;
      return refuse(". Sides above " + std::to_string(largestSide) + " pixels not supported.");
    case TTGAError::ShortData:
      if (fromResource) return unableToRead();
      platform::ShowMessage("Couldn't read file \"" + imageFileName + "\".", "TGA File Error");
      return std::nullopt;
  }
  if (!ChargePixels(decoded.Image.Pixels.size(), imageFileName)) return std::nullopt;
  if (fromResource) fileBytes.assign(bytes.begin(), bytes.end());
  return TReadImage{std::move(decoded.Image), std::move(fileBytes)};
}

}  // namespace textures
