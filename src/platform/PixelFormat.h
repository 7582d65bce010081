#pragma once
// The pixel-format request of the window, in the layout of the 40-byte descriptor the program was
// designed around, and the stand-in for choosing a format for it.
#include <cstdint>

namespace platform {

struct TPixelFormatDescriptor {
  std::uint16_t nSize;
  std::uint16_t nVersion;
  std::uint32_t dwFlags;
  std::uint8_t iPixelType;
  std::uint8_t cColorBits;
  std::uint8_t cRedBits, cRedShift, cGreenBits, cGreenShift, cBlueBits, cBlueShift;
  std::uint8_t cAlphaBits, cAlphaShift;
  std::uint8_t cAccumBits, cAccumRedBits, cAccumGreenBits, cAccumBlueBits, cAccumAlphaBits;
  std::uint8_t cDepthBits, cStencilBits, cAuxBuffers;
  std::uint8_t iLayerType, bReserved;
  std::uint32_t dwLayerMask, dwVisibleMask, dwDamageMask;
};
static_assert(sizeof(TPixelFormatDescriptor) == 40);

inline constexpr std::uint32_t PFD_DOUBLEBUFFER = 1;
inline constexpr std::uint32_t PFD_DRAW_TO_WINDOW = 4;
inline constexpr std::uint32_t PFD_SUPPORT_OPENGL = 32;

// The device context of a window; opaque to everything but the window code.
using TDeviceContext = void*;

// Picks a format index for the request (1-based; 0 = none). The windows this program makes always
// get double buffering, RGBA and a 24-bit depth buffer, whatever the request says.
int ChoosePixelFormat(TDeviceContext dc, const TPixelFormatDescriptor* pfd);

}  // namespace platform
