#include "level/WorldFog.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

// A density this high hazes everything beyond a unit; more says nothing new.
constexpr float kMostDensity = 64;
constexpr double kUnits = 64;  // the density is per this many units

}  // namespace

float TWorldFog::Cover(double distance) const {
  if (!(Density > 0) || !(distance > 0)) return 0;
  const double x = static_cast<double>(Density) * distance / kUnits;
  return static_cast<float>(static_cast<double>(Alpha) * (1 - std::exp(-x * x)));
}

double TWorldFog::DistanceOf(float share) const {
  if (!(Density > 0) || !(Alpha > 0)) return 0;
  const double fraction = std::clamp(static_cast<double>(share) / static_cast<double>(Alpha), 0.0, 1.0 - 1e-9);
  return std::sqrt(-std::log(1 - fraction)) * kUnits / static_cast<double>(Density);
}

std::optional<TWorldFog> ReadWorldFog(const std::vector<TEntity>& entities, std::vector<std::string>& warnings) {
  const std::string* text = nullptr;
  for (const TEntity& entity : entities)
    if (ClassNameOf(entity) == "worldspawn") {
      text = FindValue(entity, "fog");
      break;
    }
  if (!text) return std::nullopt;
  std::istringstream in(*text);
  std::vector<float> values;
  float v = 0;
  while (values.size() < 6 && in >> v) values.push_back(v);
  const bool read = (in.eof() || values.size() == 6) && values.size() >= 4 && values.size() <= 5;
  const bool finite = std::all_of(values.begin(), values.end(), [](float x) { return std::isfinite(x); });
  const bool units = std::all_of(values.begin() + std::min<std::ptrdiff_t>(1, std::ssize(values)), values.end(),
                                 [](float x) { return x >= 0 && x <= 1; });
  if (!read || !finite || !units || !(values[0] > 0 && values[0] <= kMostDensity)) {
    warnings.push_back("worldspawn fog '" + text->substr(0, 64) +
                       "' is not a density (above 0, up to 64), red, green, blue and an optional alpha (0 to 1); no haze");
    return std::nullopt;
  }
  TWorldFog fog;
  fog.Density = values[0];
  for (int c = 0; c < 3; ++c) fog.Colour[c] = values[static_cast<std::size_t>(c) + 1];
  if (values.size() == 5) fog.Alpha = values[4];
  return fog;
}
