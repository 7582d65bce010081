// Items as the game shows them: its model for each item class, the item dropped onto the floor
// below where the level places it, and the model turned, placed and lit in world space.
#include "level/Items.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <numbers>
#include <optional>
#include <set>

#include "level/Entities.h"
#include "platform/Files.h"

namespace {

// The game data's own file names for each item class's world models.
constexpr TItemKind kOpenArenaItems[] = {
    {"item_armor_shard", {"models/powerups/armor/shard.md3", nullptr}},
    {"item_armor_combat", {"models/powerups/armor/armor_yel.md3", nullptr}},
    {"item_armor_body", {"models/powerups/armor/armor_red.md3", nullptr}},
    {"item_health_small", {"models/powerups/health/small_cross.md3", "models/powerups/health/small_sphere.md3"}},
    {"item_health", {"models/powerups/health/medium_cross.md3", "models/powerups/health/medium_sphere.md3"}},
    {"item_health_large", {"models/powerups/health/large_cross.md3", "models/powerups/health/large_sphere.md3"}},
    {"item_health_mega", {"models/powerups/health/mega_cross.md3", "models/powerups/health/mega_sphere.md3"}},
    {"weapon_gauntlet", {"models/weapons2/gauntlet/gauntlet.md3", nullptr}},
    {"weapon_shotgun", {"models/weapons2/shotgun/shotgun.md3", nullptr}},
    {"weapon_machinegun", {"models/weapons2/machinegun/machinegun.md3", nullptr}},
    {"weapon_grenadelauncher", {"models/weapons2/grenadel/grenadel.md3", nullptr}},
    {"weapon_rocketlauncher", {"models/weapons2/rocketl/rocketl.md3", nullptr}},
    {"weapon_lightning", {"models/weapons2/lightning/lightning.md3", nullptr}},
    {"weapon_railgun", {"models/weapons2/railgun/railgun.md3", nullptr}},
    {"weapon_plasmagun", {"models/weapons2/plasma/plasma.md3", nullptr}},
    {"weapon_bfg", {"models/weapons2/bfg/bfg.md3", nullptr}},
    {"weapon_grapplinghook", {"models/weapons2/grapple/grapple.md3", nullptr}},
    {"weapon_nailgun", {"models/weapons/nailgun/nailgun.md3", nullptr}},
    {"weapon_prox_launcher", {"models/weapons/proxmine/proxmine.md3", nullptr}},
    {"weapon_chaingun", {"models/weapons/vulcan/vulcan.md3", nullptr}},
    {"ammo_shells", {"models/powerups/ammo/shotgunam.md3", nullptr}},
    {"ammo_bullets", {"models/powerups/ammo/machinegunam.md3", nullptr}},
    {"ammo_grenades", {"models/powerups/ammo/grenadeam.md3", nullptr}},
    {"ammo_cells", {"models/powerups/ammo/plasmaam.md3", nullptr}},
    {"ammo_lightning", {"models/powerups/ammo/lightningam.md3", nullptr}},
    {"ammo_rockets", {"models/powerups/ammo/rocketam.md3", nullptr}},
    {"ammo_slugs", {"models/powerups/ammo/railgunam.md3", nullptr}},
    {"ammo_bfg", {"models/powerups/ammo/bfgam.md3", nullptr}},
    {"ammo_nails", {"models/powerups/ammo/nailgunam.md3", nullptr}},
    {"ammo_mines", {"models/powerups/ammo/proxmineam.md3", nullptr}},
    {"ammo_belt", {"models/powerups/ammo/chaingunam.md3", nullptr}},
    {"holdable_teleporter", {"models/powerups/holdable/teleporter.md3", nullptr}},
    {"holdable_medkit", {"models/powerups/holdable/medkit.md3", nullptr}},
    {"holdable_kamikaze", {"models/powerups/kamikazi.md3", nullptr}},
    {"holdable_portal", {"models/powerups/holdable/porter.md3", nullptr}},
    {"holdable_invulnerability", {"models/powerups/holdable/invulnerability.md3", nullptr}},
    {"item_quad", {"models/powerups/instant/quad.md3", "models/powerups/instant/quad_ring.md3"}},
    {"item_enviro", {"models/powerups/instant/enviro.md3", "models/powerups/instant/enviro_ring.md3"}},
    {"item_haste", {"models/powerups/instant/haste.md3", "models/powerups/instant/haste_ring.md3"}},
    {"item_invis", {"models/powerups/instant/invis.md3", "models/powerups/instant/invis_ring.md3"}},
    {"item_regen", {"models/powerups/instant/regen.md3", "models/powerups/instant/regen_ring.md3"}},
    {"item_flight", {"models/powerups/instant/flight.md3", "models/powerups/instant/flight_ring.md3"}},
    {"item_scout", {"models/powerups/scout.md3", nullptr}},
    {"item_guard", {"models/powerups/guard.md3", nullptr}},
    {"item_doubler", {"models/powerups/doubler.md3", nullptr}},
    {"item_ammoregen", {"models/powerups/ammo.md3", nullptr}},
    {"team_CTF_redflag", {"models/flags/r_flag.md3", nullptr}},
    {"team_CTF_blueflag", {"models/flags/b_flag.md3", nullptr}},
    {"team_CTF_neutralflag", {"models/flags/n_flag.md3", nullptr}},
};

constexpr std::int32_t kSolidContents = 1;

template <class T>
std::vector<T> LenientLump(std::span<const std::uint8_t> bytes, const TBSPLump& lump, const char* name,
                           std::vector<std::string>& warnings) {
  std::vector<T> records;
  if (lump.Length == 0) return records;
  if (lump.Offset < 0 || lump.Length < 0 ||
      std::int64_t{lump.Offset} + lump.Length > static_cast<std::int64_t>(bytes.size())) {
    warnings.push_back(std::string("the ") + name + " lump lies outside the file: items are not dropped to the floor");
    return records;
  }
  records.resize(static_cast<std::size_t>(lump.Length) / sizeof(T));
  std::memcpy(records.data(), bytes.data() + lump.Offset, records.size() * sizeof(T));
  return records;
}

// Where the segment from `start` to `end` enters the brush, as a fraction of its length: 1 for a
// miss, a negative value when `start` lies inside it.
double EntryFraction(const TQuake3BSP& level, const TSolidBrushes& brushes, const TSolidBrushes::TBrush& brush,
                     const TVector& start, const TVector& end) {
  double enter = 0, leave = 1;
  bool startsOutside = false;
  for (std::int32_t k = 0; k < brush.SideCount; ++k) {
    const std::int32_t planeIndex = brushes.SidePlanes[static_cast<std::size_t>(brush.FirstSide + k)];
    if (static_cast<std::uint32_t>(planeIndex) >= level.Planes.size()) continue;
    const TBSPPlane& plane = level.Planes[static_cast<std::size_t>(planeIndex)];
    const auto distance = [&plane](const TVector& p) {
      return double{plane.Normal.X} * p.X + double{plane.Normal.Y} * p.Y + double{plane.Normal.Z} * p.Z - plane.Distance;
    };
    const double ds = distance(start), de = distance(end);
    if (ds > 0 && de > 0) return 1;  // wholly in front of one side: outside
    if (ds <= 0 && de <= 0) continue;
    const double t = ds / (ds - de);
    if (ds > 0) {
      startsOutside = true;
      enter = std::max(enter, t);
    } else {
      leave = std::min(leave, t);
    }
  }
  if (!startsOutside) return -1;
  return enter <= leave ? enter : 1;
}

}  // namespace

std::span<const TItemKind> OpenArenaItems() { return kOpenArenaItems; }

const TItemKind* FindItemKind(std::string_view className) {
  for (const TItemKind& kind : kOpenArenaItems)
    if (className == kind.ClassName) return &kind;
  return nullptr;
}

TSolidBrushes ReadSolidBrushes(std::span<const std::uint8_t> bytes, const std::array<TBSPLump, kLumpCount>& lumps,
                               std::span<const TBSPTexture> textures, std::vector<std::string>& warnings) {
  struct TBrushRecord {
    std::int32_t FirstSide, SideCount, Texture;
  };
  struct TSideRecord {
    std::int32_t Plane, Texture;
  };
  TSolidBrushes solid;
  solid.LeafBrushes = LenientLump<std::int32_t>(bytes, lumps[kLeafBrushes], "leaf brushes", warnings);
  const std::vector<TBrushRecord> records = LenientLump<TBrushRecord>(bytes, lumps[kBrushes], "brushes", warnings);
  const std::vector<TSideRecord> sides = LenientLump<TSideRecord>(bytes, lumps[kBrushSides], "brush sides", warnings);
  for (const TSideRecord& side : sides) solid.SidePlanes.push_back(side.Plane);
  for (const TBrushRecord& record : records) {
    const bool isSolid = static_cast<std::uint32_t>(record.Texture) < textures.size() &&
                         (textures[static_cast<std::size_t>(record.Texture)].Contents & kSolidContents) != 0;
    const bool inside = record.FirstSide >= 0 && record.SideCount >= 0 &&
                        std::int64_t{record.FirstSide} + record.SideCount <= static_cast<std::int64_t>(sides.size());
    solid.Brushes.push_back({record.FirstSide, isSolid && inside ? record.SideCount : 0});
  }
  return solid;
}

TVector RestingPlace(const TQuake3BSP& level, const TSolidBrushes& brushes, TBoxDescent& descent,
                     const TVector& origin, bool suspended) {
  TVector place = origin;
  place.Z += kItemHover;
  if (suspended) return place;
  const TVector end{origin.X, origin.Y, origin.Z - kItemDropDistance};
  std::vector<std::int32_t> leaves;
  descent.Leaves(end, origin, leaves);
  // Each brush is tested once however often the leaves list it, and an item tests a bounded
  // number of brushes and planes: past them (a hostile level's brush of ten thousand sides listed
  // ten thousand times) it stays where the level put it.
  std::vector<std::int32_t> candidates;
  for (const std::int32_t leaf : leaves) {
    const TBSPLeaf& record = level.Leaves[static_cast<std::size_t>(leaf)];
    if (record.FirstLeafBrush < 0 || record.NumLeafBrushes < 0 ||
        std::int64_t{record.FirstLeafBrush} + record.NumLeafBrushes > static_cast<std::int64_t>(brushes.LeafBrushes.size()))
      continue;
    if (candidates.size() + static_cast<std::size_t>(record.NumLeafBrushes) > kMostDropBrushes) return place;
    const auto first = brushes.LeafBrushes.begin() + record.FirstLeafBrush;
    candidates.insert(candidates.end(), first, first + record.NumLeafBrushes);
  }
  std::sort(candidates.begin(), candidates.end());
  candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
  double nearest = 1;
  std::size_t planes = 0;
  for (const std::int32_t b : candidates) {
    if (static_cast<std::uint32_t>(b) >= brushes.Brushes.size()) continue;
    const TSolidBrushes::TBrush& brush = brushes.Brushes[static_cast<std::size_t>(b)];
    if (brush.SideCount == 0) continue;
    planes += static_cast<std::size_t>(brush.SideCount);
    if (planes > kMostDropPlanes) return place;
    const double fraction = EntryFraction(level, brushes, brush, origin, end);
    if (fraction < 0) return place;  // starts inside a brush: left where the level put it
    nearest = std::min(nearest, fraction);
  }
  if (nearest >= 1) return place;  // nothing below: left where the level put it
  place.Z = static_cast<float>(origin.Z - nearest * kItemDropDistance) + kItemHalfHeight + kItemHover;
  return place;
}

namespace {

struct TTurn {
  float C = 1, S = 0;
};

TTurn TurnOf(float angle) {
  const double radians = angle * std::numbers::pi / 180;
  return {static_cast<float>(std::cos(radians)), static_cast<float>(std::sin(radians))};
}

TVector Turned(const TTurn& turn, const TVector& n) { return {turn.C * n.X - turn.S * n.Y, turn.S * n.X + turn.C * n.Y, n.Z}; }

// Without a shade, light from above and a little aside: faces towards it full, faces away at 55 %.
AGLbyt4 SurfaceColours(const TMd3Surface& surface, const TTurn& turn, const TItemShade& shade) {
  const TVector light{0.37f, 0.28f, 0.886f};
  AGLbyt4 colours;
  colours.reserve(surface.Normals.size());
  for (const TVector& normal : surface.Normals) {
    const TVector turned = Turned(turn, normal);
    if (shade) {
      colours.push_back(shade(turned));
      continue;
    }
    const float lit = turned.X * light.X + turned.Y * light.Y + turned.Z * light.Z;
    const auto level = static_cast<std::uint8_t>(255.0f * (0.55f + 0.45f * std::clamp(lit, 0.0f, 1.0f)));
    colours.push_back({level, level, level, 255});
  }
  return colours;
}

// One surface turned, moved to `position` and appended to the group as one run.
void AppendPlaced(TItemGroup& group, const TMd3Surface& surface, const TTurn& turn, const TVector& position,
                  std::int32_t cluster, const AGLbyt4& colours) {
  const std::uint32_t base = static_cast<std::uint32_t>(group.Positions.size());
  const float c = turn.C, s = turn.S;
  for (const TVector& p : surface.Positions)
    group.Positions.push_back({c * p.X - s * p.Y + position.X, s * p.X + c * p.Y + position.Y, p.Z + position.Z});
  if (group.Shader)
    for (const TVector& n : surface.Normals) group.Normals.push_back(Turned(turn, n));
  group.Colours.insert(group.Colours.end(), colours.begin(), colours.end());
  // t negated as for the level's faces: the textures hold their images bottom row first.
  for (const TTexCoord& coord : surface.Coords) group.Coords.push_back({coord.S, -coord.T});
  const std::uint32_t first = static_cast<std::uint32_t>(group.Indices.size());
  for (const std::uint32_t index : surface.Indices) group.Indices.push_back(base + index);
  group.Runs.push_back({first, static_cast<std::uint32_t>(surface.Indices.size()), cluster});
}

}  // namespace

void AddItemInstance(TItemModels& items, const TMd3Model& model, std::span<const std::size_t> groups,
                     const TVector& position, float angle, std::int32_t cluster,
                     const TItemShade& shade) {
  const TTurn turn = TurnOf(angle);
  for (std::size_t k = 0; k < model.Surfaces.size() && k < groups.size(); ++k) {
    if (groups[k] >= items.Groups.size()) continue;
    const TMd3Surface& surface = model.Surfaces[k];
    AppendPlaced(items.Groups[groups[k]], surface, turn, position, cluster, SurfaceColours(surface, turn, shade));
  }
}

std::vector<std::size_t> AddItemMeshes(TItemModels& items, const TMd3Model& model, std::span<const std::size_t> groups) {
  std::vector<std::size_t> meshes(model.Surfaces.size(), static_cast<std::size_t>(-1));
  for (std::size_t k = 0; k < model.Surfaces.size() && k < groups.size(); ++k) {
    if (groups[k] >= items.Groups.size()) continue;
    std::vector<TMd3Surface>& group = items.Groups[groups[k]].Meshes;
    meshes[k] = group.size();
    group.push_back(model.Surfaces[k]);
  }
  return meshes;
}

void ShareItemInstance(TItemModels& items, const TMd3Model& model, std::span<const std::size_t> groups,
                       std::span<const std::size_t> meshes, const TVector& position, float angle,
                       std::int32_t cluster, const TItemShade& shade) {
  const TTurn turn = TurnOf(angle);
  for (std::size_t k = 0; k < model.Surfaces.size() && k < groups.size() && k < meshes.size(); ++k) {
    if (groups[k] >= items.Groups.size()) continue;
    TItemGroup& group = items.Groups[groups[k]];
    if (meshes[k] >= group.Meshes.size()) continue;
    group.Instances.push_back({static_cast<std::uint32_t>(meshes[k]), position, turn.C, turn.S, cluster,
                               SurfaceColours(model.Surfaces[k], turn, shade)});
  }
  items.PlacedFor.reset();
}

std::uint64_t ItemMeshBytes(const TMd3Model& model) {
  std::uint64_t bytes = 0;
  for (const TMd3Surface& surface : model.Surfaces)
    bytes += surface.Positions.size() * (2 * sizeof(TVector) + sizeof(TTexCoord)) + surface.Indices.size() * 4;
  return bytes;
}

std::uint64_t SharedItemBytes(const TMd3Model& model) {
  std::uint64_t bytes = 0;
  for (const TMd3Surface& surface : model.Surfaces) bytes += surface.Positions.size() * 4 + sizeof(TItemInstance);
  return bytes;
}

void PlaceSharedItems(TItemModels& items, const std::function<bool(std::int32_t cluster)>& admitted) {
  std::size_t vertices = 0;
  items.LeftOutOfFrame = 0;
  for (TItemGroup& group : items.Groups) {
    if (group.Instances.empty()) continue;
    group.Positions.clear();
    group.Normals.clear();
    group.Coords.clear();
    group.Colours.clear();
    group.Indices.clear();
    group.Runs.clear();
    for (const TItemInstance& instance : group.Instances) {
      if (!admitted(instance.Cluster)) continue;
      const TMd3Surface& mesh = group.Meshes[instance.Mesh];
      if (vertices + mesh.Positions.size() > kMostItemVerticesDrawn) {
        ++items.LeftOutOfFrame;
        continue;
      }
      vertices += mesh.Positions.size();
      AppendPlaced(group, mesh, {instance.Cos, instance.Sin}, instance.Position, instance.Cluster, instance.Colours);
    }
  }
}

std::string LowerModelName(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string WithoutImageExtension(const std::string& name) {
  const std::string lower = LowerModelName(name);
  for (const char* extension : {".tga", ".jpg", ".png", ".jpeg"})
    if (lower.ends_with(extension)) return name.substr(0, name.size() - std::string(extension).size());
  return name;
}

std::vector<std::string> SurfaceImageNames(const TMd3Model& model, const std::string& modelPath,
                                           std::vector<std::string>& warnings) {
  std::set<std::string> surfaces;
  for (const TMd3Surface& surface : model.Surfaces) surfaces.insert(LowerModelName(surface.Name));
  std::map<std::string, std::string> skin;
  const std::string skinPath = modelPath.substr(0, modelPath.size() - 4) + "_default.skin";
  if (platform::FileExists(skinPath)) {
    try {
      if (const auto bytes = platform::ReadWholeFile(skinPath))
        skin = ParseSkin(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), surfaces);
    } catch (const std::exception& e) {
      warnings.push_back(skinPath + ": " + e.what());
    }
  }
  std::vector<std::string> names;
  for (const TMd3Surface& surface : model.Surfaces) {
    const auto named = skin.find(LowerModelName(surface.Name));
    names.push_back(named != skin.end() ? named->second : surface.Shader);
  }
  return names;
}

std::vector<const char*> PlacedItemModels(const std::vector<TPlacedEntity>& places) {
  std::vector<const char*> paths;
  for (const TPlacedEntity& place : places)
    if (const TItemKind* kind = FindItemKind(place.ClassName); kind && place.Point)
      for (const char* path : kind->Models)
        if (path) paths.push_back(path);
  return paths;
}

bool SuspendedItem(const TQuake3BSP& level, const TPlacedEntity& place) {
  const TEntity& entity = level.Things.Entities.Entities[static_cast<std::size_t>(place.Index)];
  const std::string* flags = FindValue(entity, "spawnflags");
  const std::optional<float> spawnFlags = flags ? ParseNumber(*flags) : std::nullopt;
  // Flags are bits of an integer: a number past any integer's range holds none of them.
  return spawnFlags && std::fabs(*spawnFlags) < 2147483648.0f && (static_cast<std::int64_t>(*spawnFlags) & 1) != 0;
}
