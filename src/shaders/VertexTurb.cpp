// tcMod turb per vertex.
#include "shaders/VertexTurb.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace shaders {
namespace {

// The ripple repeats every 1024 units of the level: neighbouring vertices of a pool move nearly
// together, the far side of a large one against them.
constexpr double kUnitsPerCycle = 1024;

double Fraction(double x) { return std::isfinite(x) ? x - std::floor(x) : 0.0; }

float Finite(float v) { return std::isfinite(v) && std::fabs(v) < 1e30f ? v : 0.0f; }

}  // namespace

bool HasTurb(const std::vector<TTcMod>& mods) {
  return std::any_of(mods.begin(), mods.end(), [](const TTcMod& m) { return m.Kind == TTcModKind::Turb; });
}

TVertexTexMods::TVertexTexMods(const std::vector<TTcMod>& mods, double seconds, bool flipT) : FlipT(flipT) {
  for (const TTcMod& mod : mods) {
    TStep step;
    if (mod.Kind == TTcModKind::Turb) {
      step.Turb = true;
      step.Amplitude = Finite(mod.Wave.Amplitude);
      step.Cycle = Fraction(Fraction(mod.Wave.Phase) + Fraction(static_cast<double>(mod.Wave.Frequency) * seconds));
    } else {
      step.Matrix = TcModMatrix(mod, seconds);
    }
    Steps.push_back(step);
  }
}

TTexCoord TVertexTexMods::TurbOffset(float amplitude, double cycle, float x, float y, float z) {
  const auto wave = [&](double place) {
    const double turns = Fraction(cycle + Fraction(place / kUnitsPerCycle));
    return static_cast<float>(amplitude * std::sin(turns * 2 * std::numbers::pi));
  };
  return {wave(static_cast<double>(x) + static_cast<double>(z)), wave(static_cast<double>(y))};
}

TTexCoord TVertexTexMods::Apply(const TVector& position, TTexCoord coords) const {
  float s = coords.S, t = FlipT ? -coords.T : coords.T;
  for (const TStep& step : Steps) {
    if (step.Turb) {
      const TTexCoord offset = TurbOffset(step.Amplitude, step.Cycle, position.X, position.Y, position.Z);
      s += offset.S;
      t += offset.T;
      continue;
    }
    const TTexMatrix& m = step.Matrix;
    const float ns = m.A * s + m.B * t + m.C, nt = m.D * s + m.E * t + m.F;
    s = ns;
    t = nt;
  }
  return {Finite(s), FlipT ? -Finite(t) : Finite(t)};
}

}  // namespace shaders
