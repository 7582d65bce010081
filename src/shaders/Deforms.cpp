// deformVertexes evaluated on the processor.
#include "shaders/Deforms.h"

#include <cmath>

namespace shaders {
namespace {

TVector Add(TVector a, TVector b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
TVector Sub(TVector a, TVector b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
TVector Scaled(TVector a, float k) { return {a.X * k, a.Y * k, a.Z * k}; }
float Dot(TVector a, TVector b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
TVector Cross(TVector a, TVector b) { return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X}; }
float Length(TVector a) { return std::sqrt(Dot(a, a)); }
bool Finite(TVector a) { return std::isfinite(a.X) && std::isfinite(a.Y) && std::isfinite(a.Z); }

// The unit vector along a, or `fallback` when a has no usable length.
TVector Unit(TVector a, TVector fallback) {
  const float length = Length(a);
  return length > 1e-6f && std::isfinite(length) ? Scaled(a, 1 / length) : fallback;
}

void Offset(TVector& position, TVector by) {
  const TVector moved = Add(position, by);
  if (Finite(moved)) position = moved;
}

// One quad of four vertices in place. Its own frame: `across` along its first edge, `along` the
// rest of its plane; the new frame faces the eye.
void TurnQuad(std::span<TVector> quad, const TVector& eye, bool aboutLongAxis) {
  const TVector centre = Scaled(Add(Add(quad[0], quad[1]), Add(quad[2], quad[3])), 0.25f);
  const TVector toEye = Unit(Sub(eye, centre), {1, 0, 0});
  TVector edgeA = Sub(quad[1], quad[0]), edgeB = Sub(quad[2], quad[1]);
  // The side a surface of the level is seen from has its vertices clockwise: the normal points
  // there, and the turned quad shows that side to the eye (the other is culled).
  const TVector normal = Unit(Cross(edgeB, edgeA), {1, 0, 0});
  TVector axisU, axisV;  // the quad's own in-plane frame
  TVector newU, newV;    // where those axes go
  if (aboutLongAxis) {
    // The long axis stays; the short one turns to be square to the eye's direction.
    if (Dot(edgeB, edgeB) > Dot(edgeA, edgeA)) std::swap(edgeA, edgeB);
    axisU = Unit(edgeA, {0, 0, 1});
    axisV = Unit(Cross(normal, axisU), {0, 1, 0});
    newU = axisU;
    newV = Unit(Cross(toEye, axisU), axisV);
  } else {
    // The level's up projected into the quad's plane is the quad's up; the turned quad keeps up
    // as up, seen from the eye.
    const TVector up{0, 0, 1};
    axisV = Unit(Sub(up, Scaled(normal, Dot(up, normal))), Unit(edgeB, {0, 0, 1}));
    axisU = Unit(Cross(axisV, normal), {0, 1, 0});
    newU = Unit(Cross(up, toEye), Unit(Cross(Unit(edgeB, {0, 1, 0}), toEye), {0, 1, 0}));
    newV = Unit(Cross(toEye, newU), up);
  }
  for (TVector& p : quad) {
    const TVector d = Sub(p, centre);
    const TVector turned = Add(centre, Add(Scaled(newU, Dot(d, axisU)), Scaled(newV, Dot(d, axisV))));
    if (Finite(turned)) p = turned;
  }
}

}  // namespace

void ApplyDeform(const TDeform& deform, double seconds, const TDeformFace& face) {
  const std::size_t n = face.Positions.size();
  switch (deform.Kind) {
    case TDeformKind::Wave: {
      const double perUnit = deform.Spread != 0 && std::isfinite(deform.Spread) ? 1.0 / deform.Spread : 0.0;
      for (std::size_t i = 0; i < n && i < face.Normals.size(); ++i) {
        const TVector p = face.Positions[i];
        TWave wave = deform.Wave;
        const double phase = static_cast<double>(wave.Phase) + (static_cast<double>(p.X) + p.Y + p.Z) * perUnit;
        wave.Phase = std::isfinite(phase) ? static_cast<float>(std::fmod(phase, 1e6)) : 0.0f;
        Offset(face.Positions[i], Scaled(face.Normals[i], WaveValue(wave, seconds)));
      }
      return;
    }
    case TDeformKind::Bulge:
      for (std::size_t i = 0; i < n && i < face.Normals.size() && i < face.TexCoords.size(); ++i) {
        double angle = static_cast<double>(face.TexCoords[i].S) * deform.BulgeWidth +
                       seconds * static_cast<double>(deform.BulgeSpeed);
        if (!std::isfinite(angle)) angle = 0;
        const double height = std::sin(std::fmod(angle, 2 * 3.141592653589793)) * deform.BulgeHeight;
        Offset(face.Positions[i], Scaled(face.Normals[i], static_cast<float>(height)));
      }
      return;
    case TDeformKind::Move: {
      const TVector by = Scaled(deform.Direction, WaveValue(deform.Wave, seconds));
      for (TVector& p : face.Positions) Offset(p, by);
      return;
    }
    case TDeformKind::Normal:
      // Each normal leans by a smooth pseudo-random amount that changes with time.
      for (std::size_t i = 0; i < face.Normals.size(); ++i) {
        TVector& normal = face.Normals[i];
        const double x = seconds * static_cast<double>(deform.Wave.Frequency);
        const float a = deform.Wave.Amplitude;
        const TVector lean{a * WaveForm(TWaveForm::Noise, x + i * 0.37), a * WaveForm(TWaveForm::Noise, x + 100 + i * 0.53),
                           a * WaveForm(TWaveForm::Noise, x + 200 + i * 0.71)};
        normal = Unit(Add(normal, lean), normal);
      }
      return;
    case TDeformKind::AutoSprite:
    case TDeformKind::AutoSprite2: return;  // need the eye: AutoSprite
  }
}

void AutoSprite(std::span<TVector> positions, const TVector& eye, bool aboutLongAxis) {
  for (std::size_t first = 0; first + 4 <= positions.size(); first += 4)
    TurnQuad(positions.subspan(first, 4), eye, aboutLongAxis);
}

}  // namespace shaders
