#include "TextureTestSupport.h"

namespace testsupport {

TTexel ReadTexture(GLuint name, GLenum format) {
  TTexel texel;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &texel.Width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &texel.Height);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &texel.InternalFormat);
  const std::size_t channels = format == GL_RGBA ? 4 : 3;
  texel.Pixels.assign(static_cast<std::size_t>(texel.Width) * static_cast<std::size_t>(texel.Height) * channels, 0);
  GLint previous = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &previous);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!texel.Pixels.empty()) glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, texel.Pixels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, previous);
  return texel;
}

void TTextureTest::SetUp() {
  ResetMessages();
  WorkingDir = std::make_unique<testsupport::TScopedWorkingDir>(Dir.Path());
}

void TTextureTest::TearDown() {
  WorkingDir.reset();
  Messages.reset();
}

GLuint TTextureTest::ProbeTextureName() {
  GLuint name = 0;
  glGenTextures(1, &name);
  return name;
}

void TTextureTest::ExpectNoNameBetween(GLuint before, GLuint after) {
  EXPECT_EQ(after, before + 1) << "a texture name was generated in between";
  for (GLuint name = before + 1; name < after; ++name) EXPECT_FALSE(glIsTexture(name)) << name;
}

void TTextureTest::ExpectOneMessage(const std::string& text, const std::string& caption) {
  ASSERT_EQ(Messages->Messages().size(), 1u) << "expected: " << text;
  EXPECT_EQ(Messages->Messages()[0].Text, text);
  EXPECT_EQ(Messages->Messages()[0].Caption, caption);
}

}  // namespace testsupport
