// The calls one frame makes, in order: the table's entries point at recorders, and this program
// puts its own glBindTexture in front of the system's to see the direct binds too.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "gl/OpenGL.h"
#include "render/Q3BSP_render.h"
#include "render/RenderCache.h"
#include "support/TestLevels.h"

namespace {

std::vector<std::string> Log;
std::map<const void*, std::string> PointerNames;

std::string Name(GLenum value) {
  switch (value) {
    case GL_VERTEX_ARRAY: return "GL_VERTEX_ARRAY";
    case GL_TEXTURE_COORD_ARRAY: return "GL_TEXTURE_COORD_ARRAY";
    case GL_TEXTURE_2D: return "GL_TEXTURE_2D";
    case GL_FLOAT: return "GL_FLOAT";
    case GL_TRIANGLE_FAN: return "GL_TRIANGLE_FAN";
    case GL_TRIANGLES: return "GL_TRIANGLES";
    case GL_UNSIGNED_INT: return "GL_UNSIGNED_INT";
    case GL_EQUAL: return "GL_EQUAL";
    case GL_LESS: return "GL_LESS";
    case GL_BLEND: return "GL_BLEND";
    case GL_DST_COLOR: return "GL_DST_COLOR";
    case GL_SRC_COLOR: return "GL_SRC_COLOR";
    default: return std::to_string(value);
  }
}

std::string Name(const void* pointer) {
  const auto found = PointerNames.find(pointer);
  return found != PointerNames.end() ? found->second : "?";
}

}  // namespace

// Calls from the program's own code resolve to this definition; it forwards to the system's.
extern "C" void glBindTexture(GLenum target, GLuint texture) {
  Log.push_back("glBindTexture(" + Name(target) + ", " + std::to_string(texture) + ")");
  using TBind = void (*)(GLenum, GLuint);
  static const auto next = reinterpret_cast<TBind>(dlsym(RTLD_NEXT, "glBindTexture"));
  if (next) next(target, texture);
}

namespace {

class RenderCallOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    Saved = OpenGL;
    Log.clear();
    OpenGL.glEnableClientState = [](GLenum array) {
      Log.push_back("glEnableClientState(" + Name(array) + ")");
    };
    OpenGL.glVertexPointer = [](GLint size, GLenum type, GLsizei stride, const void* pointer) {
      Log.push_back("glVertexPointer(" + std::to_string(size) + ", " + Name(type) + ", " +
                    std::to_string(stride) + ", " + Name(pointer) + ")");
    };
    OpenGL.glTexCoordPointer = [](GLint size, GLenum type, GLsizei stride, const void* pointer) {
      Log.push_back("glTexCoordPointer(" + std::to_string(size) + ", " + Name(type) + ", " +
                    std::to_string(stride) + ", " + Name(pointer) + ")");
    };
    OpenGL.glDrawArrays = [](GLenum mode, GLint first, GLsizei count) {
      Log.push_back("glDrawArrays(" + Name(mode) + ", " + std::to_string(first) + ", " +
                    std::to_string(count) + ")");
    };
    OpenGL.glDrawElements = [](GLenum mode, GLsizei count, GLenum type, const void* indices) {
      Log.push_back("glDrawElements(" + Name(mode) + ", " + std::to_string(count) + ", " +
                    Name(type) + ", " + Name(indices) + ")");
    };
    OpenGL.glDepthFunc = [](GLenum func) { Log.push_back("glDepthFunc(" + Name(func) + ")"); };
    OpenGL.glEnable = [](GLenum cap) { Log.push_back("glEnable(" + Name(cap) + ")"); };
    OpenGL.glDisable = [](GLenum cap) { Log.push_back("glDisable(" + Name(cap) + ")"); };
    OpenGL.glBlendFunc = [](GLenum source, GLenum destination) {
      Log.push_back("glBlendFunc(" + Name(source) + ", " + Name(destination) + ")");
    };
  }
  void TearDown() override {
    OpenGL = Saved;
    PointerNames.clear();
  }

  // Names each face's arrays V<f>, T<f>, L<f> and I<f> in the log.
  static void NameArrays(const TQuake3BSP& level) {
    for (std::size_t f = 0; f < level.Faces.size(); ++f) {
      const std::string n = std::to_string(f);
      PointerNames[level.FaceVertices[f].data()] = "V" + n;
      PointerNames[level.FaceTexCoords[f].data()] = "T" + n;
      PointerNames[level.FaceLightmapCoords[f].data()] = "L" + n;
      if (!level.FaceIndices[f].empty()) PointerNames[level.FaceIndices[f].data()] = "I" + n;
    }
  }

  TOpenGLEntryPoints Saved;
};

std::vector<TVector> Square() { return {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}; }

// Three textures (names 11, 12, 13) and two lightmaps (21, 22). Face 0: polygon with triangles;
// 1: polygon drawn as a fan; 2: a patch; 3: listed by no leaf; 4: texture index out of range;
// 5: no lightmap. Texture 12 has no face at all.
TQuake3BSP SmallLevel() {
  TQuake3BSP level;
  testsupport::SetFaceCount(level, 6);
  const std::int32_t texture[6] = {0, 2, 0, 2, 7, 0};
  const std::int32_t lightmap[6] = {0, 1, 0, 1, 0, -1};
  for (std::size_t f = 0; f < 6; ++f) {
    level.Faces[f].TextureIndex = texture[f];
    level.Faces[f].LightmapIndex = lightmap[f];
  }
  testsupport::SetFaceGeometry(level, 0, Square(), {0, 1, 2, 0, 2, 3});
  testsupport::SetFaceGeometry(level, 1, {{0, 0, 0}, {0, 1, 0}, {1, 2, 0}, {2, 1, 0}, {2, 0, 0}}, {});
  testsupport::SetFaceGeometry(level, 2, Square(), {});
  level.Faces[2].FaceType = 2;
  testsupport::SetFaceGeometry(level, 3, Square(), {});
  testsupport::SetFaceGeometry(level, 4, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {});
  testsupport::SetFaceGeometry(level, 5, Square(), {0, 1, 2, 0, 2, 3});
  testsupport::GroupFaces(level, 3, 2);
  level.SurfaceTextures = {11, 12, 13};
  level.LightmapTextures = {21, 22};
  // One leaf everywhere, lists everything but face 3; no vis data.
  testsupport::AddNode(level, testsupport::AddPlane(level, {1, 0, 0}, 0), -1, -1);
  testsupport::AddLeaf(level, 0, {0, 1, 2, 4, 5, 0});
  return level;
}

TEST_F(RenderCallOrder, OneFrameOfASmallLevel) {
  TQuake3BSP level = SmallLevel();
  TRenderCache cache;
  NameArrays(level);
  const std::vector<std::string> expected = {
      "glEnableClientState(GL_VERTEX_ARRAY)",
      "glEnableClientState(GL_TEXTURE_COORD_ARRAY)",
      "glBindTexture(GL_TEXTURE_2D, 11)",
      "glVertexPointer(3, GL_FLOAT, 0, V0)",
      "glTexCoordPointer(2, GL_FLOAT, 0, T0)",
      "glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, I0)",
      "glVertexPointer(3, GL_FLOAT, 0, V2)",
      "glTexCoordPointer(2, GL_FLOAT, 0, T2)",
      "glVertexPointer(3, GL_FLOAT, 0, V5)",
      "glTexCoordPointer(2, GL_FLOAT, 0, T5)",
      "glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, I5)",
      "glBindTexture(GL_TEXTURE_2D, 12)",
      "glBindTexture(GL_TEXTURE_2D, 13)",
      "glVertexPointer(3, GL_FLOAT, 0, V1)",
      "glTexCoordPointer(2, GL_FLOAT, 0, T1)",
      "glDrawArrays(GL_TRIANGLE_FAN, 0, 5)",
      "glDepthFunc(GL_EQUAL)",
      "glEnable(GL_BLEND)",
      "glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR)",
      "glBindTexture(GL_TEXTURE_2D, 21)",
      "glVertexPointer(3, GL_FLOAT, 0, V0)",
      "glTexCoordPointer(2, GL_FLOAT, 0, L0)",
      "glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, I0)",
      "glVertexPointer(3, GL_FLOAT, 0, V4)",
      "glTexCoordPointer(2, GL_FLOAT, 0, L4)",
      "glDrawArrays(GL_TRIANGLE_FAN, 0, 3)",
      "glBindTexture(GL_TEXTURE_2D, 22)",
      "glVertexPointer(3, GL_FLOAT, 0, V1)",
      "glTexCoordPointer(2, GL_FLOAT, 0, L1)",
      "glDrawArrays(GL_TRIANGLE_FAN, 0, 5)",
      "glDisable(GL_BLEND)",
      "glDepthFunc(GL_LESS)",
  };
  VisibleFaceCount = 99;
  level.RenderLevel({0, 0, 0}, {}, cache);
  EXPECT_EQ(Log, expected);
  EXPECT_EQ(VisibleFaceCount, 4) << "faces 0, 2, 5 and 1; not 3 (hidden) nor 4 (no texture)";
  EXPECT_EQ(level.FaceVisible, (std::vector<std::int32_t>{-1, -1, -1, 0, -1, -1}));

  Log.clear();
  level.RenderLevel({0, 0, 0}, {}, cache);
  EXPECT_EQ(Log, expected) << "second frame";
  EXPECT_EQ(VisibleFaceCount, 4) << "reset every frame";
}

TEST_F(RenderCallOrder, FlagsOfTheLastFrameAreCleared) {
  TQuake3BSP level = SmallLevel();
  TRenderCache cache;
  // Two leaves now: x >= 0 in cluster 0 sees only itself (face 0), x < 0 in cluster -1 sees all.
  level.Nodes[0].Back = -2;
  testsupport::AddLeaf(level, -1, {1, 2, 5});
  level.Leaves[0].NumLeafFaces = 1;
  testsupport::SetVisData(level, 1, 1);
  testsupport::SetVisible(level, 0, 0);
  level.RenderLevel({-1, 0, 0}, {}, cache);
  EXPECT_EQ(VisibleFaceCount, 4);
  level.RenderLevel({1, 0, 0}, {}, cache);
  EXPECT_EQ(VisibleFaceCount, 1);
  EXPECT_EQ(level.FaceVisible, (std::vector<std::int32_t>{-1, 0, 0, 0, 0, 0}));
}

TEST_F(RenderCallOrder, ALevelWithoutNodesBindsButDrawsNothing) {
  TQuake3BSP level = SmallLevel();
  TRenderCache cache;
  level.Nodes.clear();
  level.NodeCount = 0;
  level.FaceVisible.assign(6, -1);  // last frame's flags must not survive
  level.RenderLevel({0, 0, 0}, {}, cache);
  EXPECT_EQ(Log, (std::vector<std::string>{
                     "glEnableClientState(GL_VERTEX_ARRAY)",
                     "glEnableClientState(GL_TEXTURE_COORD_ARRAY)",
                     "glBindTexture(GL_TEXTURE_2D, 11)",
                     "glBindTexture(GL_TEXTURE_2D, 12)",
                     "glBindTexture(GL_TEXTURE_2D, 13)",
                     "glDepthFunc(GL_EQUAL)",
                     "glEnable(GL_BLEND)",
                     "glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR)",
                     "glBindTexture(GL_TEXTURE_2D, 21)",
                     "glBindTexture(GL_TEXTURE_2D, 22)",
                     "glDisable(GL_BLEND)",
                     "glDepthFunc(GL_LESS)",
                 }));
  EXPECT_EQ(VisibleFaceCount, 0);
  EXPECT_EQ(level.FaceVisible, std::vector<std::int32_t>(6, 0));
}

TEST_F(RenderCallOrder, NoLightmapsStillSwitchesTheDepthTestAndBlending) {
  TQuake3BSP level = SmallLevel();
  TRenderCache cache;
  testsupport::GroupFaces(level, 0, 0);
  level.RenderLevel({0, 0, 0}, {}, cache);
  EXPECT_EQ(Log, (std::vector<std::string>{
                     "glEnableClientState(GL_VERTEX_ARRAY)",
                     "glEnableClientState(GL_TEXTURE_COORD_ARRAY)",
                     "glDepthFunc(GL_EQUAL)",
                     "glEnable(GL_BLEND)",
                     "glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR)",
                     "glDisable(GL_BLEND)",
                     "glDepthFunc(GL_LESS)",
                 }));
  EXPECT_EQ(VisibleFaceCount, 0);
}

}  // namespace
