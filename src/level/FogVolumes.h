#pragma once
// The level's fog volumes: the fogs lump (12) names a shader and a brush for each; the brush's
// sides (lumps 8 and 9, planes of lump 2) bound a convex volume. Read only with --shaders, and
// checked on their own: a broken record costs its fog, with a problem, never the level. Pure.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "level/Q3BSP.h"

// A level keeps at most this many fogs and sides per fog; records past them are refused.
inline constexpr std::size_t kMostFogs = 256;
inline constexpr std::size_t kMostFogSides = 64;

// The volumes of the fogs lump, in lump order, the index of each fog record kept (a face's
// EffectIndex names it): a fog whose record cannot be used has an empty Planes list and one line
// in `problems` ("Fog 2: brush 900 outside the 40 brushes").
std::vector<TFogVolume> ReadFogVolumes(std::span<const std::uint8_t> bytes,
                                       const std::array<TBSPLump, kLumpCount>& lumps,
                                       std::span<const TBSPPlane> planes,
                                       std::vector<std::string>& problems);

// The length of the segment from a to b that lies inside the volume (0 for an empty volume).
float DistanceInside(const TFogVolume& fog, const TVector& a, const TVector& b);
