#pragma once
// The level's triggers as they act on the player: jump pads (trigger_push) launch it so that the
// top of its arc is at the pad's target, teleporters (trigger_teleport) move it to their
// misc_teleporter_dest facing that one's angle, and every other trigger is only named when
// touched. Each trigger is a brush model (its "model" key "*N"). Pure.
#include <cstdint>
#include <string>
#include <vector>

#include "level/BrushModels.h"
#include "level/Entities.h"
#include "physics/Collision.h"

namespace physics {

struct TPlayer;

struct TMover {
  enum class TKind { Push, Teleport, Other };
  TKind Kind = TKind::Other;
  std::string ClassName;
  std::int32_t FirstBrush = 0, BrushCount = 0;
  TBox Bounds;                  // the brush model's, from the models lump
  bool HasTarget = false;       // push and teleport: the target entity was found
  TVector Target{0, 0, 0};      // its origin
  float TargetAngle = 0;        // its "angle" (teleport destinations)
};

class TMovers {
 public:
  TMovers() = default;
  TMovers(const std::vector<TEntity>& entities, const std::vector<TBSPModel>& models);
  const std::vector<TMover>& List() const { return Movers; }
  // Acts on the player at its place now; returns the class of the last trigger touched (empty
  // when none) and sets the flags of what was done.
  std::string Touch(const TCollisionWorld& world, TPlayer& player, bool& pushed,
                    bool& teleported) const;

 private:
  std::vector<TMover> Movers;
};

// The velocity that carries a body at `from` up to `target` so that its arc's top is there (none
// when the target is not above).
bool LaunchVelocity(const TVector& from, const TVector& target, TVector& velocity);

}  // namespace physics
