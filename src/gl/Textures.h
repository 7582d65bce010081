#pragma once
// Turning an image file (TGA, JPEG or BMP) into a mipmapped OpenGL texture.
// A texture slot is a caller-owned name that a successful load overwrites and a failed load
// leaves as it was; a failed load shows one message and creates no texture object.
#include <GL/gl.h>

#include <cstdint>
#include <string>

#include "textures/ImageRead.h"  // the reads the loaders upload, and the EJPEGError they raise

// Picks the loader from the last four characters of the name (".BMP", ".JPG", ".TGA", any case).
bool LoadTexture(const std::string& imageFileName, GLuint& textureSlot, bool fromResource);

// The loaders, reached through LoadTexture. Each returns true with a new texture name in the slot,
// or false after one message. Two failures leave as exceptions instead, with nothing created:
// LoadTGATexture raises platform::EInOutError("Read beyond end of file") for an existing file that
// cannot be read (as platform::EUnreadableFile) or ends inside its 18-byte header; LoadJPGTexture raises EJPEGError when decoding
// fails after the header. With fromResource the image comes from the program's own table
// (textures/TextureResources.h), looked up by the part of the name before its first '.'.
bool LoadBMPTexture(const std::string& imageFileName, GLuint& textureSlot, bool fromResource);
bool LoadJPGTexture(const std::string& imageFileName, GLuint& textureSlot, bool fromResource);
bool LoadTGATexture(const std::string& imageFileName, GLuint& textureSlot, bool fromResource);

// The largest side of a picture the loaders decode: the GL's largest texture (GL_MAX_TEXTURE_SIZE,
// asked once, with a context current) but never above textures::kLargestImageSide (8192). A
// larger picture is refused from its header with the loader's message; nothing is decoded.
std::uint32_t LargestTextureSide();

// Makes a new mipmapped texture from a tightly packed RGB or RGBA buffer whose first row is t = 0;
// any format other than GL_RGBA is taken as GL_RGB. The new texture stays bound.
GLuint CreateTexture(std::uint16_t width, std::uint16_t height, std::uint16_t pixelFormat,
                     const std::uint8_t* pixels);
