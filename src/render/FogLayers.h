#pragma once
// --fog-layers: fog volumes (level/FogVolumes.h) tint each pixel by the distance its ray travels
// inside them up to the surface, seen from outside and inside, where the per-vertex fog of
// render/Fog.h interpolates across a large face and a pit of fog reads as a strip.
#include <vector>

#include "level/Q3BSP.h"

// Each volume as thin layers facing the eye at growing depths, every layer cut to the brush's sides
// and drawn only in front of what is already there (the depth test): a pixel collects the layers
// between where its ray enters the volume and its surface. A layer's alpha is what its slice of
// fog takes along the ray through that vertex (the slice is thicker off the view's axis), so that
// s units inside leave FogLayerShare(s / distance) of the fog colour to within a step. Nothing for
// a frame without perspective. Leaves the depth, blend, texture and matrix state as it found them.
void DrawFogLayers(const std::vector<TFogVolume>& fogs, const TVector& eye);

// The state both fog overlays (the layers and --world-fog's haze) draw in: untextured, both sides,
// tested against the depth but not writing it, blended by alpha; under a glPushAttrib, so that
// the drawer's glPopAttrib gives the frame its own state back.
void PushFogBlendState();

// The share of the fog colour after `fraction` of the fog's opaque distance inside it:
// 1 - 255^-fraction, so that at the opaque distance less than one step of 255 shows through.
float FogLayerShare(double fraction);

// The most layers a volume gets; fewer when its depth in view is under kFogLayers steps of the
// thinnest slice (the opaque distance over kFogLayers).
inline constexpr int kFogLayers = 64;
