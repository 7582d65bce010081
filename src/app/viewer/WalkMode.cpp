// The viewer's walk mode: the level's collision read when walking starts, the player stepped at
// the fixed step from the keys, the camera put at its eye.
#include "app/viewer/WalkMode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>

#include "app/viewer/ViewModes.h"
#include "app/viewer/frmMain.h"
#include "physics/WalkLevel.h"

namespace app {
namespace {

constexpr float kNoteMs = 2000;
// A frame that took longer (a hitch, a reload) moves the player at most this much: the steps
// never pile up behind a slow frame.
constexpr float kMostStepsMsPerFrame = 200;
constexpr std::uint16_t VK_W = 87, VK_S = 83, VK_A = 65, VK_D = 68;

struct TWalkView {
  bool Used = false;  // V, --walk or the wheel: the heads-up line tells the mode from then on
  bool StartRequested = false;
  std::optional<physics::TWalkLevel> Level;
  bool Walking = false;
  physics::TPlayer Player;
  float PendingMs = 0;
  float WheelFactor = 1;
  std::string Touched;
};

TWalkView Walk;

bool StartWalking(TCamera& camera, TViewerState& state, float now) {
  const auto Note = [&state](const std::string& text, float at) { SetNote(state, text, at + kNoteMs); };
  try {
    Walk.Level = physics::ReadWalkLevel(TLevelFile(state.LevelPath));
  } catch (const std::exception& e) {
    Note(std::string("Cannot walk: ") + e.what(), now);
    return false;
  }
  Walk.Player = physics::PlayerAtEye({camera.X, camera.Y, camera.Z}, 90 - camera.Yaw);
  if (Walk.Level->World.Trace(Walk.Player.Origin, Walk.Player.Origin, physics::kStandingBox).StartSolid) {
    Note("Cannot walk here: the player's box would be inside solid", now);
    return false;
  }
  Walk.Walking = true;
  Walk.PendingMs = 0;
  KeepWalkingPitch(camera);
  return true;
}

}  // namespace

void RequestWalkingAtStart() { Walk.StartRequested = Walk.Used = true; }

bool HandleWalkKey(std::uint16_t key, bool wasDown, TCamera& camera, TViewerState& state, float now) {
  if ((key & 255) != VK_V) return false;
  if (wasDown) return true;
  Walk.Used = true;
  if (Walk.Walking) {
    Walk.Walking = false;
    return true;
  }
  StartWalking(camera, state, now);
  return true;
}

void HandleWheel(int notches) {
  Walk.Used = true;
  Walk.WheelFactor = std::clamp(Walk.WheelFactor * std::pow(kWheelStep, static_cast<float>(notches)),
                                kLeastWheelFactor, kMostWheelFactor);
}

float FlySpeedFactor() { return (Keys[VK_SHIFT] ? kShiftSpeedFactor : 1.0f) * Walk.WheelFactor; }

void MoveFromKeys(float dt, TCamera& camera, TViewerState& state) {
  if (Walk.StartRequested) {
    Walk.StartRequested = false;
    StartWalking(camera, state, CurrentTime);
  }
  if (!Walk.Walking) {
    // Without Shift and the wheel the factor is exactly 1: the design's movement, call for call.
    MoveCameraFromKeys(dt * FlySpeedFactor());
    return;
  }
  physics::TMoveInput input;
  input.Forward = (Keys[VK_W] ? 1.0f : 0.0f) - (Keys[VK_S] ? 1.0f : 0.0f);
  input.Side = (Keys[VK_D] ? 1.0f : 0.0f) - (Keys[VK_A] ? 1.0f : 0.0f);
  input.Jump = Keys[VK_SPACE];
  input.Crouch = Keys[VK_C];
  input.SpeedScale = Keys[VK_SHIFT] ? kShiftSpeedFactor : 1.0f;
  Walk.Player.Yaw = 90 - camera.Yaw;
  Walk.PendingMs = std::min(Walk.PendingMs + std::max(dt, 0.0f), kMostStepsMsPerFrame);
  constexpr float kStepMs = physics::kStepSeconds * 1000;
  physics::TStepReport report;
  for (; Walk.PendingMs >= kStepMs; Walk.PendingMs -= kStepMs)
    physics::StepPlayer(Walk.Level->World, &Walk.Level->Movers, Walk.Player, input, &report);
  Walk.Touched = report.Touched;
  if (report.Teleported) camera.Yaw = 90 - Walk.Player.Yaw;
  const TVector eye = physics::EyeOf(Walk.Player);
  camera.X = eye.X;
  camera.Y = eye.Y;
  camera.Z = eye.Z;
}

void KeepWalkingPitch(TCamera& camera) {
  // 180 looks straight up, 270 level, 360 straight down.
  if (Walk.Walking) camera.Pitch = std::clamp(camera.Pitch, 180.0f, 360.0f);
}

std::string WalkHudText() {
  if (!Walk.Used) return {};
  if (Walk.Walking) return Walk.Touched.empty() ? "  walking" : "  walking, touching " + Walk.Touched;
  char text[64];
  std::snprintf(text, sizeof text, "  flying at %.0f units/s", 150.0 * static_cast<double>(FlySpeedFactor()));
  return text;
}

}  // namespace app
