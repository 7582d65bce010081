#include "gl/OpenGL.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/Library.h"
#include "window/OffscreenContext.h"

namespace {

static_assert(sizeof(TOpenGLEntryPoints) == OpenGLEntryCount * sizeof(void*));

std::array<void*, OpenGLEntryCount> Entries() {
  std::array<void*, OpenGLEntryCount> entries;
  std::memcpy(entries.data(), &OpenGL, sizeof OpenGL);
  return entries;
}

// The OpenGL 1.1 functions the system's gl.h declares: everything before its OpenGL 1.2 section.
std::vector<std::string> GL11FunctionsOfHeader() {
  std::ifstream header("/usr/include/GL/gl.h");
  EXPECT_TRUE(header.good()) << "Mesa's GL/gl.h is needed (libgl-dev)";
  const std::regex declaration(R"(GLAPIENTRY\s+(gl\w+)\s*\()");
  std::set<std::string> names;
  std::string line;
  while (std::getline(header, line) && line.find("OpenGL 1.2") == std::string::npos) {
    std::smatch match;
    if (std::regex_search(line, match, declaration)) names.insert(match[1]);
  }
  return {names.begin(), names.end()};  // std::string compares bytes: ascending byte order
}

class OpenGLTable : public ::testing::Test {
 protected:
  void TearDown() override { UnloadOpenGL(); }
};

}  // namespace

TEST_F(OpenGLTable, NamesAreTheGL11FunctionsInByteOrderThenChoosePixelFormat) {
  const std::vector<std::string> expected = GL11FunctionsOfHeader();
  ASSERT_EQ(expected.size(), 336u);
  ASSERT_EQ(OpenGLEntryNames.size(), 337u);
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(OpenGLEntryNames[i], expected[i]) << i;
  EXPECT_STREQ(OpenGLEntryNames.front(), "glAccum");
  EXPECT_STREQ(OpenGLEntryNames[335], "glViewport");
  EXPECT_STREQ(OpenGLEntryNames[336], "ChoosePixelFormat");
  for (std::size_t i = 1; i < 336; ++i)
    EXPECT_LT(std::strcmp(OpenGLEntryNames[i - 1], OpenGLEntryNames[i]), 0) << OpenGLEntryNames[i];
}

TEST_F(OpenGLTable, LoadsEveryEntryByNameAndUnloadEmptiesIt) {
  for (void* entry : Entries()) EXPECT_EQ(entry, nullptr);
  LoadOpenGL("opengl32.dll");
  const auto loaded = Entries();
  void* library = platform::LoadLibraryA("libGL.so.1");
  ASSERT_NE(library, nullptr);
  for (std::size_t i = 0; i < 336; ++i) {
    EXPECT_NE(loaded[i], nullptr) << OpenGLEntryNames[i];
    EXPECT_EQ(loaded[i], platform::GetProcAddress(library, OpenGLEntryNames[i])) << OpenGLEntryNames[i];
  }
  platform::FreeLibrary(library);
  // The GL library exports no pixel-format call: the platform's stand-in fills entry 337.
  EXPECT_EQ(OpenGL.ChoosePixelFormat, &platform::ChoosePixelFormat);

  UnloadOpenGL();
  for (void* entry : Entries()) EXPECT_EQ(entry, nullptr);
  // A second load after an unload fills the table again.
  LoadOpenGL("OpenGL32.DLL");
  EXPECT_NE(OpenGL.glViewport, nullptr);
}

TEST_F(OpenGLTable, MissingLibraryRaisesAndLeavesTheTableEmpty) {
  LoadOpenGL("opengl32.dll");
  try {
    LoadOpenGL("no-such-gl.dll");
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Could not load OpenGL from no-such-gl.dll");
  }
  for (void* entry : Entries()) EXPECT_EQ(entry, nullptr);
}

TEST_F(OpenGLTable, TheTenCalledEntriesActAsTheirGLFunctions) {
  platform::TOffscreenGLContext context(8, 8);
  LoadOpenGL("opengl32.dll");
  GLint value = 0;

  OpenGL.glEnable(GL_BLEND);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  OpenGL.glDisable(GL_BLEND);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));

  OpenGL.glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
  glGetIntegerv(GL_BLEND_SRC, &value);
  EXPECT_EQ(value, GL_DST_COLOR);
  glGetIntegerv(GL_BLEND_DST, &value);
  EXPECT_EQ(value, GL_SRC_COLOR);

  OpenGL.glDepthFunc(GL_EQUAL);
  glGetIntegerv(GL_DEPTH_FUNC, &value);
  EXPECT_EQ(value, GL_EQUAL);

  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  OpenGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
  OpenGL.glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, 8448.0f);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
  EXPECT_EQ(value, GL_MODULATE);

  // A full-viewport fan drawn from client arrays through the table colours every pixel.
  const GLfloat corners[] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
  const GLfloat coords[] = {0, 0, 1, 0, 1, 1, 0, 1};
  OpenGL.glEnableClientState(GL_VERTEX_ARRAY);
  OpenGL.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  OpenGL.glVertexPointer(3, GL_FLOAT, 0, corners);
  OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, coords);
  void* pointer = nullptr;
  glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
  EXPECT_EQ(pointer, corners);
  glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &pointer);
  EXPECT_EQ(pointer, coords);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor3f(0, 1, 0);
  OpenGL.glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
  std::uint8_t pixel[4] = {};
  glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  EXPECT_EQ(pixel[0], 0);
  EXPECT_EQ(pixel[1], 255);
  glDeleteTextures(1, &texture);
}

TEST(FloatingPoint, StartUpMasksEveryExceptionAndLoadsTheTable) {
  InitOpenGLEntryPoints();
  EXPECT_NE(OpenGL.glEnable, nullptr);
  UnloadOpenGL();
#if defined(__x86_64__) || defined(__i386__)
  unsigned short controlWord = 0;
  asm volatile("fnstcw %0" : "=m"(controlWord));
  // Bit 6 is reserved and always reads back as 1 on current processors.
  EXPECT_EQ(controlWord & ~0x40, 0x133F);
  unsigned int mxcsr = 0;
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
  EXPECT_EQ(mxcsr & 0x1F80u, 0x1F80u);  // all six masks
  EXPECT_EQ(mxcsr & 0x6000u, 0u);       // round to nearest
#endif
  // Faults give infinities and NaNs instead of traps.
  volatile float zero = 0.0f;
  EXPECT_TRUE(std::isinf(1.0f / zero));
  EXPECT_TRUE(std::isnan(zero / zero));
}

TEST(Library, TheDesignsGLLibraryNameMapsToTheSystemOne) {
  EXPECT_EQ(platform::SystemLibraryName("opengl32.dll"), "libGL.so.1");
  EXPECT_EQ(platform::SystemLibraryName("OPENGL32.DLL"), "libGL.so.1");
  EXPECT_EQ(platform::SystemLibraryName("libfoo.so"), "libfoo.so");
  EXPECT_EQ(platform::LoadLibraryA("no-such-library.so"), nullptr);
  EXPECT_EQ(platform::GetProcAddress(nullptr, "glEnable"), nullptr);
  EXPECT_TRUE(platform::FreeLibrary(nullptr));
}
