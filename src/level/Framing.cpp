// The poses that frame a thing and the lines of sight they are chosen by.
#include "level/Framing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "level/Q3BSP_visibility.h"

namespace {

double Length(double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }

// Yaw and pitch (as TCamera holds them) that look from `eye` at `target`.
void LookAt(const TVector& eye, const TVector& target, float& yaw, float& pitch) {
  const double dx = target.X - eye.X, dy = target.Y - eye.Y, dz = target.Z - eye.Z;
  const double heading = std::atan2(dy, dx) * 180 / std::numbers::pi;       // 0 along +X
  const double down = std::atan2(-dz, std::hypot(dx, dy)) * 180 / std::numbers::pi;  // positive down
  yaw = static_cast<float>(90 - heading);
  pitch = static_cast<float>(270 + down);
}

}  // namespace

bool InSealedSpace(const TQuake3BSP& level, const TVector& point) {
  const std::int32_t leaf = level.FindLeaf(point);
  return leaf >= 0 && static_cast<std::size_t>(leaf) < level.Leaves.size() &&
         level.Leaves[static_cast<std::size_t>(leaf)].Cluster >= 0;
}

bool SightClear(const TQuake3BSP& level, const TVector& from, const TVector& to) {
  const double dx = double{to.X} - from.X, dy = double{to.Y} - from.Y, dz = double{to.Z} - from.Z;
  const double length = Length(dx, dy, dz);
  if (!std::isfinite(length)) return false;
  const std::size_t samples =
      std::clamp<std::size_t>(static_cast<std::size_t>(length / kSightStep) + 1, 1, kMostSightSamples);
  for (std::size_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(samples);
    const TVector point{static_cast<float>(from.X + dx * t), static_cast<float>(from.Y + dy * t),
                        static_cast<float>(from.Z + dz * t)};
    const std::int32_t leaf = level.FindLeaf(point);
    if (leaf == NoLeaf || leaf < 0 || static_cast<std::size_t>(leaf) >= level.Leaves.size()) continue;
    if (level.Leaves[static_cast<std::size_t>(leaf)].Cluster < 0) return false;
  }
  return true;
}

TViewPose PoseLookingAt(const TQuake3BSP& level, const TPlacedEntity& place) {
  // A brush entity's box is fitted in the view: its half diagonal seen within about 35 degrees of
  // the view centre, less than the 40 of the default field's half height.
  const double radius = Length(place.HalfSize.X, place.HalfSize.Y, place.HalfSize.Z);
  const double back = std::max<double>(kFrameBack, radius * 1.6 * kFrameBack / Length(kFrameBack, 0, kFrameUp));
  const double up = back * kFrameUp / kFrameBack;
  std::optional<TViewPose> inside, first;
  for (int eighth = 0; eighth < 8; ++eighth) {
    const double radians = (place.Angle + 45.0 * eighth) * std::numbers::pi / 180;
    TViewPose pose{{static_cast<float>(place.Position.X - back * std::cos(radians)),
                    static_cast<float>(place.Position.Y - back * std::sin(radians)),
                    static_cast<float>(place.Position.Z + up)},
                   0, 0};
    LookAt(pose.Eye, place.Position, pose.Yaw, pose.Pitch);
    if (!first) first = pose;
    if (!InSealedSpace(level, pose.Eye)) continue;
    if (SightClear(level, pose.Eye, place.Position)) return pose;
    if (!inside) inside = pose;
  }
  // No heading sees it: a pose inside the level at least, else the entity's own heading.
  return inside ? *inside : *first;
}

std::optional<std::size_t> PlaceInSight(const TQuake3BSP& level, const std::vector<TPlacedEntity>& places,
                                        const TVector& eye, const TVector& direction, bool triggers) {
  const double length = Length(direction.X, direction.Y, direction.Z);
  if (!(length > 0)) return std::nullopt;
  const double leastCosine = std::cos(30 * std::numbers::pi / 180);
  std::vector<std::pair<double, std::size_t>> candidates;  // (cosine, place), nearest the centre first
  for (std::size_t p = 0; p < places.size(); ++p) {
    if (!triggers && places[p].Family == TEntityFamily::Trigger) continue;
    const double dx = places[p].Position.X - eye.X, dy = places[p].Position.Y - eye.Y,
                 dz = places[p].Position.Z - eye.Z;
    const double distance = Length(dx, dy, dz);
    if (!(distance > 0)) continue;
    const double cosine = (dx * direction.X + dy * direction.Y + dz * direction.Z) / (distance * length);
    if (cosine > leastCosine) candidates.emplace_back(-cosine, p);
  }
  // Each line of sight costs up to kMostSightSamples descents: a level crowded with entities in
  // view has only the kMostSightTests nearest the centre traced.
  const std::size_t traced = std::min(candidates.size(), kMostSightTests);
  std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(traced), candidates.end());
  for (std::size_t i = 0; i < traced; ++i)
    if (SightClear(level, eye, places[candidates[i].second].Position)) return candidates[i].second;
  return std::nullopt;
}
