// tcMod as affine matrices.
#include "shaders/TexMods.h"

#include <cmath>
#include <numbers>

namespace shaders {
namespace {

float Finite(double value) { return std::isfinite(value) && std::fabs(value) < 1e30 ? static_cast<float>(value) : 0.0f; }

// The fraction of a texture offset: the picture repeats, so only it matters.
float Wrapped(double offset) {
  if (!std::isfinite(offset)) return 0;
  return static_cast<float>(offset - std::floor(offset));
}

TTexMatrix Translation(float s, float t) { return {1, 0, s, 0, 1, t}; }

// Scaling by (sx, sy) around the texture's centre.
TTexMatrix ScaleAboutCentre(float sx, float sy) { return {sx, 0, 0.5f - 0.5f * sx, 0, sy, 0.5f - 0.5f * sy}; }

TTexMatrix Rotation(double degreesPerSecond, double seconds) {
  // Coordinates turned the other way round turn the picture clockwise (t runs down the picture).
  double degrees = std::fmod(static_cast<double>(Finite(degreesPerSecond * seconds)), 360.0);
  if (!std::isfinite(degrees)) degrees = 0;
  const double a = -degrees * std::numbers::pi / 180.0;
  const float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  // Around (0.5, 0.5).
  return {c, -s, 0.5f - 0.5f * c + 0.5f * s, s, c, 0.5f - 0.5f * s - 0.5f * c};
}

}  // namespace

TTexMatrix Then(const TTexMatrix& m, const TTexMatrix& n) {
  return {n.A * m.A + n.B * m.D, n.A * m.B + n.B * m.E, n.A * m.C + n.B * m.F + n.C,
          n.D * m.A + n.E * m.D, n.D * m.B + n.E * m.E, n.D * m.C + n.E * m.F + n.F};
}

TTexMatrix TcModMatrix(const TTcMod& mod, double seconds) {
  const float* v = mod.Values;
  switch (mod.Kind) {
    case TTcModKind::Scroll:
      return Translation(Wrapped(static_cast<double>(v[0]) * seconds), Wrapped(static_cast<double>(v[1]) * seconds));
    case TTcModKind::Scale: return {Finite(v[0]), 0, 0, 0, Finite(v[1]), 0};
    case TTcModKind::Rotate: return Rotation(v[0], seconds);
    case TTcModKind::Turb: {
      // A swirl: the picture circles with the wave's amplitude as radius, a quarter turn apart in
      // s and t, and the base as a fixed offset.
      TWave s = mod.Wave, t = mod.Wave;
      s.Form = t.Form = TWaveForm::Sin;
      t.Phase = Finite(static_cast<double>(t.Phase) + 0.25);
      return Translation(Wrapped(WaveValue(s, seconds)), Wrapped(WaveValue(t, seconds)));
    }
    case TTcModKind::Stretch: {
      float value = WaveValue(mod.Wave, seconds);
      if (std::fabs(value) < 1.0f / 1024) value = value < 0 ? -1.0f / 1024 : 1.0f / 1024;
      return ScaleAboutCentre(1 / value, 1 / value);
    }
    case TTcModKind::Transform:
      // s' = s m00 + t m10 + t0, t' = s m01 + t m11 + t1.
      return {Finite(v[0]), Finite(v[2]), Finite(v[4]), Finite(v[1]), Finite(v[3]), Finite(v[5])};
  }
  return {};
}

TTexMatrix StageTexMatrix(const std::vector<TTcMod>& mods, double seconds) {
  TTexMatrix m;
  for (const TTcMod& mod : mods) m = Then(m, TcModMatrix(mod, seconds));
  return m;
}

TTexMatrix FlippedT(const TTexMatrix& m) { return {m.A, -m.B, m.C, -m.D, m.E, -m.F}; }

void ToGLMatrix(const TTexMatrix& m, float out[16]) {
  const float matrix[16] = {m.A, m.D, 0, 0, m.B, m.E, 0, 0, 0, 0, 1, 0, m.C, m.F, 0, 1};
  for (int i = 0; i < 16; ++i) out[i] = matrix[i];
}

}  // namespace shaders
