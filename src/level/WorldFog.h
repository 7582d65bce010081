#pragma once
// The haze a level's worldspawn asks for with its "fog" key ("0.15 0.3 0.3 0.3 0.8": density,
// red, green, blue and optionally alpha), drawn over every opaque surface by its distance from
// the eye (--world-fog, render/WorldFog.h). Pure.
#include <optional>
#include <string>
#include <vector>

#include "level/Entities.h"

struct TWorldFog {
  float Density = 0;  // per 64 units; 0: no haze
  float Colour[3] = {0, 0, 0};
  // The most of the fog colour a pixel takes, reached far away and over the sky (1: the far
  // distance is all fog; less lets the sky box show through).
  float Alpha = 1;

  // The share of the fog colour at `distance` units from the eye:
  // Alpha x (1 - exp(-(Density x distance / 64)^2)), 0 for no haze or a distance not above 0.
  float Cover(double distance) const;
  // The distance at which Cover reaches `share` (of 0 .. Alpha); 0 for no haze.
  double DistanceOf(float share) const;
};

// The worldspawn's "fog" key. Nothing without one; nothing and a warning when it is not four or
// five finite numbers, density above 0 (up to 64), colour and alpha from 0 to 1.
std::optional<TWorldFog> ReadWorldFog(const std::vector<TEntity>& entities, std::vector<std::string>& warnings);
