#pragma once
// deformVertexes of shader scripts: the positions of a face's vertices moved at a time, computed
// on the processor for the faces that have them. Pure: vertex arrays in, vertex arrays out.
#include <cstdint>
#include <span>

#include "genom/genom.h"
#include "shaders/Waves.h"

namespace shaders {

enum class TDeformKind : std::uint8_t { Wave, Bulge, Move, Normal, AutoSprite, AutoSprite2 };

struct TDeform {
  TDeformKind Kind = TDeformKind::Wave;
  // Wave: the spread (div, world units per cycle; 0: every vertex in step) and the wave along the
  // normal. Move: the direction (x y z) scaled by the wave. Normal: amplitude and frequency of the
  // normals' wobble, in Wave.Amplitude and Wave.Frequency.
  float Spread = 0;
  TWave Wave;
  TVector Direction{0, 0, 0};
  // Bulge: width (radians per unit of s), height (units) and speed (radians per second).
  float BulgeWidth = 0, BulgeHeight = 0, BulgeSpeed = 0;
  bool operator==(const TDeform& o) const {
    return Kind == o.Kind && Spread == o.Spread && Wave == o.Wave && Direction.X == o.Direction.X &&
           Direction.Y == o.Direction.Y && Direction.Z == o.Direction.Z && BulgeWidth == o.BulgeWidth &&
           BulgeHeight == o.BulgeHeight && BulgeSpeed == o.BulgeSpeed;
  }
};

// The vertices of one face as a deform reads them; `positions` is read and written in place
// (several deforms apply one after the other), `normals` likewise for the normal wobble.
struct TDeformFace {
  std::span<TVector> Positions;
  std::span<TVector> Normals;
  std::span<const TTexCoord> TexCoords;  // s as stored, for bulge
};

// Wave, bulge, move and normal at `seconds`. Each vertex costs a constant time; values that are
// not finite leave the vertex where it was.
void ApplyDeform(const TDeform& deform, double seconds, const TDeformFace& face);

// autosprite: each group of four vertices (a quad, in the face's order) turned about its centre
// to face the eye, keeping its size and the up direction of the level as far as it can.
// autosprite2: each quad turned about its long axis only, like a beam. Vertices after the last
// whole group of four are left as they were.
void AutoSprite(std::span<TVector> positions, const TVector& eye, bool aboutLongAxis);

}  // namespace shaders
