#pragma once
// Seeing a thing: whether a straight line between two points stays in the level's open space,
// the pose that frames an entity (--goto, G), and the entity in sight at the view centre.
// Pure: the tree's leaves decide, nothing is drawn.
#include <cstddef>
#include <optional>
#include <vector>

#include "level/Things.h"

// How far back and how far up --goto and G stand from a point entity; a brush entity's box
// moves them back further, to fit it in the view.
inline constexpr float kFrameBack = 96, kFrameUp = 48;

// True when every point of the segment from `from` to `to`, sampled every kSightStep units (at
// most kMostSightSamples samples, spread evenly beyond that), lies in a leaf of a cluster: in
// the level's sealed space, not in a wall or the void outside. A point in no leaf at all (a level
// without a tree) does not block. The end point itself is not tested: an item's origin may lie a
// little inside the floor it stands on.
inline constexpr float kSightStep = 4;
inline constexpr std::size_t kMostSightSamples = 4096;
bool SightClear(const TQuake3BSP& level, const TVector& from, const TVector& to);

// True when the point lies in a leaf of a cluster.
bool InSealedSpace(const TQuake3BSP& level, const TVector& point);

// The place, among those within 30 degrees of the view direction and in sight of the eye, with
// the smallest angle to it (ties: the first); triggers (invisible in play) only with `triggers`.
// Only the kMostSightTests places nearest the view centre are traced.
inline constexpr std::size_t kMostSightTests = 64;
std::optional<std::size_t> PlaceInSight(const TQuake3BSP& level, const std::vector<TPlacedEntity>& places,
                                        const TVector& eye, const TVector& direction, bool triggers);
