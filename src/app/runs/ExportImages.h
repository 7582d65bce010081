#pragma once
// The surface images of a glTF export: each file read once, as the viewer's loaders read it (their
// messages, their errors, the same choice per texture), and put into the file as glTF takes it:
// a JPEG as it is, anything else (TGA, BMP) as PNG through libpng. No GL: the pixels are decoded
// and never uploaded.
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "level/ModelLoad.h"
#include "shaders/Shaders.h"
#include "textures/ImageDecode.h"

namespace app {

// How glTF's alpha modes read a surface's image.
enum class TAlphaUse : std::uint8_t {
  Keep,        // as the file holds it
  Inverted,    // 255 - alpha: a test passing below one half (LT128) as MASK's at-least test
  FromColour,  // the brightest channel: an additive blend, where black adds nothing, as BLEND
};

struct TEncodedImage {
  std::string Name;      // the file it came from
  std::string MimeType;  // "image/jpeg" or "image/png"
  std::vector<std::uint8_t> Bytes;
  bool Clamp = false;  // sampled clamped to its edges (the sky box's sides), not repeated
  TAlphaUse Use = TAlphaUse::Keep;
};

// PNG bytes of 8-bit RGB (channels 3) or RGBA (4) pixels, first row the top of the picture or,
// when bottomUp, its bottom. Raises std::runtime_error when libpng fails.
std::vector<std::uint8_t> EncodePNG(std::int32_t width, std::int32_t height, int channels,
                                    std::span<const std::uint8_t> pixels, bool bottomUp);

class TSurfaceImageStore {
 public:
  // Reads the images each texture tries, in order, the last that reads winning; a file named by
  // many textures is read once. Failures as the viewer has them: with the shader scripts (shaded)
  // each one is kept in `problems`; with game data a file that cannot be had at all costs only
  // itself, with its message; otherwise the loaders' errors pass on and end the export.
  void Read(const TSurfaceImageNames& names, bool shaded, bool gameData,
            std::vector<shaders::TProblem>& problems);

  // Per texture, the image it shows: an index for Encode, or -1 for none (drawn white).
  const std::vector<std::int32_t>& Chosen() const { return ChosenImages; }
  std::size_t ImageCount() const { return Images.size(); }
  const std::string& NameOf(std::int32_t image) const { return Images[static_cast<std::size_t>(image)].Name; }
  // The picture as the viewer shows it (rows turned top first) for glTF's uses: a JPEG kept
  // as its bytes where its alpha is kept.
  TEncodedImage Encode(std::int32_t image, TAlphaUse use) const;

 private:
  struct TStored {
    std::string Name;
    std::vector<std::uint8_t> Bytes;  // the file
    bool Jpeg = false;
    textures::TImage Pixels;  // decoded, for all but JPEG (decoded again when needed)
  };
  std::int32_t ReadOnce(const std::string& name, bool gameData);

  std::vector<TStored> Images;
  std::map<std::string, std::int32_t> ByPath;  // -1: refused
  std::vector<std::int32_t> ChosenImages;
};

}  // namespace app
