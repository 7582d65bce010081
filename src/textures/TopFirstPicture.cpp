#include "textures/TopFirstPicture.h"

#include <algorithm>
#include <cstring>

#include "textures/PixelBudget.h"

namespace textures {
namespace {

std::string LowerExtension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return extension;
}

std::string TooLarge(std::uint32_t maxSide) {
  return "sides above " + std::to_string(maxSide) + " pixels not supported";
}

// The decoder's rows, RGB or RGBA, into packed RGB with the top row first.
void TakeRows(const TImage& image, bool bottomFirst, TTopFirstPicture& picture) {
  const std::size_t width = image.Width, height = image.Height;
  const std::size_t channels = image.Format == kRGBA ? 4 : 3;
  picture.Width = image.Width;
  picture.Height = image.Height;
  if (width == 0 || height == 0) return;  // an empty picture, refused by the caller
  picture.Rgb.resize(width * height * 3);
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t* from = image.Pixels.data() + (bottomFirst ? height - 1 - y : y) * width * channels;
    std::uint8_t* to = picture.Rgb.data() + y * width * 3;
    if (channels == 3) {
      std::memcpy(to, from, width * 3);
      continue;
    }
    for (std::size_t x = 0; x < width; ++x, from += 4, to += 3) std::memcpy(to, from, 3);
  }
}

std::string TGAError(TTGAError error, std::uint32_t maxSide) {
  switch (error) {
    case TTGAError::ShortHeader: return "truncated: shorter than a TGA header";
    case TTGAError::NotTrueColour: return "not a true-colour TGA picture";
    case TTGAError::ColourMapped: return "a colour-mapped TGA picture, not supported";
    case TTGAError::BadDepth: return "only 24 and 32 bit TGA pictures are supported";
    case TTGAError::ShortData: return "truncated: the pixels end before the picture does";
    case TTGAError::TooLarge: return TooLarge(maxSide);
    case TTGAError::None: break;
  }
  return "";
}

std::string JPEGError(const TJPEGDecoded& decoded, std::uint32_t maxSide) {
  switch (decoded.Error) {
    case TJPEGError::Header: return "not a JPEG picture";
    case TJPEGError::UnsupportedColour: return "a CMYK JPEG picture, not supported";
    case TJPEGError::TooLarge: return TooLarge(maxSide);
    case TJPEGError::TooLittleData: return "too little data for the size it claims";
    case TJPEGError::TooManyScans: return "more than " + std::to_string(kMostJPEGScans) + " scans";
    case TJPEGError::Decode: return "JPEG error #" + std::to_string(decoded.LibraryCode);
    case TJPEGError::None: break;
  }
  return "";
}

std::string PNGError(const TPNGDecoded& decoded, std::uint32_t maxSide) {
  switch (decoded.Error) {
    case TPNGError::Header: return "not a PNG picture (" + decoded.Message + ")";
    case TPNGError::TooLarge: return TooLarge(maxSide);
    case TPNGError::TooLittleData: return "too little data for the size it claims";
    case TPNGError::Decode: return "damaged or truncated (" + decoded.Message + ")";
    case TPNGError::None: break;
  }
  return "";
}

}  // namespace

TTopFirstPicture DecodeTopFirstRGB(std::span<const std::uint8_t> bytes, const std::string& fileName,
                                   std::uint32_t maxSide, std::size_t maxPixels) {
  TTopFirstPicture picture;
  const std::string extension = LowerExtension(fileName);
  maxPixels = std::min(maxPixels, PixelsAllowed());
  // Sides within the limit, yet refused: the run's budget of pixels is what refused them.
  const auto leftOut = [&](const TImage& claimed) {
    picture.LeftOutByBudget = LeftOutByPixelBudget(claimed.Width, claimed.Height, maxSide, fileName);
  };
  if (extension == ".tga") {
    const auto decoded = DecodeTGA(bytes, maxPixels, maxSide);
    picture.Error = TGAError(decoded.Error, maxSide);
    if (decoded.Error == TTGAError::TooLarge) leftOut(decoded.Image);
    // Descriptor bit 5: the first stored row is the top one.
    if (decoded.Ok()) TakeRows(decoded.Image, (bytes[17] & 0x20) == 0, picture);
  } else if (extension == ".png") {
    const TPNGDecoded decoded = DecodePNG(bytes, maxPixels, maxSide);
    picture.Error = PNGError(decoded, maxSide);
    if (decoded.Error == TPNGError::TooLarge) leftOut(decoded.Image);
    if (decoded.Ok()) TakeRows(decoded.Image, true, picture);
  } else if (extension == ".jpg" || extension == ".jpeg") {
    const TJPEGDecoded decoded = DecodeJPEG(bytes, maxPixels, maxSide);
    picture.Error = JPEGError(decoded, maxSide);
    if (decoded.Error == TJPEGError::TooLarge) leftOut(decoded.Image);
    if (decoded.Ok()) TakeRows(decoded.Image, true, picture);
  } else {
    picture.Error = "not a .tga, .png or .jpg file";
  }
  if (picture.Ok() && (picture.Width == 0 || picture.Height == 0)) picture.Error = "an empty picture";
  if (picture.Ok() && !ChargePixels(picture.Rgb.size(), fileName)) {
    picture = {};
    picture.Error = "left out: the budget of decoded pixels is spent";
    picture.LeftOutByBudget = true;
  }
  return picture;
}

}  // namespace textures
