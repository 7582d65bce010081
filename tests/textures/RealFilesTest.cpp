// Real textures from Debian's OpenArena packages decode to the same pixels as independent
// decoders: ImageMagick for TGA, libjpeg-turbo's djpeg (same IDCT set-up) for JPEG.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "TextureTestSupport.h"
#include "gl/Textures.h"
#include "textures/ImageDecode.h"

namespace testsupport {
namespace {

const std::vector<std::string> kPak0TGA = {
    "menu/art/level_complete1.tga",    // run-length, 32 bits
    "menu/art/model_0.tga",            // run-length, 24 bits
    "textures/effects/quadmap2.tga",   // run-length, 24 bits, 256 x 256
    "textures/effects/skinspeciso.tga",
    "gfx/2d/crosshaira.tga",           // stored, 32 bits
    "menu/art/narrow_0.tga",           // stored, 32 bits, 16 x 128
    "textures/effects/eyespec.tga",    // stored, 24 bits, with a trailing footer
};
const std::vector<std::string> kPak4TGA = {"textures/base_wall/shiny3.tga", "textures/base_wall/comp3b.tga"};
const std::vector<std::string> kPak0JPG = {"textures/effects/envmapgold.jpg", "textures/effects/flightenv.jpg"};
const std::vector<std::string> kPak4JPG = {
    "textures/base_wall/basewall04.jpg",             // 256 x 512
    "textures/base_wall/bluemetalsupport2e.jpg",     // 256 x 128
    "textures/gothic_floor/largerblock3b3dim.jpg",   // progressive
    "textures/cosmo_sfx/stoerung.jpg",               // greyscale
};

using testsupport::Quote;

// Runs a command that writes `output`, and returns that file's bytes.
TBytes RunTool(const std::string& command, const std::string& output) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  if (status != 0) throw std::runtime_error("failed: " + command);
  return testsupport::ReadFile(output);
}

// The pixels of a binary PPM (P6, maxval 255), top row first.
TBytes PPMPixels(const TBytes& file, int& width, int& height) {
  std::string head(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(file.size(), 64)));
  std::istringstream in(head);
  std::string magic;
  int maxval = 0;
  in >> magic >> width >> height >> maxval;
  if (magic != "P6" || maxval != 255) throw std::runtime_error("unexpected PPM");
  const std::size_t start = static_cast<std::size_t>(in.tellg()) + 1;
  return TBytes(file.begin() + static_cast<std::ptrdiff_t>(start), file.end());
}

// Rows in reverse order; `rowBytes` bytes per row.
TBytes Flipped(const TBytes& pixels, std::size_t rowBytes) {
  TBytes out;
  for (std::size_t row = pixels.size() / rowBytes; row-- > 0;)
    out.insert(out.end(), pixels.begin() + static_cast<std::ptrdiff_t>(row * rowBytes),
               pixels.begin() + static_cast<std::ptrdiff_t>((row + 1) * rowBytes));
  return out;
}

class RealFilesTest : public TTextureTest {};

TEST_F(RealFilesTest, TGAMatchesImageMagick) {
  const std::string pak0 = testsupport::ExtractOpenArena("pak0.pk3", kPak0TGA);
  const std::string pak4 = testsupport::ExtractOpenArena("pak4-textures.pk3", kPak4TGA);
  std::vector<std::string> files;
  for (const auto& f : kPak0TGA) files.push_back(pak0 + "/" + f);
  for (const auto& f : kPak4TGA) files.push_back(pak4 + "/" + f);
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const TBytes bytes = testsupport::ReadFile(path);
    const auto decoded = textures::DecodeTGA(bytes);
    ASSERT_TRUE(decoded.Ok());
    const bool rgba = decoded.Image.Format == GL_RGBA;
    const std::string out = Dir / "magick.raw";
    const TBytes reference = RunTool("/usr/bin/convert " + Quote(path) + " -auto-orient -depth 8 " +
                                         (rgba ? "rgba:" : "rgb:") + Quote(out), out);
    // ImageMagick, told to apply the origin, gives the picture top row first; the buffer keeps the
    // stored order, which for these bottom-left images is bottom row first.
    ASSERT_EQ(bytes[17] & 0x30, 0);
    EXPECT_TRUE(Flipped(reference, decoded.Image.Width * (rgba ? 4u : 3u)) == decoded.Image.Pixels);
  }
}

TEST_F(RealFilesTest, JPEGMatchesDjpegWithTheSameIDCT) {
  const std::string pak0 = testsupport::ExtractOpenArena("pak0.pk3", kPak0JPG);
  const std::string pak4 = testsupport::ExtractOpenArena("pak4-textures.pk3", kPak4JPG);
  std::vector<std::string> files;
  for (const auto& f : kPak0JPG) files.push_back(pak0 + "/" + f);
  for (const auto& f : kPak4JPG) files.push_back(pak4 + "/" + f);
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const auto decoded = textures::DecodeJPEG(testsupport::ReadFile(path));
    ASSERT_TRUE(decoded.Ok());
    const std::string out = Dir / "djpeg.ppm";
    // djpeg keeps libjpeg's default block smoothing, as the loader asks for explicitly.
    int width = 0, height = 0;
    const TBytes rgb = PPMPixels(
        RunTool("djpeg -dct float -rgb -outfile " + Quote(out) + " " + Quote(path), out), width, height);
    ASSERT_EQ(width, decoded.Image.Width);
    ASSERT_EQ(height, decoded.Image.Height);
    TBytes expected;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) expected.insert(expected.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
    EXPECT_TRUE(Flipped(expected, static_cast<std::size_t>(width) * 4) == decoded.Image.Pixels);
  }
}

TEST_F(RealFilesTest, LoadTextureUploadsTheDecodedPixels) {
  const std::string pak0 = testsupport::ExtractOpenArena("pak0.pk3", kPak0TGA);
  const std::string pak4 = testsupport::ExtractOpenArena("pak4-textures.pk3", kPak4JPG);
  for (const std::string& path : std::vector<std::string>{pak0 + "/menu/art/level_complete1.tga", pak0 + "/textures/effects/quadmap2.tga",
                                  pak4 + "/textures/base_wall/bluemetalsupport2e.jpg"}) {
    SCOPED_TRACE(path);
    const TBytes bytes = testsupport::ReadFile(path);
    const bool jpeg = path.ends_with(".jpg");
    const textures::TImage image = jpeg ? textures::DecodeJPEG(bytes).Image : textures::DecodeTGA(bytes).Image;
    GLuint slot = 0;
    ASSERT_TRUE(LoadTexture(path, slot, false));
    const TTexel texel = ReadTexture(slot, image.Format);
    EXPECT_EQ(texel.Width, image.Width);
    EXPECT_EQ(texel.Height, image.Height);
    EXPECT_TRUE(texel.Pixels == image.Pixels);
  }
  EXPECT_TRUE(Messages->Messages().empty());
}

}  // namespace
}  // namespace testsupport
