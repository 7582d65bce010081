// makefont: renders the heads-up font atlas font.tga from a TrueType font.
//
//   makefont FONT.ttf OUTPUT.tga
//
// The atlas is 128 x 256 pixels: 16 x 16 cells of 8 x 16 pixels. Character code c sits in cell
// c - 1 (code 0 in the last cell), cell g in column g mod 16 and row g div 16. The viewer draws
// each character 8 pixels wide and 16 high, so a cell of exactly that size maps one texel to one
// pixel: no mipmap level is mixed in, and thin strokes survive. Glyphs are rendered without
// anti-aliasing because the viewer keeps only texels whose alpha is above 0.6; alpha is 255 on
// the glyph and 0 elsewhere, colour is white. Codes 128 to 255 are taken as Latin-1; control
// codes stay empty.
// The file is a 32-bit uncompressed TGA whose first stored row is the top row of the atlas (the
// top of the first glyph row), marked as top-left origin for other viewers.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr int kCellWidth = 8;
constexpr int kCellHeight = 16;
constexpr int kAtlasWidth = 16 * kCellWidth;
constexpr int kAtlasHeight = 16 * kCellHeight;
// DejaVu Sans Mono advances 0.6 em, so 13 pixels gives an 8-pixel advance and lines a little
// under 16 pixels high.
constexpr int kPixelSize = 13;

bool Printable(unsigned code) { return (code >= 33 && code <= 126) || code >= 161; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: makefont FONT.ttf OUTPUT.tga\n");
    return 2;
  }
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, argv[1], 0, &face) != 0 ||
      FT_Set_Pixel_Sizes(face, 0, kPixelSize) != 0) {
    std::fprintf(stderr, "makefont: cannot open %s\n", argv[1]);
    return 1;
  }

  const int ascender = static_cast<int>(face->size->metrics.ascender >> 6);
  const int descender = static_cast<int>(-face->size->metrics.descender >> 6);
  // The baseline sits so that ascender and descender share the cell's spare rows evenly.
  const int baseline = ascender + (kCellHeight - ascender - descender) / 2;

  std::vector<std::uint8_t> alpha(kAtlasWidth * kAtlasHeight, 0);
  for (unsigned code = 0; code < 256; ++code) {
    if (!Printable(code)) continue;
    if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
    const FT_GlyphSlot glyph = face->glyph;
    const unsigned cell = (code + 255) % 256;
    const int cellX = static_cast<int>(cell % 16) * kCellWidth;
    const int cellY = static_cast<int>(cell / 16) * kCellHeight;
    // Centre the advance in the cell; a monospaced font's advance is the cell's width.
    const int advance = static_cast<int>(glyph->advance.x >> 6);
    const int left = (kCellWidth - advance) / 2 + glyph->bitmap_left;
    const int top = baseline - glyph->bitmap_top;
    for (unsigned row = 0; row < glyph->bitmap.rows; ++row) {
      for (unsigned column = 0; column < glyph->bitmap.width; ++column) {
        const int x = left + static_cast<int>(column);
        const int y = top + static_cast<int>(row);
        if (x < 0 || x >= kCellWidth || y < 0 || y >= kCellHeight) continue;
        // One bit per pixel, most significant bit first.
        const std::uint8_t bits = glyph->bitmap.buffer[static_cast<int>(row) * glyph->bitmap.pitch +
                                                       static_cast<int>(column / 8)];
        if (bits & (0x80 >> (column % 8))) alpha[(cellY + y) * kAtlasWidth + cellX + x] = 255;
      }
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);

  std::vector<std::uint8_t> file(18, 0);
  file[2] = 2;  // uncompressed true-colour
  file[12] = kAtlasWidth & 255;
  file[13] = kAtlasWidth >> 8;
  file[14] = kAtlasHeight & 255;
  file[15] = kAtlasHeight >> 8;
  file[16] = 32;
  file[17] = 0x28;  // 8 alpha bits, first row at the top
  for (std::uint8_t a : alpha) {
    // Blue, green, red, alpha.
    file.insert(file.end(), {255, 255, 255, a});
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) {
    std::fprintf(stderr, "makefont: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
