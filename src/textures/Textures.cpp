// The front door of texture loading and the one upload every loader ends with.
#include "textures/Textures.h"

#include <GL/glu.h>

#include <algorithm>

#include "textures/ImageDecode.h"
#include "textures/ImageRead.h"

namespace {

// The last four characters, upper-cased (ASCII letters only); a shorter name is taken whole and
// so matches no extension.
std::string UpperExtension(const std::string& name) {
  std::string tail = name.size() >= 4 ? name.substr(name.size() - 4) : name;
  for (char& c : tail)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return tail;
}

}  // namespace

bool LoadTexture(const std::string& imageFileName, GLuint& textureSlot, bool fromResource) {
  const std::string extension = UpperExtension(imageFileName);
  if (extension == ".BMP") return LoadBMPTexture(imageFileName, textureSlot, fromResource);
  if (extension == ".JPG") return LoadJPGTexture(imageFileName, textureSlot, fromResource);
  if (extension == ".TGA") return LoadTGATexture(imageFileName, textureSlot, fromResource);
  return false;
}

namespace textures {

std::optional<TReadImage> ReadImage(const std::string& imageFileName, bool fromResource,
                                    TLargestSide largestSide) {
  const std::string extension = UpperExtension(imageFileName);
  if (extension == ".BMP") return ReadBMPImage(imageFileName, fromResource, largestSide);
  if (extension == ".JPG") return ReadJPGImage(imageFileName, fromResource, largestSide);
  if (extension == ".TGA") return ReadTGAImage(imageFileName, fromResource, largestSide);
  return std::nullopt;
}

bool UploadImage(const std::optional<TReadImage>& read, GLuint& textureSlot) {
  if (!read) return false;
  const TImage& image = read->Image;
  textureSlot = CreateTexture(image.Width, image.Height, image.Format, image.Pixels.data());
  return true;
}

}  // namespace textures

std::uint32_t LargestTextureSide() {
  static std::uint32_t largest = 0;
  if (largest == 0) {
    GLint answer = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &answer);
    // Without a current context there is no answer, and nothing is kept: the next call asks again.
    if (answer <= 0) return textures::kLargestImageSide;
    largest = std::min(static_cast<std::uint32_t>(answer), textures::kLargestImageSide);
  }
  return largest;
}

GLuint CreateTexture(std::uint16_t width, std::uint16_t height, std::uint16_t pixelFormat,
                     const std::uint8_t* pixels) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  // The buffers are tightly packed: with the default unpack alignment of 4, RGB rows whose width
  // is not a multiple of 4 would be read past their end. The caller's alignment is put back.
  GLint previousAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (pixelFormat == GL_RGBA)
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  else
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
  return name;
}
