#pragma once
// Texture-coordinate changes of a shader stage (tcMod), evaluated at a time into one affine
// matrix: s' = A s + B t + C, t' = D s + E t + F. The changes apply in the order written, each to
// the coordinates the one before it made. Pure.
#include <cstdint>
#include <vector>

#include "shaders/Waves.h"

namespace shaders {

struct TTexMatrix {
  float A = 1, B = 0, C = 0;
  float D = 0, E = 1, F = 0;
  bool operator==(const TTexMatrix&) const = default;
};

// `second` applied after `first`.
TTexMatrix Then(const TTexMatrix& first, const TTexMatrix& second);

enum class TTcModKind : std::uint8_t { Scroll, Scale, Rotate, Turb, Stretch, Transform };

struct TTcMod {
  TTcModKind Kind = TTcModKind::Scroll;
  // Scroll: s and t per second; Scale: s and t factors; Rotate: degrees per second (positive
  // turns the picture clockwise); Transform: m00 m01 m10 m11 t0 t1.
  float Values[6] = {0, 0, 0, 0, 0, 0};
  // Turb: base, amplitude, phase and frequency (the form is sin); Stretch: the whole wave.
  TWave Wave;
  bool operator==(const TTcMod&) const = default;
};

// One change at `seconds`. Scroll, rotation and turbulence only ever move by less than a whole
// turn or texture: their offsets are reduced to the fraction (a texture repeats), so that a long
// time or a huge speed costs no precision; numbers that are not finite count as 0. A stretch by a
// wave near 0 is limited to 1024 times.
TTexMatrix TcModMatrix(const TTcMod& mod, double seconds);

// All of a stage's changes, in order, at `seconds`.
TTexMatrix StageTexMatrix(const std::vector<TTcMod>& mods, double seconds);

// The matrix for coordinates whose t runs the other way (the level's surface coordinates, whose
// t the load negates): flip, apply, flip back.
TTexMatrix FlippedT(const TTexMatrix& m);

// The matrix as OpenGL's column-major 4 x 4 texture matrix.
void ToGLMatrix(const TTexMatrix& m, float out[16]);

}  // namespace shaders
