#pragma once
// The heads-up text: one line drawn from the program's 16 x 16-glyph bitmap font.
#include <string>

// Draws one line of text as textured quads from a 16 x 16-glyph font, starting at the current
// origin and running along +x; sets no state of its own.
void PrintText(const std::string& text, float advance, float height);
