#pragma once
// The few vector operations collision and movement need, on the level's own vector type.
#include <cmath>

#include "genom/genom.h"

namespace physics {

inline TVector operator+(const TVector& a, const TVector& b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
inline TVector operator-(const TVector& a, const TVector& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
inline TVector operator*(const TVector& a, float s) { return {a.X * s, a.Y * s, a.Z * s}; }
inline float Dot(const TVector& a, const TVector& b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
inline TVector Cross(const TVector& a, const TVector& b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
inline float Length(const TVector& a) { return std::sqrt(Dot(a, a)); }
inline bool IsFinite(const TVector& a) {
  return std::isfinite(a.X) && std::isfinite(a.Y) && std::isfinite(a.Z);
}
// The vector scaled to unit length; a zero or non-finite one stays what it is and gives false.
inline bool MakeUnit(TVector& a) {
  const float length = Length(a);
  if (!(length > 1e-6f) || !std::isfinite(length)) return false;
  a = a * (1 / length);
  return true;
}

}  // namespace physics
