#include "camera/CameraClass.h"

#include <GL/gl.h>

#include <cmath>
#include <numbers>

#include "window/Input.h"

TCamera Camera{};

void InitCamera(TCamera& camera, float x, float y, float z, float yaw, float pitch) {
  camera.X = x;
  camera.Y = y;
  camera.Z = z;
  camera.Yaw = yaw;
  camera.Pitch = pitch;
}

void ApplyCameraTransform(const TCamera& camera) {
  glRotatef(camera.Pitch, 1.0f, 0.0f, 0.0f);
  glRotatef(camera.Yaw, 0.0f, 0.0f, 1.0f);
  glTranslatef(-camera.X, -camera.Y, -camera.Z);
}

TVector GetViewDirection() {
  // With the model-view matrix at identity, the third and fourth rows of the projection matrix
  // together give the eye's forward axis in world space; perspective scale and translation drop
  // out in the normalisation.
  GLfloat m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  TVector direction{m[2] + m[3], m[6] + m[7], m[10] + m[11]};
  Normalize(direction);
  return direction;
}

void MoveCamera(TCamera& camera, float distance) {
  const TVector direction = GetViewDirection();
  camera.X += direction.X * distance;
  camera.Y += direction.Y * distance;
  camera.Z += direction.Z * distance;
}

void StrafeCamera(TCamera& camera, float distance) {
  // Extended precision for the angle, as the movement was tuned with it; the result is the
  // opposite of the screen-right direction (cos Yaw, -sin Yaw, 0).
  const long double theta =
      -(static_cast<long double>(camera.Yaw) + 180.0L) * std::numbers::pi_v<long double> / 180.0L;
  camera.X = static_cast<float>(camera.X + std::cos(theta) * distance);
  camera.Y = static_cast<float>(camera.Y + std::sin(theta) * distance);
}

void MouseLook(TCamera& camera) {
  const platform::TPoint cursor = platform::GetCursorPos();
  platform::SetCursorPos(MouseHomeX, MouseHomeY);
  camera.Yaw = static_cast<float>(camera.Yaw + (cursor.X - MouseHomeX) * MouseDegreesPerPixel);
  camera.Pitch = static_cast<float>(camera.Pitch + (cursor.Y - MouseHomeY) * MouseDegreesPerPixel);
}
