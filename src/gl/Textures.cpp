// The loaders' upload: every loader reads its image (textures/ImageRead.h) and ends here.
#include "gl/Textures.h"

#include <GL/glu.h>

#include <algorithm>

#include "textures/ImageDecode.h"

// The decoders name their layouts by the GL's own numbers, which the upload passes on.
static_assert(textures::kRGB == GL_RGB && textures::kRGBA == GL_RGBA);

namespace {

// A texture made from the image read (CreateTexture) into the slot; false, and the slot as it
// was, when nothing was read.
bool UploadImage(const std::optional<textures::TReadImage>& read, GLuint& textureSlot) {
  if (!read) return false;
  const textures::TImage& image = read->Image;
  textureSlot = CreateTexture(image.Width, image.Height, image.Format, image.Pixels.data());
  return true;
}

}  // namespace

bool LoadTexture(const std::string& imageFileName, GLuint& textureSlot, bool fromResource) {
  return UploadImage(textures::ReadImage(imageFileName, fromResource, LargestTextureSide), textureSlot);
}

bool LoadBMPTexture(const std::string& imageFileName, GLuint& textureSlot, bool fromResource) {
  return UploadImage(textures::ReadBMPImage(imageFileName, fromResource, LargestTextureSide), textureSlot);
}

bool LoadJPGTexture(const std::string& imageFileName, GLuint& textureSlot, bool fromResource) {
  return UploadImage(textures::ReadJPGImage(imageFileName, fromResource, LargestTextureSide), textureSlot);
}

bool LoadTGATexture(const std::string& imageFileName, GLuint& textureSlot, bool fromResource) {
  return UploadImage(textures::ReadTGAImage(imageFileName, fromResource, LargestTextureSide), textureSlot);
}

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
