#pragma once
// --world-fog: the worldspawn's haze (level/WorldFog.h) laid over what the frame drew so far, by
// each pixel's distance from the eye; pixels nothing covered (the sky) take the haze's most.
#include "level/WorldFog.h"

// The haze as thin layers facing the eye at growing distances, each drawn only in front of what
// is already there (the depth test) and blended toward the fog colour by what its step adds, so
// that a pixel at distance d ends with Cover(d) of the fog colour to within one step. Nothing for
// a frame without perspective or a fog without density. Leaves the depth, blend, texture and
// matrix state as it found them.
void DrawWorldFog(const TWorldFog& fog);

// The number of layers: the haze's steps, each at most 1/kWorldFogLayers of the fog colour.
inline constexpr int kWorldFogLayers = 48;
