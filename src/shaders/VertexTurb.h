#pragma once
// tcMod turb as the game draws it: each vertex's coordinates ripple by an offset that depends on
// where the vertex is, so that a lava or water surface churns instead of sliding round as one
// picture. A stage's other tcMods stay matrices; only the turbulence differs per vertex. Pure.
#include <vector>

#include "genom/genom.h"
#include "shaders/TexMods.h"

namespace shaders {

// Whether any of the changes is a turbulence.
bool HasTurb(const std::vector<TTcMod>& mods);

// A stage's changes at one time, ready to be applied vertex by vertex.
class TVertexTexMods {
 public:
  // flipT: the coordinates' t runs the other way (the level's surface coordinates, as FlippedT).
  TVertexTexMods(const std::vector<TTcMod>& mods, double seconds, bool flipT);

  // The offset turbulence `mod` gives a vertex at (x, y, z), in the script's s and t: amplitude x
  // sin of (phase + seconds x frequency + the place) cycles, the place being (x + z) / 1024 for s
  // and y / 1024 for t. The base is left out (the shader manual calls it undefined).
  static TTexCoord TurbOffset(float amplitude, double cycle, float x, float y, float z);

  // The coordinates (s, t) of the vertex at `position` after every change.
  TTexCoord Apply(const TVector& position, TTexCoord coords) const;

 private:
  struct TStep {
    bool Turb = false;
    TTexMatrix Matrix;  // the change itself, or nothing for a turbulence
    float Amplitude = 0;
    double Cycle = 0;  // the fraction of phase + seconds x frequency
  };
  std::vector<TStep> Steps;
  bool FlipT = false;
};

}  // namespace shaders
