#pragma once
// Synthetic levels of brushes for the collision and movement tests: boxes and other convex brushes
// written into a level file's lumps, listed by a tree of one node whose two leaves both list every
// world brush (as a real tree lists a brush in each leaf it crosses), with trigger brush models
// and their entities.
#include <cstdint>
#include <string>
#include <vector>

#include "genom/genom.h"
#include "level/Q3BSP.h"

namespace physicstest {

struct TBrushSpec {
  std::vector<TBSPPlane> Planes;  // outward normals
  std::int32_t Texture = 0;
};

struct TBrushLevel {
  // Texture 0 "textures/test/floor" is solid; others added by the tests.
  std::vector<TBSPTexture> Textures;
  std::vector<TBrushSpec> World;
  std::vector<std::vector<TBrushSpec>> Models;  // brush models 1 .. N
  std::string Entities;
  // Raw lumps for hostile cases, written instead of what the brushes give when not empty.
  std::vector<std::int32_t> LeafBrushesOverride;

  TBrushLevel();
  // A solid axis-aligned box.
  static TBrushSpec Box(const TVector& mins, const TVector& maxs, std::int32_t texture = 0);
  // The box with one more side: the plane through `point` with outward `normal` (made unit).
  static TBrushSpec Cut(TBrushSpec box, TVector normal, const TVector& point);
  std::int32_t AddTexture(const std::string& name, std::int32_t contents, std::int32_t flags = 0);
  std::vector<std::uint8_t> Bytes() const;
};

}  // namespace physicstest
