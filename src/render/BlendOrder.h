#pragma once
// --game-stages: the blended surfaces of a frame drawn far to near, so that a glass pane behind
// another is laid down first. Surfaces are whole texture groups (one shader's visible faces,
// drawn in one go); each is placed by the centre of its visible faces' box.
#include <cstdint>
#include <vector>

#include "level/Q3BSP.h"
#include "render/ShaderStages.h"

// The textures of `drawOrder` in the order to draw them: by the distance from `eye` to the centre
// of each group's visible triangles, farthest first (ties and empty groups keep their place).
std::vector<std::int32_t> FarToNear(const TQuake3BSP& level, const TShadedFrame& frame, const TVector& eye,
                                    const std::vector<std::int32_t>& drawOrder);
