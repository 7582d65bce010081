// Where a level's things stand and what they are: the entity and model lumps read leniently, each
// entity given its place and family, and the poses that look at one.
#include "level/Things.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

bool Starts(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool Ends(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

bool LumpInside(std::span<const std::uint8_t> bytes, const TBSPLump& lump) {
  return lump.Offset >= 0 && lump.Length >= 0 &&
         std::int64_t{lump.Offset} + lump.Length <= static_cast<std::int64_t>(bytes.size());
}

std::string EntityTitle(std::size_t index, const TEntity& entity) {
  const std::string name = ClassNameOf(entity);
  return "entity " + std::to_string(index) + (name.empty() ? "" : " (" + name + ")");
}

// The brush model an entity's "model" names ("*N"), or -1 (with a warning for a number that is
// not one of the level's); 0 when it names no brush model.
std::int32_t BrushModelOf(const TEntity& entity, std::size_t index, std::size_t modelCount,
                          std::vector<std::string>& warnings) {
  const std::string* model = FindValue(entity, "model");
  if (!model || model->empty() || (*model)[0] != '*') return 0;
  std::int32_t number = -1;
  const char* first = model->data() + 1;
  const char* last = model->data() + model->size();
  const auto [end, error] = std::from_chars(first, last, number);
  if (error == std::errc() && end == last && number >= 1 && static_cast<std::size_t>(number) < modelCount)
    return number;
  warnings.push_back(EntityTitle(index, entity) + ": model " + *model + " is not one of the level's " +
                     std::to_string(modelCount > 0 ? modelCount - 1 : 0) + " brush models");
  return -1;
}

float AngleOf(const TEntity& entity) {
  if (const std::string* angle = FindValue(entity, "angle"))
    if (const std::optional<float> degrees = ParseNumber(*angle)) return *degrees;
  if (const std::string* angles = FindValue(entity, "angles"))
    if (const std::optional<TVector> v = ParseThreeNumbers(*angles)) return v->Y;  // pitch yaw roll
  return 0;
}

bool IsSpawnClass(std::string_view name) {
  return name == "info_player_deathmatch" || name == "info_player_start" || name == "team_CTF_redplayer" ||
         name == "team_CTF_blueplayer" || name == "team_CTF_redspawn" || name == "team_CTF_bluespawn";
}

}  // namespace

std::string EntityLumpText(std::span<const std::uint8_t> bytes, const TBSPLump& lump,
                           std::vector<std::string>& warnings) {
  if (lump.Length == 0) return {};
  if (!LumpInside(bytes, lump)) {
    warnings.push_back("the entity lump (at " + std::to_string(lump.Offset) + ", " +
                       std::to_string(lump.Length) + " bytes) lies outside the file: no entities");
    return {};
  }
  const char* first = reinterpret_cast<const char*>(bytes.data()) + lump.Offset;
  return std::string(first, strnlen(first, static_cast<std::size_t>(lump.Length)));
}

std::vector<TBSPModel> ReadModelRecords(std::span<const std::uint8_t> bytes, const TBSPLump& lump,
                                        std::vector<std::string>& warnings) {
  std::vector<TBSPModel> models;
  if (lump.Length == 0) return models;
  if (!LumpInside(bytes, lump)) {
    warnings.push_back("the models lump (at " + std::to_string(lump.Offset) + ", " +
                       std::to_string(lump.Length) + " bytes) lies outside the file: no brush models");
    return models;
  }
  std::size_t count = static_cast<std::size_t>(lump.Length) / sizeof(TBSPModel);
  if (count > kMostModels) {
    warnings.push_back("the models lump holds " + std::to_string(count) + " models: only the first " +
                       std::to_string(kMostModels) + " are read");
    count = kMostModels;
  }
  models.resize(count);
  std::memcpy(models.data(), bytes.data() + lump.Offset, count * sizeof(TBSPModel));
  return models;
}

TEntityFamily FamilyOf(std::string_view name) {
  using enum TEntityFamily;
  if (IsSpawnClass(name) || Starts(name, "info_player_")) return SpawnPoint;
  if (Starts(name, "weapon_")) return Weapon;
  if (Starts(name, "ammo_")) return Ammo;
  if (Starts(name, "item_health") || Starts(name, "item_armor")) return HealthArmour;
  if (name == "item_botroam") return Other;  // a hint for bots, nothing a player picks up
  if (Starts(name, "item_") || Starts(name, "holdable_") || (Starts(name, "team_CTF_") && Ends(name, "flag")))
    return Item;
  if (name == "light" || name == "lightJunior") return Light;
  if (Starts(name, "target_") || name == "misc_teleporter_dest" || name == "info_teleport_destination" ||
      name == "info_notnull" || name == "info_null" || name == "path_corner")
    return TeleportTarget;
  if (Starts(name, "trigger_")) return Trigger;
  return Other;
}

const char* FamilyName(TEntityFamily family) {
  static constexpr const char* kNames[kEntityFamilyCount] = {
      "spawn points", "items", "weapons", "ammunition", "health and armour", "lights",
      "teleporters and targets", "triggers", "other"};
  return kNames[static_cast<std::size_t>(family)];
}

std::vector<TPlacedEntity> PlaceEntities(const std::vector<TEntity>& entities,
                                         const std::vector<TBSPModel>& models,
                                         std::vector<std::string>& warnings) {
  std::vector<TPlacedEntity> places;
  for (std::size_t i = 0; i < entities.size(); ++i) {
    const TEntity& entity = entities[i];
    const std::string name = ClassNameOf(entity);
    if (name == "worldspawn") continue;
    std::optional<TVector> origin;
    if (const std::string* text = FindValue(entity, "origin")) {
      origin = ParseThreeNumbers(*text);
      if (!origin) warnings.push_back(EntityTitle(i, entity) + ": origin \"" + *text + "\" is not three numbers");
    }
    const std::int32_t model = BrushModelOf(entity, i, models.size(), warnings);
    if (!origin && model <= 0) continue;
    TPlacedEntity place;
    place.Index = static_cast<std::int32_t>(i);
    place.ClassName = name;
    place.Angle = AngleOf(entity);
    place.Family = FamilyOf(name);
    place.Point = model <= 0;
    place.SpawnPoint = IsSpawnClass(name);
    place.Position = origin.value_or(TVector{0, 0, 0});
    if (model > 0) {
      const TBSPModel& box = models[static_cast<std::size_t>(model)];
      place.Position.X += (box.Mins.X + box.Maxs.X) / 2;
      place.Position.Y += (box.Mins.Y + box.Maxs.Y) / 2;
      place.Position.Z += (box.Mins.Z + box.Maxs.Z) / 2;
      place.HalfSize = {(box.Maxs.X - box.Mins.X) / 2, (box.Maxs.Y - box.Mins.Y) / 2, (box.Maxs.Z - box.Mins.Z) / 2};
    }
    places.push_back(std::move(place));
  }
  return places;
}

TViewPose SpawnViewPose(const TSpawnPoint& spawn) {
  return {{spawn.Origin.X, spawn.Origin.Y, spawn.Origin.Z + kSpawnEyeHeight}, 90.0f - spawn.Angle, 270.0f};
}

TVector ViewDirection(float yaw, float pitch) {
  // The camera turns the world by pitch about X, then yaw about Z, and looks along -Z: the
  // direction in the world is that axis turned back.
  const double y = yaw * std::numbers::pi / 180, p = pitch * std::numbers::pi / 180;
  return {static_cast<float>(-std::sin(p) * std::sin(y)), static_cast<float>(-std::sin(p) * std::cos(y)),
          static_cast<float>(-std::cos(p))};
}

std::optional<std::size_t> FindPlace(const std::vector<TPlacedEntity>& places, const std::string& target,
                                     std::string& why) {
  std::int64_t index = -1;
  const auto [end, error] = std::from_chars(target.data(), target.data() + target.size(), index);
  if (!target.empty() && error == std::errc() && end == target.data() + target.size()) {
    for (std::size_t p = 0; p < places.size(); ++p)
      if (places[p].Index == index) return p;
    why = "entity " + target + " is not an entity with a place (--entities lists them)";
    return std::nullopt;
  }
  std::string name = target;
  std::int64_t count = 1;
  if (const std::size_t colon = target.rfind(':'); colon != std::string::npos) {
    name = target.substr(0, colon);
    const std::string number = target.substr(colon + 1);
    const auto [numberEnd, numberError] = std::from_chars(number.data(), number.data() + number.size(), count);
    if (number.empty() || numberError != std::errc() || numberEnd != number.data() + number.size() || count < 1) {
      why = "'" + number + "' after the colon is not a count from 1";
      return std::nullopt;
    }
  }
  const std::string lower = Lower(name);
  std::int64_t seen = 0;
  for (std::size_t p = 0; p < places.size(); ++p)
    if (Lower(places[p].ClassName) == lower && ++seen == count) return p;
  why = seen == 0 ? "no entity of class " + name + " has a place"
                  : "the level has " + std::to_string(seen) + " " + name + " with a place";
  return std::nullopt;
}

std::optional<std::size_t> PlaceNearestView(const std::vector<TPlacedEntity>& places, const TVector& eye,
                                            const TVector& direction, bool pointsOnly) {
  const double length = std::sqrt(double{direction.X} * direction.X + double{direction.Y} * direction.Y +
                                  double{direction.Z} * direction.Z);
  if (!(length > 0)) return std::nullopt;
  const double leastCosine = std::cos(30 * std::numbers::pi / 180);
  std::optional<std::size_t> nearest;
  double best = leastCosine;
  for (std::size_t p = 0; p < places.size(); ++p) {
    if (pointsOnly && !places[p].Point) continue;
    const double dx = places[p].Position.X - eye.X, dy = places[p].Position.Y - eye.Y,
                 dz = places[p].Position.Z - eye.Z;
    const double distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(distance > 0)) continue;
    const double cosine = (dx * direction.X + dy * direction.Y + dz * direction.Z) / (distance * length);
    if (cosine > best) {
      best = cosine;
      nearest = p;
    }
  }
  return nearest;
}
