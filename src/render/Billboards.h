#pragma once
// Billboards (face type 4: flares) of --shaders with --surfaces all: each a square turned to the
// eye at the face's origin, in the face's colour, drawn with its texture's image, added to what is
// behind it and fading with distance.
#include "level/Q3BSP.h"

struct TShadedFrame;  // render/ShaderStages.h

// Half the side of a billboard's square, in level units, and the distance at which it has faded
// out: its colour is scaled by 1 - distance / kFlareFadeDistance.
inline constexpr float kFlareRadius = 16.0f;
inline constexpr float kFlareFadeDistance = 3000.0f;

// Draws the visible billboards of this frame (ShaderStages.h's list), leaving the state as the
// frame has it between passes. A billboard seen from behind its normal, or faded out, is left out.
void DrawBillboards(const TQuake3BSP& level, TShadedFrame& frame, const TVector& eye);
