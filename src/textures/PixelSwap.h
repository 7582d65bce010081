#pragma once
// The red/blue exchange of the BMP and TGA decoders, which store blue first.
#include <cstddef>
#include <cstdint>

// Exchanges the first and third byte of each of the first `count` 3-byte pixels.
void SwapRedBlue(std::uint8_t* pixels, std::size_t count);

// Writes one pixel with its first and third bytes exchanged; bytesPerPixel is 3 or 4.
void CopyPixelSwapped(const std::uint8_t* source, std::uint8_t* destination, int bytesPerPixel);
