#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "camera/CameraClass.h"
#include "window/Input.h"
#include "window/OffscreenContext.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// The projection a frame holds while it moves the camera: perspective, then the camera transform.
void BuildFrameProjection(const TCamera& camera) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(80.0, static_cast<double>(kWidth) / static_cast<double>(kHeight), 5.0, 20000.0);
  glMatrixMode(GL_PROJECTION);
  glViewport(0, 0, kWidth, kHeight);
  glPushMatrix();
  ApplyCameraTransform(camera);
}

void EndFrameProjection() { glPopMatrix(); }

class CameraTest : public ::testing::Test {
 protected:
  platform::TOffscreenGLContext Context{kWidth, kHeight};
  TCamera Cam{};
};

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

TEST_F(CameraTest, InitCameraStoresTheFiveValuesInOrder) {
  InitCamera(Cam, 200, 500, 700, 0, 180);
  EXPECT_EQ(Cam.X, 200.0f);
  EXPECT_EQ(Cam.Y, 500.0f);
  EXPECT_EQ(Cam.Z, 700.0f);
  EXPECT_EQ(Cam.Yaw, 0.0f);
  EXPECT_EQ(Cam.Pitch, 180.0f);
}

TEST_F(CameraTest, ViewDirectionFollowsPitchAndYaw) {
  InitCamera(Cam, 200, 500, 700, 0, 180);
  BuildFrameProjection(Cam);
  TVector start = GetViewDirection();
  EndFrameProjection();
  EXPECT_NEAR(start.X, 0.0f, 1e-6f);
  EXPECT_NEAR(start.Y, 0.0f, 1e-6f);
  EXPECT_NEAR(start.Z, 1.0f, 1e-6f);

  // (-sin p sin y, -sin p cos y, -cos p) for a spread of poses, including ones past 360 degrees.
  for (float pitch : {270.0f, 200.0f, -45.0f, 400.0f}) {
    for (float yaw : {0.0f, 30.0f, -120.0f, 725.0f}) {
      InitCamera(Cam, -300, 12, 40000, yaw, pitch);
      BuildFrameProjection(Cam);
      const TVector v = GetViewDirection();
      EndFrameProjection();
      const double p = Radians(pitch), y = Radians(yaw);
      EXPECT_NEAR(v.X, -std::sin(p) * std::sin(y), 1e-5) << pitch << " " << yaw;
      EXPECT_NEAR(v.Y, -std::sin(p) * std::cos(y), 1e-5) << pitch << " " << yaw;
      EXPECT_NEAR(v.Z, -std::cos(p), 1e-5) << pitch << " " << yaw;
    }
  }
}

TEST_F(CameraTest, PitchLevelFliesForwardAlongYAndRightAlongX) {
  InitCamera(Cam, 10, 20, 30, 0, 270);
  BuildFrameProjection(Cam);
  MoveCamera(Cam, 15.0f);  // W
  EXPECT_NEAR(Cam.X, 10.0f, 1e-4f);
  EXPECT_NEAR(Cam.Y, 35.0f, 1e-4f);
  EXPECT_EQ(Cam.Z, 30.0f);
  StrafeCamera(Cam, -15.0f);  // D
  EXPECT_NEAR(Cam.X, 25.0f, 1e-4f);
  EXPECT_NEAR(Cam.Y, 35.0f, 1e-4f);
  EXPECT_EQ(Cam.Z, 30.0f);
  StrafeCamera(Cam, 15.0f);  // A
  EXPECT_NEAR(Cam.X, 10.0f, 1e-4f);
  EXPECT_EQ(Cam.Z, 30.0f);
  MoveCamera(Cam, -15.0f);  // S; the matrix still holds the pose the frame started with
  EXPECT_NEAR(Cam.Y, 20.0f, 1e-4f);
  EndFrameProjection();
}

TEST_F(CameraTest, LookingUpTheZAxisMovesOnlyZAndStrafesInThePlane) {
  InitCamera(Cam, 200, 500, 700, 0, 180);
  BuildFrameProjection(Cam);
  MoveCamera(Cam, 3.0f);
  EndFrameProjection();
  EXPECT_NEAR(Cam.X, 200.0f, 1e-4f);
  EXPECT_NEAR(Cam.Y, 500.0f, 1e-4f);
  EXPECT_NEAR(Cam.Z, 703.0f, 1e-4f);

  for (float yaw : {0.0f, 90.0f, 33.0f, -200.0f}) {
    Cam.Yaw = yaw;
    const TCamera before = Cam;
    StrafeCamera(Cam, 7.0f);
    const double y = Radians(yaw);
    EXPECT_NEAR(Cam.X - before.X, -std::cos(y) * 7.0, 1e-3) << yaw;
    EXPECT_NEAR(Cam.Y - before.Y, std::sin(y) * 7.0, 1e-3) << yaw;
    EXPECT_EQ(Cam.Z, before.Z);
  }
}

// What "forward" and "right" mean on screen: the point ahead lands in the middle of the picture,
// and the point the D key moves towards lands right of it.
TEST_F(CameraTest, ForwardIsTheScreenCentreAndRightIsTheRightSide) {
  InitCamera(Cam, 50, -80, 10, 30, 270);
  BuildFrameProjection(Cam);
  GLdouble projection[16], modelview[16];
  GLint viewport[4];
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  glGetIntegerv(GL_VIEWPORT, viewport);
  const TVector forward = GetViewDirection();
  TCamera strafed = Cam;
  StrafeCamera(strafed, -1.0f);
  EndFrameProjection();
  const TVector right{strafed.X - Cam.X, strafed.Y - Cam.Y, strafed.Z - Cam.Z};

  GLdouble sx, sy, sz;
  gluProject(Cam.X + 100 * forward.X, Cam.Y + 100 * forward.Y, Cam.Z + 100 * forward.Z, modelview,
             projection, viewport, &sx, &sy, &sz);
  EXPECT_NEAR(sx, kWidth / 2.0, 1e-3);
  EXPECT_NEAR(sy, kHeight / 2.0, 1e-3);
  gluProject(Cam.X + 100 * forward.X + 10 * right.X, Cam.Y + 100 * forward.Y + 10 * right.Y,
             Cam.Z + 100 * forward.Z, modelview, projection, viewport, &sx, &sy, &sz);
  EXPECT_GT(sx, kWidth / 2.0 + 5);
  EXPECT_NEAR(sy, kHeight / 2.0, 1e-3);
  // +Z is at the top of the screen when looking level.
  gluProject(Cam.X + 100 * forward.X, Cam.Y + 100 * forward.Y, Cam.Z + 10, modelview, projection,
             viewport, &sx, &sy, &sz);
  EXPECT_GT(sy, kHeight / 2.0 + 5);
}

class FakeCursor {
 public:
  FakeCursor() {
    Previous = platform::SetCursorSource({[this] { return Position; },
                                          [this](platform::TPoint p) {
                                            Position = p;
                                            Moves.push_back(p);
                                          }});
  }
  ~FakeCursor() { platform::SetCursorSource(std::move(Previous)); }
  platform::TPoint Position;
  std::vector<platform::TPoint> Moves;

 private:
  platform::TCursorSource Previous;
};

TEST(MouseLookTest, OnePixelTurnsThreeTenthsOfADegreeAndTheCursorGoesHome) {
  FakeCursor cursor;
  TCamera cam{};
  InitCamera(cam, 0, 0, 0, 10, 180);

  cursor.Position = {160, 120};
  MouseLook(cam);
  EXPECT_EQ(cam.Yaw, 10.0f);
  EXPECT_EQ(cam.Pitch, 180.0f);

  cursor.Position = {161, 119};
  MouseLook(cam);
  EXPECT_FLOAT_EQ(cam.Yaw, 10.3f);
  EXPECT_FLOAT_EQ(cam.Pitch, 179.7f);

  // The farthest left and up the screen allows, and a long way right and down.
  cursor.Position = {0, 0};
  MouseLook(cam);
  EXPECT_FLOAT_EQ(cam.Yaw, 10.3f - 48.0f);
  EXPECT_FLOAT_EQ(cam.Pitch, 179.7f - 36.0f);
  cursor.Position = {1183, 887};
  MouseLook(cam);
  EXPECT_FLOAT_EQ(cam.Yaw, 10.3f - 48.0f + 306.9f);
  EXPECT_FLOAT_EQ(cam.Pitch, 179.7f - 36.0f + 230.1f);

  ASSERT_EQ(cursor.Moves.size(), 4u);
  for (const platform::TPoint& p : cursor.Moves) {
    EXPECT_EQ(p.X, 160);
    EXPECT_EQ(p.Y, 120);
  }
}

}  // namespace
