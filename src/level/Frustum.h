#pragma once
// The six planes of the view volume, taken from the matrix that maps the level to clip space, and
// boxes tested against them. Pure arithmetic, so that --at and the fuzzers cull without a GL; the
// matrix the GL holds now is render/Frustum.h's (CurrentClipMatrix).
#include <array>

#include "genom/genom.h"
#include "level/DrawLists.h"

// ax + by + cz + d >= 0 on the inner side; normalised so that d is a distance in level units.
struct TPlane {
  float A = 0, B = 0, C = 0, D = 0;
};

struct TFrustum {
  std::array<TPlane, 6> Planes;  // left, right, bottom, top, near, far
  bool Valid = false;            // false when the matrix gave a plane that is not a number
};

enum class TBoxSide { Outside, Inside, Across };

// Column-major 4 x 4 matrices, as the GL stores them.
using TMatrix = std::array<float, 16>;
TMatrix Multiply(const TMatrix& a, const TMatrix& b);

// The planes of clip = matrix x (x, y, z, 1): -w <= x, y, z <= w.
TFrustum FrustumOf(const TMatrix& clipFromLevel);

// Outside: wholly on the outer side of one plane (nothing of it can reach the picture). Inside:
// wholly within all six. Across: the rest, including boxes that merely come near a corner. An
// invalid frustum keeps everything (Inside); an empty box is Outside.
TBoxSide Classify(const TFrustum& frustum, const TBox& box);

// The frame's view as the viewer sets it (everything on the projection matrix): the perspective of
// fovDegrees over aspect with the near and far planes at 5 and 20000, pitch about X, yaw about Z,
// the camera at the origin.
TMatrix ViewMatrix(const TVector& eye, float yawDegrees, float pitchDegrees, double fovDegrees, double aspect);
