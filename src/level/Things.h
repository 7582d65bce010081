#pragma once
// The level's things in the model: entities read and placed, the models lump, brush models and
// the leaves a box touches, the marking of visible brush models, and the poses that look at a
// thing. Pure: no GL. The lumps read here are not part of the level check (ParseBSP): a lump that
// lies outside the file or a record that points outside what it indexes is a warning, and the
// thing is skipped; the level loads all the same.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "level/LevelFile.h"
#include "level/Q3BSP.h"
#include "level/SpawnPoints.h"

// The entity lump's text up to its first NUL; empty (with a warning) when it lies outside the file.
std::string EntityLumpText(std::span<const std::uint8_t> bytes, const TBSPLump& lump,
                           std::vector<std::string>& warnings);

// The models lump's whole records as written, face runs unchecked (PlanBrushModels warns of them,
// where ReadModels empties them quietly); none (with a warning) when the lump lies outside the
// file. At most kMostModels are kept.
inline constexpr std::size_t kMostModels = 4096;
std::vector<TBSPModel> ReadModelRecords(std::span<const std::uint8_t> bytes, const TBSPLump& lump,
                                        std::vector<std::string>& warnings);

TEntityFamily FamilyOf(std::string_view className);
const char* FamilyName(TEntityFamily family);  // "spawn points", "items", ...

// Every entity that has a place, in entity order: an origin of three finite numbers, or a brush
// model "*N" of the level (the centre of its box, moved by the origin when there is one). An
// origin that is not three numbers or a model outside the level is a warning naming the entity,
// and the entity is skipped (or placed by the other one). worldspawn has no place.
std::vector<TPlacedEntity> PlaceEntities(const std::vector<TEntity>& entities,
                                         const std::vector<TBSPModel>& models,
                                         std::vector<std::string>& warnings);

// The leaves a box touches: descending from the root, each node is left towards every side on
// which at least one of the box's eight corners lies, a corner with n . c - d >= 0 (reduced to a
// float, no epsilon) counting as front, as FindLeaf decides. A descent stops at a child that would
// not come after its parent or lies outside the arrays, and visits each node at most once.
class TBoxDescent {
 public:
  explicit TBoxDescent(const TQuake3BSP& level) : Level(level) {}
  // Appends each leaf the box touches once, in descent order (front side first); returns the
  // number of nodes visited.
  std::size_t Leaves(const TVector& mins, const TVector& maxs, std::vector<std::int32_t>& leaves);

 private:
  const TQuake3BSP& Level;
  std::vector<std::uint32_t> NodeStamps, LeafStamps;  // == Stamp: met in this descent
  std::uint32_t Stamp = 0;
  std::vector<std::int32_t> Stack;
};

// All models' descents together visit at most this many nodes (real levels: a few thousand); the
// models past it are skipped with a warning, so that a hostile file cannot make the load quadratic.
inline constexpr std::size_t kMostBoxVisits = std::size_t{1} << 25;

// Models 1..N with the distinct clusters of the leaves their boxes touch. A model whose faces lie
// outside the level's or whose box is not finite (or inside out) is a warning and is skipped.
std::vector<TBrushModel> PlanBrushModels(const TQuake3BSP& level, const std::vector<TBSPModel>& models,
                                         std::vector<std::string>& warnings);

// Marks the faces of every brush model visible from the position: a model is visible when one of
// its clusters passes the test the world's leaves pass (IsClusterVisible from the camera leaf's
// cluster). Marks nothing when the position lies in no leaf. Returns how many models and faces
// it marked (faces the leaf pass marked too included).
struct TBrushModelMarks {
  std::int32_t Models = 0, Faces = 0;
};
// `visible` keeps the models visible from one camera cluster (indices into Things.BrushModels), so
// that a frame in the same cluster as the last marks them without testing every model against
// every cluster; one per level (the render cache's), made anew when the level is.
struct TVisibleBrushModels {
  std::int32_t Cluster = -2;  // none yet (-1 is the cluster of a leaf outside any)
  std::vector<std::int32_t> Models;
};
TBrushModelMarks MarkBrushModels(TQuake3BSP& level, const TVector& position, TVisibleBrushModels& visible);

// The load step after the level model is complete: the entities read and placed, the models lump
// read and, with options.BrushModels, the brush models planned.
void LoadLevelThings(TQuake3BSP& level, std::span<const std::uint8_t> bytes,
                     const std::array<TBSPLump, kLumpCount>& lumps, const TLevelOptions& options);

// A camera pose: position, and yaw and pitch as TCamera holds them (yaw 0 looks along +Y, 90 along
// +X; pitch 270 is level).
struct TViewPose {
  TVector Eye;
  float Yaw, Pitch;
};

// The height of a standing player's eye over a spawn point's origin.
inline constexpr float kSpawnEyeHeight = 26;
// At the spawn point's eye height, looking the way it faces.
TViewPose SpawnViewPose(const TSpawnPoint& spawn);

// The pose --goto and G frame a thing from (level/Framing.cpp): kFrameBack units back along its
// angle and kFrameUp up (further for a brush entity, to fit its box in the view), looking down
// at it; of the eight headings from its angle on in eighths of a turn, the first whose eye lies
// in the level's sealed space and sees it (SightClear), else the first whose eye lies in that
// space, else the entity's own.
TViewPose PoseLookingAt(const TQuake3BSP& level, const TPlacedEntity& place);

// --goto's ENTITY among the places: an entity index ("37"), a class name ("team_CTF_redflag", the
// first), or a class name and a count from 1 ("item_quad:2"); letter case is ignored in names.
// Nothing, with the reason in `why`, when no place matches.
std::optional<std::size_t> FindPlace(const std::vector<TPlacedEntity>& places, const std::string& target,
                                     std::string& why);

// The place nearest the view direction from the eye (the smallest angle, within 30 degrees), or
// nothing. `direction` need not be of unit length. Only places with markers count when
// `pointsOnly`.
std::optional<std::size_t> PlaceNearestView(const std::vector<TPlacedEntity>& places, const TVector& eye,
                                            const TVector& direction, bool pointsOnly);

// The unit direction a camera with this yaw and pitch looks along.
TVector ViewDirection(float yaw, float pitch);
