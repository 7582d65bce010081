#include "gl/PrintText.h"

#include <GL/gl.h>

void PrintText(const std::string& text, float advance, float height) {
  constexpr float cell = 1.0f / 16.0f;
  glBegin(GL_QUADS);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned code = static_cast<unsigned char>(text[i]);
    // A space draws nothing but still takes its place in the line.
    if (code == 32) continue;
    // The atlas starts at code 1; code 0 wraps round to the last cell.
    const unsigned glyph = (code + 255) % 256;
    const float u = static_cast<float>(glyph % 16) / 16.0f;
    const float v = static_cast<float>(glyph / 16) / 16.0f;
    const float x0 = static_cast<float>(i) * advance;
    const float x1 = static_cast<float>(i + 1) * advance;
    glTexCoord2f(u, v + cell);
    glVertex3f(x0, 0.0f, 0.0f);
    glTexCoord2f(u + cell, v + cell);
    glVertex3f(x1, 0.0f, 0.0f);
    glTexCoord2f(u + cell, v);
    glVertex3f(x1, height, 0.0f);
    glTexCoord2f(u, v);
    glVertex3f(x0, height, 0.0f);
  }
  glEnd();
}
