#pragma once
// What the entity view draws between and around the level's entities: the target links (an
// entity's "target" naming another's "targetname") and the trigger volumes (the brushes of a
// trigger_* entity's brush model). Pure: read once with the level's things, drawn by
// render/EntityLinks.cpp.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "level/LevelThings.h"
#include "level/Q3BSP.h"

// Every link between places, in the order of the naming place, then of the named one. A name
// carried by many places links to each; at most kMostEntityLinks are kept (a hostile level whose
// every entity names every other stays linear in memory).
inline constexpr std::size_t kMostEntityLinks = 16384;
std::vector<TEntityLink> FindEntityLinks(const std::vector<TEntity>& entities, const std::vector<TPlacedEntity>& places);

// The boxes of the brushes of every placed trigger_* entity with a brush model: each brush's box
// is read from its sides whose planes face along an axis (a trigger brush is a box, as the level
// editor makes it). A model whose brushes cannot be read (records outside their lumps, a brush
// without six axial sides, more than kMostTriggerBrushes in all) gives its model's box instead.
// The boxes move with the entity's origin, as its place does.
inline constexpr std::size_t kMostTriggerBrushes = 4096;
std::vector<TTriggerBox> FindTriggerBoxes(const TQuake3BSP& level, std::span<const std::uint8_t> bytes,
                                          const std::array<TBSPLump, kLumpCount>& lumps);
