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

// A cube around the camera, seen from inside, in the level's axes (z up). Looking along +X one sees
// the "ft" image, along +Y "lf", along -X "bk", along -Y "rt"; "up" and "dn" have their bottom edge
// towards +X and -X respectively. Each side: four corners from the image's bottom left, anticlockwise.
// (--joined-sky places the sides as kJoinedSkySides below.)
inline constexpr float kSkyBoxHalfSide = 64.0f;  // every corner is +-64 on each axis
inline constexpr std::array<std::array<float, 12>, 6> kSkySides = {{
    {64, -64, -64, -64, -64, -64, -64, -64, 64, 64, -64, 64},  // rt: -Y
    {-64, -64, -64, -64, 64, -64, -64, 64, 64, -64, -64, 64},  // bk: -X
    {-64, 64, -64, 64, 64, -64, 64, 64, 64, -64, 64, 64},  // lf: +Y
    {64, 64, -64, 64, -64, -64, 64, -64, 64, 64, 64, 64},  // ft: +X
    {64, 64, 64, 64, -64, 64, -64, -64, 64, -64, 64, 64},  // up: +Z
    {-64, 64, -64, -64, -64, -64, 64, -64, -64, 64, 64, -64},  // dn: -Z
}};

// The sides as their images' own edges join: turning right one sees rt, ft, lf, bk, and the edge
// of up that meets rt's top (its bottom edge) is the one towards +X, as is dn's top edge. So rt
// looks along +X, ft along -Y, lf along -X and bk along +Y; up and dn stay where they were.
inline constexpr std::array<std::array<float, 12>, 6> kJoinedSkySides = {{
    kSkySides[3],  // rt: +X
    kSkySides[2],  // bk: +Y
    kSkySides[1],  // lf: -X
    kSkySides[0],  // ft: -Y
    kSkySides[4],
    kSkySides[5],
}};

// Fills every pixel that no surface covered with the far box's six images, then the sky shader's
// stages (with this frame's values, ShaderStages.h) as cloud layers, all centred on the eye;
// nothing when the load found no sky. The cloud layers only within `cloudArea` (x, y, width,
// height in the window: where sky faces are seen; none when it is empty). Leaves the depth state,
// culling and the matrix mode as it found them.
void DrawSky(const TLevelShading& shading, TShadedFrame& frame, const TVector& eye,
             const std::array<GLint, 4>& cloudArea);

// The cloud layer's coordinates in the direction (a unit vector) from the eye, at cloud height h.
TTexCoord CloudCoords(const TVector& direction, float height);
