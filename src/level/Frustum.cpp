#include "level/Frustum.h"

#include <cmath>
#include <numbers>

namespace {

// A box this close outside a plane is kept: the GL clips in its own rounding, and a face kept in
// vain costs a little time where one dropped in error would cost pixels.
constexpr float kMargin = 0.5f;

TPlane Normalised(float a, float b, float c, float d) {
  const float length = std::sqrt(a * a + b * b + c * c);
  if (!(length > 0) || !std::isfinite(length) || !std::isfinite(d)) return {0, 0, 0, NAN};
  return {a / length, b / length, c / length, d / length};
}

// glRotatef's matrix for a unit axis.
TMatrix Rotation(float degrees, float x, float y, float z) {
  const double radians = degrees * std::numbers::pi / 180.0;
  const auto c = static_cast<float>(std::cos(radians)), s = static_cast<float>(std::sin(radians));
  const float k = 1 - c;
  return {x * x * k + c,     y * x * k + z * s, x * z * k - y * s, 0,
          x * y * k - z * s, y * y * k + c,     y * z * k + x * s, 0,
          x * z * k + y * s, y * z * k - x * s, z * z * k + c,     0,
          0,                 0,                 0,                 1};
}

}  // namespace

TMatrix Multiply(const TMatrix& a, const TMatrix& b) {
  TMatrix out{};
  for (int column = 0; column < 4; ++column)
    for (int row = 0; row < 4; ++row) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[static_cast<std::size_t>(k * 4 + row)] * b[static_cast<std::size_t>(column * 4 + k)];
      out[static_cast<std::size_t>(column * 4 + row)] = sum;
    }
  return out;
}

TFrustum FrustumOf(const TMatrix& m) {
  // Row r of the matrix is (m[r], m[4 + r], m[8 + r], m[12 + r]); -w <= x is row 3 + row 0 >= 0.
  auto row = [&m](int r, int k) { return m[static_cast<std::size_t>(k * 4 + r)]; };
  TFrustum frustum;
  frustum.Valid = true;
  for (int i = 0; i < 6; ++i) {
    const int axis = i / 2;
    const float sign = i % 2 == 0 ? 1.0f : -1.0f;
    TPlane& plane = frustum.Planes[static_cast<std::size_t>(i)];
    plane = Normalised(row(3, 0) + sign * row(axis, 0), row(3, 1) + sign * row(axis, 1),
                       row(3, 2) + sign * row(axis, 2), row(3, 3) + sign * row(axis, 3));
    if (std::isnan(plane.D)) frustum.Valid = false;
  }
  return frustum;
}

TBoxSide Classify(const TFrustum& frustum, const TBox& box) {
  if (box.Empty()) return TBoxSide::Outside;
  if (!frustum.Valid) return TBoxSide::Inside;
  bool inside = true;
  for (const TPlane& p : frustum.Planes) {
    // The corner farthest along the plane's normal, and the one farthest against it.
    const float farthest = p.A * (p.A >= 0 ? box.Max.X : box.Min.X) + p.B * (p.B >= 0 ? box.Max.Y : box.Min.Y) +
                           p.C * (p.C >= 0 ? box.Max.Z : box.Min.Z) + p.D;
    if (farthest < -kMargin) return TBoxSide::Outside;
    const float nearest = p.A * (p.A >= 0 ? box.Min.X : box.Max.X) + p.B * (p.B >= 0 ? box.Min.Y : box.Max.Y) +
                          p.C * (p.C >= 0 ? box.Min.Z : box.Max.Z) + p.D;
    if (nearest < kMargin) inside = false;
  }
  return inside ? TBoxSide::Inside : TBoxSide::Across;
}

TMatrix ViewMatrix(const TVector& eye, float yawDegrees, float pitchDegrees, double fovDegrees, double aspect) {
  // gluPerspective's matrix.
  constexpr double kNear = 5.0, kFar = 20000.0;
  const double f = 1.0 / std::tan(fovDegrees * std::numbers::pi / 360.0);
  TMatrix projection{};
  projection[0] = static_cast<float>(f / aspect);
  projection[5] = static_cast<float>(f);
  projection[10] = static_cast<float>((kFar + kNear) / (kNear - kFar));
  projection[11] = -1;
  projection[14] = static_cast<float>(2 * kFar * kNear / (kNear - kFar));
  TMatrix translation{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -eye.X, -eye.Y, -eye.Z, 1};
  return Multiply(Multiply(Multiply(projection, Rotation(pitchDegrees, 1, 0, 0)), Rotation(yawDegrees, 0, 0, 1)),
                  translation);
}
