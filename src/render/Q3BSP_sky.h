#pragma once
// The sky of a level drawn with its shader scripts: a box around the eye behind every surface, and
// the sky shader's cloud stages over it as a dome.
#include <GL/gl.h>

#include <array>

#include "genom/genom.h"
#include "level/Q3BSP.h"

struct TShadedFrame;  // render/ShaderStages.h

// The cloud dome's radius of curvature, in level units: the cloud layer lies on a sphere this much
// plus cloudheight around a centre this far below the eye, so it is flat overhead and falls toward
// the horizon; its coordinates repeat every kCloudTile units on that sphere.
inline constexpr float kCloudEarthRadius = 4096.0f;
inline constexpr float kCloudTile = 1024.0f;

// Fills every pixel that no surface covered with the far box's six images, then the sky shader's
// stages (with this frame's values, ShaderStages.h) as cloud layers, all centred on the eye;
// nothing when the load found no sky. The cloud layers only within `cloudArea` (x, y, width,
// height in the window: where sky faces are seen; none when it is empty). Leaves the depth state,
// culling and the matrix mode as it found them.
void DrawSky(const TLevelShading& shading, TShadedFrame& frame, const TVector& eye,
             const std::array<GLint, 4>& cloudArea);

// The cloud layer's coordinates in the direction (a unit vector) from the eye, at cloud height h.
TTexCoord CloudCoords(const TVector& direction, float height);
