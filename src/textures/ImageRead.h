#pragma once
// An image file read and decoded as the loaders read it, with their messages and errors, but not
// uploaded: LoadTexture (gl/Textures.h) is ReadImage followed by CreateTexture. Runs that want the pixels and no
// GL (the glTF export) call ReadImage alone.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "textures/ImageDecode.h"

// Raised by ReadJPGImage (and so by LoadJPGTexture, through LoadTexture) when libjpeg fails after
// the picture's header was read; the text is "JPEG error #" and the library's message code.
// Nothing was created.
class EJPEGError : public std::runtime_error {
 public:
  explicit EJPEGError(int code) : std::runtime_error("JPEG error #" + std::to_string(code)), Code(code) {}
  int Code;
};

namespace textures {

// The largest side a read accepts; the loaders ask the GL (LargestTextureSide), after the file
// was read, as they always have. Runs without a GL pass one that answers kLargestImageSide.
using TLargestSide = std::uint32_t (*)();

struct TReadImage {
  TImage Image;                     // first row is t = 0, as the loaders upload it
  std::vector<std::uint8_t> Bytes;  // the file's bytes as read
};

// The image of a ".BMP", ".JPG" or ".TGA" file (or resource), decoded; nothing after the loader's
// one message, or for another extension (without a message, as LoadTexture). Raises what the
// loaders raise (platform::EInOutError, EJPEGError).
std::optional<TReadImage> ReadImage(const std::string& imageFileName, bool fromResource,
                                    TLargestSide largestSide);
std::optional<TReadImage> ReadBMPImage(const std::string& imageFileName, bool fromResource,
                                       TLargestSide largestSide);
std::optional<TReadImage> ReadJPGImage(const std::string& imageFileName, bool fromResource,
                                       TLargestSide largestSide);
std::optional<TReadImage> ReadTGAImage(const std::string& imageFileName, bool fromResource,
                                       TLargestSide largestSide);

// Whether the TGA loader takes 8-bit greyscale images (types 3 and 11) besides true colour, for
// the rest of the run (--greyscale-tga; off: the design's loader, which refuses them). A setting of
// the run, like the largest side, so that every path to the loader (surfaces, skies, models,
// export) reads the same pictures.
void AcceptGreyscaleTGA(bool accept);

}  // namespace textures
