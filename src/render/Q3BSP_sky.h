#pragma once
// The sky of a level drawn with its shader scripts: a box around the eye behind every surface.
#include "genom/genom.h"
#include "level/Q3BSP.h"

// Fills every pixel that no surface covered with the sky box (the far box's six images, or the
// cloud image tiled twice per side), centred on the eye; nothing when the load found no sky.
// Leaves the depth state, culling and the matrix mode as it found them.
void DrawSky(const TLevelShading& shading, const TVector& eye);
