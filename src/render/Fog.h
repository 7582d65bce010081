#pragma once
// Fog volumes of --shaders: the opaque surfaces seen through a fog, inside it or behind it, are
// blended toward the fog's colour by the distance the eye's ray travels inside the volume.
#include "level/Q3BSP.h"

struct TShadedFrame;  // render/ShaderStages.h

// Over the opaque surfaces this frame drew (before the blended ones): for each fog volume, the
// visible faces whose rays from the eye may cross it get a second, untextured draw in the fog's
// colour with alpha min(1, distance inside / fogparms' distance) per vertex. Leaves the state as
// the frame has it between passes.
void DrawFog(const TQuake3BSP& level, TShadedFrame& frame, const TVector& eye);

// The fog's alpha for a vertex seen from the eye: the distance inside over the distance to opaque,
// limited to 0 .. 1.
float FogAlpha(const TFogVolume& fog, const TVector& eye, const TVector& vertex);
