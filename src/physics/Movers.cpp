// Triggers read from the entities: class, brush model, target; and what touching one does.
#include "physics/Movers.h"

#include <cmath>
#include <numbers>
#include <string_view>

#include "physics/Player.h"
#include "physics/VectorMath.h"

namespace physics {
namespace {

// The origin and angle of the first entity named `name` ("targetname"), when it has an origin.
bool FindTarget(const std::vector<TEntity>& entities, const std::string& name, TVector& origin, float& angle) {
  for (const TEntity& entity : entities) {
    const std::string* targetName = FindValue(entity, "targetname");
    if (!targetName || *targetName != name) continue;
    const std::string* originText = FindValue(entity, "origin");
    const std::optional<TVector> at = originText ? ParseThreeNumbers(*originText) : std::nullopt;
    if (!at) continue;
    origin = *at;
    const std::string* angleText = FindValue(entity, "angle");
    angle = angleText ? ParseNumber(*angleText).value_or(0.0f) : 0.0f;
    return true;
  }
  return false;
}

bool Overlaps(const TBox& a, const TBox& b) {
  return a.Mins.X <= b.Maxs.X && a.Maxs.X >= b.Mins.X && a.Mins.Y <= b.Maxs.Y &&
         a.Maxs.Y >= b.Mins.Y && a.Mins.Z <= b.Maxs.Z && a.Maxs.Z >= b.Mins.Z;
}

}  // namespace

TMovers::TMovers(const std::vector<TEntity>& entities, const std::vector<TBSPModel>& models) {
  for (const TEntity& entity : entities) {
    const std::string className = ClassNameOf(entity);
    if (className.rfind("trigger_", 0) != 0) continue;
    const std::string* model = FindValue(entity, "model");
    if (!model || model->size() < 2 || (*model)[0] != '*') continue;
    const std::optional<float> number = ParseNumber(std::string_view(*model).substr(1));
    if (!number || *number < 1 || *number >= static_cast<float>(models.size())) continue;
    const TBSPModel& record = models[static_cast<std::size_t>(*number)];
    TMover mover;
    mover.ClassName = className;
    mover.FirstBrush = record.FirstBrush;
    mover.BrushCount = record.NumBrushes;
    mover.Bounds = {record.Mins, record.Maxs};
    if (className == "trigger_push") mover.Kind = TMover::TKind::Push;
    if (className == "trigger_teleport") mover.Kind = TMover::TKind::Teleport;
    if (const std::string* target = FindValue(entity, "target"))
      mover.HasTarget = FindTarget(entities, *target, mover.Target, mover.TargetAngle);
    Movers.push_back(mover);
  }
}

bool LaunchVelocity(const TVector& from, const TVector& target, TVector& velocity) {
  const float height = target.Z - from.Z;
  if (!(height > 0)) return false;
  // Rising to a stop takes t = sqrt(2h / g) at an upward speed of g t; sideways at constant speed.
  const float time = std::sqrt(2 * height / kGravity);
  velocity = {(target.X - from.X) / time, (target.Y - from.Y) / time, kGravity * time};
  return IsFinite(velocity);
}

std::string TMovers::Touch(const TCollisionWorld& world, TPlayer& player, bool& pushed,
                           bool& teleported) const {
  std::string touched;
  const TBox box = BodyBox(player);
  const TBox at{player.Origin + box.Mins, player.Origin + box.Maxs};
  for (const TMover& mover : Movers) {
    if (!Overlaps(at, mover.Bounds) ||
        !world.BoxTouchesBrushes(player.Origin, box, mover.FirstBrush, mover.BrushCount))
      continue;
    touched = mover.ClassName;
    if (mover.Kind == TMover::TKind::Push && mover.HasTarget &&
        LaunchVelocity(player.Origin, mover.Target, player.Velocity)) {
      player.OnGround = false;
      pushed = true;
    } else if (mover.Kind == TMover::TKind::Teleport && mover.HasTarget) {
      const float angle = mover.TargetAngle * std::numbers::pi_v<float> / 180;
      player.Origin = mover.Target + TVector{0, 0, 1};
      player.Velocity = TVector{std::cos(angle), std::sin(angle), 0} * kTeleportSpeed;
      player.Yaw = mover.TargetAngle;
      player.OnGround = false;
      teleported = true;
      return touched;  // somewhere else now: the other triggers are not where it stands
    }
  }
  return touched;
}

}  // namespace physics
