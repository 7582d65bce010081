#pragma once
// Shared by the texture tests: the pixel tests' headless GL context (support/PixelTest.h), a
// temporary working folder, captured messages, and textures read back from GL.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/ImageWriters.h"
#include "support/PixelTest.h"
#include "support/TestSupport.h"

namespace testsupport {

struct TTexel {
  int Width = 0;
  int Height = 0;
  GLint InternalFormat = 0;
  TBytes Pixels;  // level 0, tightly packed, first row t = 0
};

// Level 0 of texture `name` in `format` (GL_RGB or GL_RGBA).
TTexel ReadTexture(GLuint name, GLenum format);

// A texture test runs in a temporary working folder with messages captured and a GL context current.
class TTextureTest : public TPixelTest {
 protected:
  TTextureTest() : TPixelTest(16, 16) {}
  void SetUp() override;
  void TearDown() override;

  // Writes a file into the working folder.
  void Write(const std::string& name, const TBytes& bytes) { testsupport::WriteFile(Dir / name, bytes); }

  // Generates one texture name and never binds it (so no texture object exists for it). Two calls
  // around a failed load give consecutive names only when the load generated none.
  static GLuint ProbeTextureName();

  // Expects that nothing between the two probes generated or bound a texture name.
  static void ExpectNoNameBetween(GLuint before, GLuint after);

  // Forgets the messages captured so far (the old capture must end before the new one starts).
  void ResetMessages() {
    Messages.reset();
    Messages = std::make_unique<testsupport::TMessageCapture>();
  }

  // Expects exactly one message with this text and caption.
  void ExpectOneMessage(const std::string& text, const std::string& caption);

  std::unique_ptr<testsupport::TMessageCapture> Messages;
  testsupport::TTempDir Dir;
  std::unique_ptr<testsupport::TScopedWorkingDir> WorkingDir;
};

}  // namespace testsupport
