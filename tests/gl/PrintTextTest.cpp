#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gl/PrintText.h"

// ---- A recorder for the immediate-mode calls of PrintText (linked in with --wrap). ----
namespace {

struct TRecordedVertex {
  float S, T;  // the texture coordinate current when the vertex was sent
  float X, Y, Z;
};

struct TRecording {
  std::vector<GLenum> Begins;
  int Ends = 0;
  std::vector<TRecordedVertex> Vertices;
  float S = -1, T = -1;
  bool TexCoordSinceVertex = false;
  bool VertexWithoutTexCoord = false;
};

TRecording Recorded;

}  // namespace

extern "C" {
void __wrap_glBegin(GLenum mode) { Recorded.Begins.push_back(mode); }
void __wrap_glEnd() { ++Recorded.Ends; }
void __wrap_glTexCoord2f(GLfloat s, GLfloat t) {
  Recorded.S = s;
  Recorded.T = t;
  Recorded.TexCoordSinceVertex = true;
}
void __wrap_glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  if (!Recorded.TexCoordSinceVertex) Recorded.VertexWithoutTexCoord = true;
  Recorded.TexCoordSinceVertex = false;
  Recorded.Vertices.push_back({Recorded.S, Recorded.T, x, y, z});
}
}

namespace {

TRecording Print(const std::string& text, float advance = 8, float height = 16) {
  Recorded = {};
  PrintText(text, advance, height);
  return Recorded;
}

// The four vertices a character at position `index` (0-based) of cell `glyph` must produce.
void ExpectQuad(const TRecording& r, std::size_t quad, int index, int glyph, float advance,
                float height) {
  ASSERT_GE(r.Vertices.size(), 4 * (quad + 1));
  const float u = static_cast<float>(glyph % 16) / 16.0f;
  const float v = static_cast<float>(glyph / 16) / 16.0f;
  const float c = 1.0f / 16.0f;
  const float x0 = index * advance, x1 = (index + 1) * advance;
  const TRecordedVertex expected[4] = {{u, v + c, x0, 0, 0},
                                       {u + c, v + c, x1, 0, 0},
                                       {u + c, v, x1, height, 0},
                                       {u, v, x0, height, 0}};
  for (int k = 0; k < 4; ++k) {
    const TRecordedVertex& got = r.Vertices[4 * quad + k];
    SCOPED_TRACE("quad " + std::to_string(quad) + " vertex " + std::to_string(k + 1));
    EXPECT_FLOAT_EQ(got.S, expected[k].S);
    EXPECT_FLOAT_EQ(got.T, expected[k].T);
    EXPECT_FLOAT_EQ(got.X, expected[k].X);
    EXPECT_FLOAT_EQ(got.Y, expected[k].Y);
    EXPECT_EQ(got.Z, 0.0f);
  }
}

TEST(PrintTextTest, EmptyTextIsOneEmptyQuadsPrimitive) {
  const TRecording r = Print("");
  ASSERT_EQ(r.Begins.size(), 1u);
  EXPECT_EQ(r.Begins[0], static_cast<GLenum>(GL_QUADS));
  EXPECT_EQ(r.Ends, 1);
  EXPECT_TRUE(r.Vertices.empty());
}

TEST(PrintTextTest, SpacesAdvanceWithoutQuads) {
  const TRecording r = Print("  Faces: 7");
  ASSERT_EQ(r.Begins.size(), 1u);
  EXPECT_EQ(r.Ends, 1);
  // F a c e s : 7 = seven quads; positions 0, 1 and 8 are spaces.
  ASSERT_EQ(r.Vertices.size(), 7u * 4u);
  ExpectQuad(r, 0, 2, 'F' - 1, 8, 16);
  EXPECT_FLOAT_EQ(r.Vertices[0].X, 16.0f);
  EXPECT_FLOAT_EQ(r.Vertices[1].X, 24.0f);
  ExpectQuad(r, 5, 7, ':' - 1, 8, 16);
  ExpectQuad(r, 6, 9, '7' - 1, 8, 16);
  EXPECT_FALSE(r.VertexWithoutTexCoord);

  const TRecording gaps = Print("a  b", 10, 20);
  ASSERT_EQ(gaps.Vertices.size(), 8u);
  ExpectQuad(gaps, 0, 0, 'a' - 1, 10, 20);
  ExpectQuad(gaps, 1, 3, 'b' - 1, 10, 20);
}

TEST(PrintTextTest, CodeOneIsCellZeroAndCodeZeroIsTheLastCell) {
  const std::string text{'\x01', 'A', '\x00', '\xff', '\x1f', '\x21'};
  const TRecording r = Print(text, 8, 16);
  ASSERT_EQ(r.Vertices.size(), 6u * 4u);
  ExpectQuad(r, 0, 0, 0, 8, 16);
  ExpectQuad(r, 1, 1, 64, 8, 16);  // column 0, row 4
  EXPECT_FLOAT_EQ(r.Vertices[4].S, 0.0f);
  EXPECT_FLOAT_EQ(r.Vertices[4].T, 5.0f / 16.0f);
  ExpectQuad(r, 2, 2, 255, 8, 16);
  ExpectQuad(r, 3, 3, 254, 8, 16);
  ExpectQuad(r, 4, 4, 30, 8, 16);
  ExpectQuad(r, 5, 5, 32, 8, 16);
}

}  // namespace
