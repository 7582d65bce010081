#pragma once
// Screenshots: the frame read back from OpenGL and written as a PNG file (F12 of the viewer, and
// the pictures of the runs without a screen).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace app {

// Writes tightly packed 8-bit RGB pixels as a PNG file. `bottomUp` says the first row in memory
// is the bottom of the picture (OpenGL's order); the file always stores the top row first.
// Raises std::runtime_error("Cannot write PNG file <path>: <reason>").
void WritePNG(const std::string& path, int width, int height,
              std::span<const std::uint8_t> rgbPixels, bool bottomUp);

// The current read buffer's colours, width x height from the lower-left corner, as packed RGB
// rows in OpenGL's bottom-up order.
std::vector<std::uint8_t> ReadFramePixels(int width, int height);

}  // namespace app
