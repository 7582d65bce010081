#pragma once
// Shared value types and small helpers: the growable arrays of the level model and vector
// normalisation; nothing here draws (the bitmap-font text writer is gl/PrintText.h).
#include <array>
#include <cstdint>
#include <vector>

// Three 32-bit floats: positions, normals, the camera position.
struct TVector {
  float X, Y, Z;
};
static_assert(sizeof(TVector) == 12);

// A pair of texture coordinates (s, t).
struct TTexCoord {
  float S, T;
};
static_assert(sizeof(TTexCoord) == 8);

// Growable arrays; std::vector zero-fills when sized, as the level model expects.
using AGLNrf3 = std::vector<TVector>;
using AGLNrf2 = std::vector<TTexCoord>;
using AGLbyt4 = std::vector<std::array<std::uint8_t, 4>>;

// Scales the vector in place to unit length (a zero vector becomes NaNs).
void Normalize(TVector& vector);
