#pragma once
// The level editor's way of giving a view (the "angle" key: 0 along +X, counter-clockwise; pitch 0
// level, positive looking down) beside the camera's own (yaw 0 along +Y, 90 along +X; pitch 270
// level, 360 straight down). --view takes the first, --camera the second; Tab shows both.
#include <cmath>

// The camera's yaw for the editor's angle, and back; the editor's angle in [0, 360).
inline float CameraYawOfAngle(float angle) { return 90.0f - angle; }
inline float EditorAngleOfYaw(float yaw) {
  const float angle = std::fmod(90.0f - yaw, 360.0f);
  return angle < 0 ? angle + 360.0f : angle + 0.0f;  // + 0 turns -0 into 0
}

// The camera's pitch for the editor's, and back; the editor's pitch in [-180, 180).
inline float CameraPitchOfEditor(float pitch) { return 270.0f + pitch; }
inline float EditorPitchOfCamera(float pitch) {
  float editor = std::fmod(pitch - 270.0f + 180.0f, 360.0f);
  if (editor < 0) editor += 360.0f;
  return editor - 180.0f + 0.0f;
}
