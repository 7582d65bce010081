#pragma once
// The player's body and its movement: the game's figures, a fixed step of 8 ms so that a path is
// the same at any frame rate, sliding along walls and floors, stairs climbed and walked down,
// jumps, crouching, water, and what the level's triggers do to it (physics/Movers.h). Pure.
#include <string>

#include "genom/genom.h"
#include "physics/Collision.h"

namespace physics {

class TMovers;

inline constexpr float kStepSeconds = 0.008f;
inline constexpr TBox kStandingBox{{-15, -15, -24}, {15, 15, 32}};
inline constexpr TBox kCrouchedBox{{-15, -15, -24}, {15, 15, 16}};
inline constexpr float kStandingEye = 26, kCrouchedEye = 12;
inline constexpr float kGravity = 800;          // units/s²
inline constexpr float kGroundSpeed = 320;      // units/s
inline constexpr float kCrouchScale = 0.25f;    // of the ground speed
inline constexpr float kWaterScale = 0.5f;      // of the speed, in water
inline constexpr float kGroundAccelerate = 10, kAirAccelerate = 1, kWaterAccelerate = 4;
inline constexpr float kFriction = 6, kStopSpeed = 100, kWaterFriction = 1;
inline constexpr float kJumpSpeed = 270;        // units/s up
inline constexpr float kStepHeight = 18;
inline constexpr float kMinGroundNormal = 0.7f;  // the least normal z of a surface stood on
inline constexpr float kTeleportSpeed = 400;
// A player put at a spawn point starts this far over it, so that one placed touching a sloped clip
// brush is not stuck in it.
inline constexpr float kSpawnLift = 9;

// What the keys ask for this step.
struct TMoveInput {
  float Forward = 0;  // -1 .. 1: back .. forward along the heading
  float Side = 0;     // -1 .. 1: left .. right
  bool Jump = false;  // held: one jump per press, or upward in water
  bool Crouch = false;
  float SpeedScale = 1;  // the viewer's Shift
};

struct TPlayer {
  TVector Origin{0, 0, 0};  // 24 above the feet, 26 (standing) below the eye
  TVector Velocity{0, 0, 0};
  float Yaw = 0;  // heading in degrees, from +X towards +Y (the entities' "angle")
  bool OnGround = false;
  bool Crouched = false;
  bool JumpHeld = false;
  int WaterLevel = 0;  // 0 dry, 1 feet, 2 waist, 3 head under water
  TTrace Ground;       // the surface stood on, when OnGround
};

// What happened during one step besides moving.
struct TStepReport {
  std::string Touched;  // the class of the last trigger touched, empty when none
  bool Pushed = false, Teleported = false;
};

TBox BodyBox(const TPlayer& player);
float EyeHeight(const TPlayer& player);
TVector EyeOf(const TPlayer& player);

// A standing player whose eye is at `eye`, at rest.
TPlayer PlayerAtEye(const TVector& eye, float yaw = 0);

// One step of kStepSeconds. `movers` may be null (no triggers).
void StepPlayer(const TCollisionWorld& world, const TMovers* movers, TPlayer& player,
                const TMoveInput& input, TStepReport* report = nullptr);

// The vector with its part into the plane's normal taken away (and a little more, so that the
// next sweep along it leaves the plane).
TVector ClipVelocity(const TVector& velocity, const TVector& normal);

}  // namespace physics
