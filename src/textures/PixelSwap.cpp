// The red/blue exchange the loaders share; no GL here, so the decoders stay usable without it.
#include "textures/PixelSwap.h"

void SwapRedBlue(std::uint8_t* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* pixel = pixels + 3 * i;
    const std::uint8_t first = pixel[0];
    pixel[0] = pixel[2];
    pixel[2] = first;
  }
}

void CopyPixelSwapped(const std::uint8_t* source, std::uint8_t* destination, int bytesPerPixel) {
  destination[0] = source[2];
  destination[1] = source[1];
  destination[2] = source[0];
  if (bytesPerPixel == 4) destination[3] = source[3];
}
