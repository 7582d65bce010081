#pragma once
// Waves of shader scripts (rgbGen wave, alphaGen wave, tcMod stretch, deformVertexes): a function
// of time given as <func> <base> <amplitude> <phase> <frequency>, the value
// base + amplitude * func(phase + time * frequency), func taking its argument in cycles. Pure.
#include <cstdint>
#include <optional>
#include <string_view>

namespace shaders {

enum class TWaveForm : std::uint8_t { Sin, Triangle, Square, Sawtooth, InverseSawtooth, Noise };

struct TWave {
  TWaveForm Form = TWaveForm::Sin;
  float Base = 0, Amplitude = 0, Phase = 0, Frequency = 0;
  bool operator==(const TWave&) const = default;
};

// "sin", "triangle", "square", "sawtooth", "inversesawtooth", "noise" (lower case); nothing else.
std::optional<TWaveForm> WaveFormNamed(std::string_view name);

// The form over one cycle, at x cycles: sin from 0 up; triangle 0, 1 at a quarter, 0 at a half,
// -1 at three quarters; square 1 for the first half, -1 for the second; sawtooth rising from 0
// to 1; inverse sawtooth falling from 1 to 0; noise a smooth pseudo-random value in -1 .. 1.
// Only the fraction of x counts (noise excepted, which never repeats); an x that is not finite
// counts as 0.
float WaveForm(TWaveForm form, double x);

// base + amplitude * form(phase + seconds * frequency). Bounded time whatever the numbers: a
// product that is not finite (a frequency of 1e30 or NaN) is taken as 0, and a result that is
// not finite as base (or 0).
float WaveValue(const TWave& wave, double seconds);

}  // namespace shaders
