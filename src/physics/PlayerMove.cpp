// One step of the player's movement: crouch, water, ground, friction and acceleration, then the
// box slid through the level (stepping up when a low obstacle blocks it), and the triggers.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "physics/Movers.h"
#include "physics/Player.h"
#include "physics/VectorMath.h"

namespace physics {
namespace {

constexpr int kMostBumps = 4;
constexpr int kMostPlanes = 5;
constexpr float kOverbounce = 1.001f;
constexpr float kGroundProbe = 0.25f;  // how far below the feet ground still counts as stood on
constexpr TBox kPoint{{0, 0, 0}, {0, 0, 0}};

struct TMove {
  const TCollisionWorld& World;
  TPlayer& Player;
  TBox Box;
};

void Accelerate(TPlayer& player, const TVector& direction, float wishSpeed, float accelerate) {
  const float add = wishSpeed - Dot(player.Velocity, direction);
  if (add <= 0) return;
  const float speed = std::min(accelerate * kStepSeconds * wishSpeed, add);
  player.Velocity = player.Velocity + direction * speed;
}

void Friction(TPlayer& player) {
  TVector velocity = player.Velocity;
  if (player.OnGround) velocity.Z = 0;  // walking: only the speed along the ground slows
  const float speed = Length(velocity);
  if (speed < 1) {
    player.Velocity.X = player.Velocity.Y = 0;
    return;
  }
  float drop = 0;
  if (player.OnGround && player.WaterLevel <= 1)
    drop += std::max(speed, kStopSpeed) * kFriction * kStepSeconds;
  if (player.WaterLevel > 0) drop += speed * kWaterFriction * static_cast<float>(player.WaterLevel) * kStepSeconds;
  player.Velocity = player.Velocity * (std::max(speed - drop, 0.0f) / speed);
}

// The wished direction along the heading (unit, or zero) and its speed.
float WishDirection(const TPlayer& player, const TMoveInput& input, TVector& direction) {
  const float yaw = player.Yaw * std::numbers::pi_v<float> / 180;
  const TVector forward{std::cos(yaw), std::sin(yaw), 0};
  const TVector right{std::sin(yaw), -std::cos(yaw), 0};
  direction = forward * std::clamp(input.Forward, -1.0f, 1.0f) + right * std::clamp(input.Side, -1.0f, 1.0f);
  const float amount = std::min(Length(direction), 1.0f);
  if (!MakeUnit(direction)) return 0;
  float speed = kGroundSpeed * amount * input.SpeedScale;
  if (player.Crouched) speed *= kCrouchScale;
  return speed;
}

void CategorizeGround(TMove& move) {
  TPlayer& p = move.Player;
  const TTrace trace = move.World.Trace(p.Origin, p.Origin - TVector{0, 0, kGroundProbe}, move.Box);
  p.OnGround = false;
  if (trace.Fraction >= 1 || trace.AllSolid) return;
  // Moving away from the surface (a jump, a jump pad): not standing on it.
  if (p.Velocity.Z > 0 && Dot(p.Velocity, trace.Plane.Normal) > 10) return;
  if (trace.Plane.Normal.Z < kMinGroundNormal) return;
  p.OnGround = true;
  p.Ground = trace;
}

void WaterLevel(TMove& move) {
  TPlayer& p = move.Player;
  p.WaterLevel = 0;
  const float heights[3] = {move.Box.Mins.Z + 1, (move.Box.Mins.Z + move.Box.Maxs.Z) / 2, EyeHeight(p)};
  for (const float height : heights) {
    if ((move.World.BoxContents(p.Origin + TVector{0, 0, height}, kPoint) & kContentsLiquid) == 0) return;
    ++p.WaterLevel;
  }
}

// The box moved along its velocity for one step, sliding along whatever it meets. True when it
// met something.
bool SlideMove(TMove& move, bool gravity) {
  TPlayer& p = move.Player;
  TVector endVelocity = p.Velocity;
  if (gravity) {
    // The step moves at the mean of the speeds before and after it: exact for a constant pull.
    endVelocity.Z -= kGravity * kStepSeconds;
    p.Velocity.Z = (p.Velocity.Z + endVelocity.Z) / 2;
    if (p.OnGround) endVelocity = ClipVelocity(endVelocity, p.Ground.Plane.Normal);
  }
  TVector planes[kMostPlanes];
  int planeCount = 0;
  if (p.OnGround) planes[planeCount++] = p.Ground.Plane.Normal;
  TVector along = p.Velocity;
  if (MakeUnit(along)) planes[planeCount++] = along;
  float timeLeft = kStepSeconds;
  int bump = 0;
  for (; bump < kMostBumps; ++bump) {
    const TTrace trace = move.World.Trace(p.Origin, p.Origin + p.Velocity * timeLeft, move.Box);
    if (trace.AllSolid) {
      p.Velocity.Z = 0;  // stuck inside a brush: nothing moves it sideways
      return true;
    }
    if (trace.Fraction > 0) p.Origin = trace.End;
    if (trace.Fraction >= 1) break;
    timeLeft -= timeLeft * trace.Fraction;
    if (planeCount >= kMostPlanes) {
      p.Velocity = {0, 0, 0};
      return true;
    }
    const TVector normal = trace.Plane.Normal;
    // The same plane again (a float's worth inside it): a nudge out and on.
    bool again = false;
    for (int i = 0; i < planeCount && !again; ++i) again = Dot(normal, planes[i]) > 0.99f;
    if (again) {
      p.Velocity = p.Velocity + normal;
      continue;
    }
    planes[planeCount++] = normal;
    // Along the first plane it runs into; along the crease of two; stopped by three.
    for (int i = 0; i < planeCount; ++i) {
      if (Dot(p.Velocity, planes[i]) >= 0.1f) continue;
      TVector clip = ClipVelocity(p.Velocity, planes[i]);
      TVector endClip = ClipVelocity(endVelocity, planes[i]);
      for (int j = 0; j < planeCount; ++j) {
        if (j == i || Dot(clip, planes[j]) >= 0.1f) continue;
        clip = ClipVelocity(clip, planes[j]);
        endClip = ClipVelocity(endClip, planes[j]);
        if (Dot(clip, planes[i]) >= 0) continue;
        TVector crease = Cross(planes[i], planes[j]);
        if (!MakeUnit(crease)) continue;
        clip = crease * Dot(crease, p.Velocity);
        endClip = crease * Dot(crease, endVelocity);
        for (int k = 0; k < planeCount; ++k) {
          if (k == i || k == j || Dot(clip, planes[k]) >= 0.1f) continue;
          p.Velocity = {0, 0, 0};
          return true;
        }
      }
      p.Velocity = clip;
      endVelocity = endClip;
      break;
    }
  }
  if (gravity) p.Velocity = endVelocity;
  return bump != 0;
}

float Horizontal(const TVector& a, const TVector& b) { return std::hypot(a.X - b.X, a.Y - b.Y); }

// The slide, and when something blocked it, the same slide from kStepHeight higher, set down
// again: the one that went farther is kept.
void StepSlideMove(TMove& move, bool gravity) {
  TPlayer& p = move.Player;
  const TVector startOrigin = p.Origin, startVelocity = p.Velocity;
  if (!SlideMove(move, gravity)) return;
  const TTrace below = move.World.Trace(startOrigin, startOrigin - TVector{0, 0, kStepHeight}, move.Box);
  // Rising with nothing to stand on below: no step.
  if (p.Velocity.Z > 0 && (below.Fraction >= 1 || below.Plane.Normal.Z < kMinGroundNormal)) return;
  const TVector slidOrigin = p.Origin, slidVelocity = p.Velocity;
  const TTrace up = move.World.Trace(startOrigin, startOrigin + TVector{0, 0, kStepHeight}, move.Box);
  if (up.AllSolid) return;
  const float raised = up.End.Z - startOrigin.Z;
  p.Origin = up.End;
  p.Velocity = startVelocity;
  SlideMove(move, gravity);
  const TTrace down = move.World.Trace(p.Origin, p.Origin - TVector{0, 0, raised}, move.Box);
  if (!down.AllSolid) p.Origin = down.End;
  const bool steep = down.Fraction < 1 && down.Plane.Normal.Z < kMinGroundNormal;
  if (steep || Horizontal(p.Origin, startOrigin) <= Horizontal(slidOrigin, startOrigin)) {
    p.Origin = slidOrigin;
    p.Velocity = slidVelocity;
    return;
  }
  if (down.Fraction < 1) p.Velocity = ClipVelocity(p.Velocity, down.Plane.Normal);
}

void GroundMove(TMove& move, const TMoveInput& input) {
  TPlayer& p = move.Player;
  Friction(p);
  TVector direction;
  const float speed = WishDirection(p, input, direction);
  Accelerate(p, direction, speed, kGroundAccelerate);
  // Along the ground at the speed it has, up or down a slope alike.
  const float length = Length(p.Velocity);
  p.Velocity = ClipVelocity(p.Velocity, p.Ground.Plane.Normal);
  TVector along = p.Velocity;
  if (MakeUnit(along)) p.Velocity = along * length;
  if (p.Velocity.X == 0 && p.Velocity.Y == 0) return;
  StepSlideMove(move, false);
  // Down a stair: kept on the ground when it is within a step below.
  const TTrace down = move.World.Trace(p.Origin, p.Origin - TVector{0, 0, kStepHeight}, move.Box);
  if (!down.StartSolid && down.Fraction > 0 && down.Fraction < 1 && down.Plane.Normal.Z >= kMinGroundNormal)
    p.Origin = down.End;
}

void AirMove(TMove& move, const TMoveInput& input) {
  TVector direction;
  const float speed = WishDirection(move.Player, input, direction);
  Accelerate(move.Player, direction, speed, kAirAccelerate);
  StepSlideMove(move, true);
}

// Swimming: no gravity; Space up, C down, and a head under water rises until it is out.
void WaterMove(TMove& move, const TMoveInput& input) {
  TPlayer& p = move.Player;
  Friction(p);
  TVector direction;
  float speed = WishDirection(p, input, direction);
  TVector wish = direction * speed;
  const float vertical = kGroundSpeed * input.SpeedScale;
  wish.Z = input.Jump ? vertical : input.Crouch ? -vertical : p.WaterLevel >= 3 ? 60.0f : 0.0f;
  speed = Length(wish) * kWaterScale;
  if (MakeUnit(wish)) Accelerate(p, wish, speed, kWaterAccelerate);
  SlideMove(move, false);
}

}  // namespace

TVector ClipVelocity(const TVector& velocity, const TVector& normal) {
  float into = Dot(velocity, normal);
  into = into < 0 ? into * kOverbounce : into / kOverbounce;
  return velocity - normal * into;
}

TBox BodyBox(const TPlayer& player) { return player.Crouched ? kCrouchedBox : kStandingBox; }
float EyeHeight(const TPlayer& player) { return player.Crouched ? kCrouchedEye : kStandingEye; }
TVector EyeOf(const TPlayer& player) { return player.Origin + TVector{0, 0, EyeHeight(player)}; }

TPlayer PlayerAtEye(const TVector& eye, float yaw) {
  TPlayer player;
  player.Origin = eye - TVector{0, 0, kStandingEye};
  player.Yaw = yaw;
  return player;
}

void StepPlayer(const TCollisionWorld& world, const TMovers* movers, TPlayer& player,
                const TMoveInput& input, TStepReport* report) {
  if (input.Crouch) {
    player.Crouched = true;
  } else if (player.Crouched && !world.Trace(player.Origin, player.Origin, kStandingBox).StartSolid) {
    player.Crouched = false;  // stands up once there is room
  }
  TMove move{world, player, BodyBox(player)};
  WaterLevel(move);
  CategorizeGround(move);
  if (!input.Jump) player.JumpHeld = false;
  if (player.WaterLevel >= 2) {
    WaterMove(move, input);
  } else if (player.OnGround && input.Jump && !player.JumpHeld) {
    player.Velocity.Z = kJumpSpeed;
    player.OnGround = false;
    player.JumpHeld = true;
    AirMove(move, input);
  } else if (player.OnGround) {
    GroundMove(move, input);
  } else {
    AirMove(move, input);
  }
  CategorizeGround(move);
  if (player.OnGround && player.Velocity.Z < 0) player.Velocity = ClipVelocity(player.Velocity, player.Ground.Plane.Normal);
  if (!movers) return;
  bool pushed = false, teleported = false;
  const std::string touched = movers->Touch(world, player, pushed, teleported);
  if (report) {
    if (!touched.empty()) report->Touched = touched;
    report->Pushed = report->Pushed || pushed;
    report->Teleported = report->Teleported || teleported;
  }
}

}  // namespace physics
