#pragma once
// Items drawn as their models: which model each item class has in the game data, where the game
// puts an item (dropped onto the floor below it, hovering over it), and the models turned and
// placed in world space, grouped for drawing. Pure: no GL, no files; render/ItemModels.cpp reads
// the models and images and fills the groups' textures.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "level/Md3.h"
#include "level/Things.h"

// A model's surface, skin or image name with A-Z lowered, as names are matched.
std::string LowerModelName(std::string text);
// A surface names its image with or without an extension, and not always the one that exists;
// shaders and images are looked up by the name without it (.tga, .jpg, .png, .jpeg).
std::string WithoutImageExtension(const std::string& name);

// The shader or image name each surface of a model at modelPath is drawn with, in the model's
// order: its default skin's (modelPath without ".md3" and with "_default.skin", when that file
// exists), else the surface's own. A skin that cannot be read adds a warning and counts as none.
std::vector<std::string> SurfaceImageNames(const TMd3Model& model, const std::string& modelPath,
                                           std::vector<std::string>& warnings);

// An item class and its models: the item itself, and what the game draws with it (the sphere
// around a health cross, the ring around a power-up), or null.
struct TItemKind {
  const char* ClassName;
  std::array<const char*, 2> Models;
};

// The item classes of one game family. OpenArena's (which are Quake 3's with Team Arena's) are the
// first and only one so far; a family is a table here.
std::span<const TItemKind> OpenArenaItems();
// The class in the tables, or null for a class that is no item with a model (item_botroam).
const TItemKind* FindItemKind(std::string_view className);

// The model paths of every item the level places (a point entity of an item class), item by item
// and model by model as FindItemKind names them; a path comes again for each item that uses it.
std::vector<const char*> PlacedItemModels(const std::vector<TPlacedEntity>& places);

// The brushes that stop a falling item (those whose texture's contents are solid), read leniently
// from their lumps: a lump outside the file is a warning and no brushes.
struct TSolidBrushes {
  std::vector<std::int32_t> LeafBrushes;
  struct TBrush {
    std::int32_t FirstSide, SideCount;
  };
  std::vector<TBrush> Brushes;      // only the solid ones keep sides; others have SideCount 0
  std::vector<std::int32_t> SidePlanes;
};
TSolidBrushes ReadSolidBrushes(std::span<const std::uint8_t> bytes, const std::array<TBSPLump, kLumpCount>& lumps,
                               std::span<const TBSPTexture> textures, std::vector<std::string>& warnings);

// How far the game lets an item fall, the half height of its box, and how far its model hovers
// over where the box rests (the middle of its bob).
inline constexpr float kItemDropDistance = 4096, kItemHalfHeight = 15, kItemHover = 4;
// What one item's drop may test: brushes listed by the leaves on its way down, and their planes
// (a real level's item meets a few dozen brushes).
inline constexpr std::size_t kMostDropBrushes = std::size_t{1} << 16, kMostDropPlanes = std::size_t{1} << 18;

// Where the item's model is drawn: the origin moved down onto the first solid brush below it
// (within kItemDropDistance) with the box's half height over that floor, plus the hover. A
// suspended item (spawnflags 1), one that starts inside a brush, and one with no floor below keep
// their origin, plus the hover.
TVector RestingPlace(const TQuake3BSP& level, const TSolidBrushes& brushes, TBoxDescent& descent,
                     const TVector& origin, bool suspended);
// Whether the placed item is suspended: bit 1 of its entity's spawnflags.
bool SuspendedItem(const TQuake3BSP& level, const TPlacedEntity& place);

// Appends the model's surfaces, turned by `angle` degrees about the vertical and moved to
// `position`, each into the group `groups[s]` names for its surface s (skipped when it is npos),
// as one run per surface with the cluster the item stands in. The colours light the model from a
// fixed direction above, or are `shade`'s for each vertex's turned normal when it is given (the
// level's light grid, render/ItemLight.h).
using TItemShade = std::function<std::array<std::uint8_t, 4>(const TVector& normal)>;
void AddItemInstance(TItemModels& items, const TMd3Model& model, std::span<const std::size_t> groups,
                     const TVector& position, float angle, std::int32_t cluster,
                     const TItemShade& shade = {});

// The viewer's form of the same: the model's surfaces added once to their groups' meshes
// (AddItemMeshes, giving per surface its mesh or npos), then per item only its place, turn, cluster
// and colours (ShareItemInstance); a frame's arrays are placed from them by PlaceSharedItems.
std::vector<std::size_t> AddItemMeshes(TItemModels& items, const TMd3Model& model, std::span<const std::size_t> groups);
void ShareItemInstance(TItemModels& items, const TMd3Model& model, std::span<const std::size_t> groups,
                       std::span<const std::size_t> meshes, const TVector& position, float angle,
                       std::int32_t cluster, const TItemShade& shade = {});
// What the model's meshes hold, and what each of its items adds (its colours and place).
std::uint64_t ItemMeshBytes(const TMd3Model& model);
std::uint64_t SharedItemBytes(const TMd3Model& model);

// The vertices of the items one frame draws: what the groups' arrays hold at most, whatever the
// level places (all the items of a real level hold at most 28,103).
inline constexpr std::size_t kMostItemVerticesDrawn = std::size_t{1} << 18;
// Each group's arrays placed from its shared items whose cluster `admitted` admits, in the order
// they were added, as AddItemInstance would have placed them, while the vertices stay within
// kMostItemVerticesDrawn; the item surfaces left out for that are counted in LeftOutOfFrame.
void PlaceSharedItems(TItemModels& items, const std::function<bool(std::int32_t cluster)>& admitted);
