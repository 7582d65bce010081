#pragma once
// OpenArena's levels loaded for the visibility and rendering tests and the benchmarks.
#include <memory>
#include <string>
#include <vector>

#include "level/Q3BSP.h"

namespace testsupport {

// A level of pak1-maps.pk3 ("oa_dm4") loaded by LoadBSP inside a temporary working folder that
// has the "lgmp" folder for the lightmap files; with `withSurfaceImages` the folder also shows
// the textures of pak0.pk3 and pak4-textures.pk3. Loaded with `options`. Needs a current GL
// context and the table.
class TRealLevel {
 public:
  explicit TRealLevel(const std::string& mapName, bool withSurfaceImages = false,
                      const TLevelOptions& options = {});
  ~TRealLevel();
  TRealLevel(const TRealLevel&) = delete;
  TRealLevel& operator=(const TRealLevel&) = delete;

  TQuake3BSP Level;
  // Eye positions: the level's player start points, 32 units up.
  std::vector<TVector> SpawnEyes;
  // The angle ("angle" key, degrees from +X towards +Y) of each start point.
  std::vector<float> SpawnAngles;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};

// The level files of pak1-maps.pk3 ("maps/x.bsp"), largest first.
std::vector<std::string> MapsBySize();

// Positions a little in front of polygon faces (their centre moved 16 units along the normal),
// up to `count`, spread over the face list.
std::vector<TVector> PositionsBeforeFaces(const TQuake3BSP& level, std::size_t count);

}  // namespace testsupport
