#pragma once
// The viewer: a position and two view angles, free-flight movement and mouse look.
#include "genom/genom.h"

// Position in level units, angles in degrees. The angles are never wrapped or clamped.
// X, Y and Z come first and in this order: they are the position handed to the renderer.
struct TCamera {
  float X, Y, Z;
  float Yaw;    // about the Z axis; the horizontal mouse axis turns it
  float Pitch;  // about the X axis; the vertical mouse axis turns it
};
static_assert(sizeof(TCamera) == 20);

// Where the design's viewer starts, and the benchmark's flight without spawn points.
inline constexpr TCamera kStartPose{200, 500, 700, 0, 180};

// The one camera of the program; all zero until InitCamera places it.
extern TCamera Camera;

// The fixed point the cursor is brought back to after every mouse look, in screen pixels.
inline constexpr int MouseHomeX = 160;
inline constexpr int MouseHomeY = 120;
// Degrees of turn per pixel of mouse travel.
inline constexpr double MouseDegreesPerPixel = 0.3;

void InitCamera(TCamera& camera, float x, float y, float z, float yaw, float pitch);

// The unit view direction, read back from the current projection matrix. Valid while that
// matrix holds exactly the perspective followed by the camera transform (pitch about X, yaw
// about Z, translation) and the model-view matrix is the identity, as the frame arranges it.
TVector GetViewDirection();

// Applies the view transform to the current matrix: Pitch about (1, 0, 0), then Yaw about
// (0, 0, 1), then the translation by (-X, -Y, -Z).
void ApplyCameraTransform(const TCamera& camera);

// Moves along the view direction, vertical part included; negative distances move back.
void MoveCamera(TCamera& camera, float distance);

// Moves sideways in the XY plane: positive to the left, negative to the right. Z is kept.
void StrafeCamera(TCamera& camera, float distance);

// Turns by the cursor's offset from (160, 120) at 0.3 degrees per pixel, then moves the cursor
// back there. Right turns right; down tilts the view towards -Z.
void MouseLook(TCamera& camera);
