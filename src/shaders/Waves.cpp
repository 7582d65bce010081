// The wave functions of shader scripts.
#include "shaders/Waves.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace shaders {
namespace {

double Fraction(double x) { return x - std::floor(x); }

// A value in -1 .. 1 for every whole number, the same on every run and machine.
double Lattice(std::int64_t i) {
  std::uint64_t h = static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ull;
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  return static_cast<double>(h >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

// Smoothly interpolated lattice values: continuous, in -1 .. 1, never repeating.
double SmoothNoise(double x) {
  // Beyond 2^52 a double has no fraction left; the lattice is then read at whole numbers.
  const double cell = std::floor(x);
  const double f = x - cell;
  const double w = f * f * (3 - 2 * f);
  const auto i = static_cast<std::int64_t>(std::fmod(cell, 9007199254740992.0));
  return Lattice(i) * (1 - w) + Lattice(i + 1) * w;
}

}  // namespace

std::optional<TWaveForm> WaveFormNamed(std::string_view name) {
  if (name == "sin") return TWaveForm::Sin;
  if (name == "triangle") return TWaveForm::Triangle;
  if (name == "square") return TWaveForm::Square;
  if (name == "sawtooth") return TWaveForm::Sawtooth;
  if (name == "inversesawtooth") return TWaveForm::InverseSawtooth;
  if (name == "noise") return TWaveForm::Noise;
  return std::nullopt;
}

float WaveForm(TWaveForm form, double x) {
  if (!std::isfinite(x)) x = 0;
  if (form == TWaveForm::Noise) return static_cast<float>(SmoothNoise(x));
  const double f = Fraction(x);
  switch (form) {
    case TWaveForm::Sin: return static_cast<float>(std::sin(2 * std::numbers::pi * f));
    case TWaveForm::Triangle:
      return static_cast<float>(f < 0.25 ? 4 * f : f < 0.75 ? 2 - 4 * f : 4 * f - 4);
    case TWaveForm::Square: return f < 0.5 ? 1.0f : -1.0f;
    case TWaveForm::Sawtooth: return static_cast<float>(f);
    case TWaveForm::InverseSawtooth: return static_cast<float>(1 - f);
    case TWaveForm::Noise: break;
  }
  return 0;
}

float WaveValue(const TWave& wave, double seconds) {
  double x = static_cast<double>(wave.Phase) + seconds * static_cast<double>(wave.Frequency);
  if (!std::isfinite(x)) x = 0;
  const double value = static_cast<double>(wave.Base) +
                       static_cast<double>(wave.Amplitude) * WaveForm(wave.Form, x);
  if (std::isfinite(value) && std::fabs(value) < 1e30) return static_cast<float>(value);
  return std::isfinite(wave.Base) ? wave.Base : 0.0f;
}

}  // namespace shaders
