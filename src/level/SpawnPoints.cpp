#include "level/SpawnPoints.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <locale>
#include <sstream>
#include <unordered_set>

namespace {

bool ParseVector(const std::string& text, TVector& vector) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  float x, y, z;
  if (!(in >> x >> y >> z)) return false;
  vector = {x, y, z};
  return true;
}

bool IsSpawnClass(const std::string& name) {
  return name == "info_player_deathmatch" || name == "info_player_start" ||
         name == "team_CTF_redplayer" || name == "team_CTF_blueplayer" ||
         name == "team_CTF_redspawn" || name == "team_CTF_bluespawn";
}

}  // namespace

std::vector<TSpawnPoint> FindSpawnPoints(const std::vector<TEntity>& entities) {
  std::vector<TSpawnPoint> points;
  for (const TEntity& entity : entities) {
    TSpawnPoint point{};
    bool spawn = false, placed = false;
    for (const auto& [key, value] : entity) {
      if (key == "classname" && IsSpawnClass(value)) {
        spawn = true;
        point.ClassName = value;
      } else if (key == "origin") {
        placed = ParseVector(value, point.Origin);
      } else if (key == "angle") {
        point.Angle = std::strtof(value.c_str(), nullptr);
      }
    }
    if (spawn && placed) points.push_back(point);
  }
  return points;
}

bool IsTeamSpawn(const TSpawnPoint& spawn) { return spawn.ClassName.starts_with("team_CTF_"); }

std::vector<bool> DuplicateSpawnPoints(const std::vector<TSpawnPoint>& spawns) {
  // Hashed rather than every pair compared (a level of 65,535 spawn points took 3.7 s). Equal as
  // numbers: -0 is 0, and a NaN equals nothing.
  struct THash {
    std::size_t operator()(const std::array<std::uint32_t, 3>& bits) const {
      return (std::size_t{bits[0]} * 0x9E3779B1u) ^ (std::size_t{bits[1]} * 0x85EBCA77u) ^ bits[2];
    }
  };
  std::unordered_set<std::array<std::uint32_t, 3>, THash> seen;
  seen.reserve(spawns.size());
  std::vector<bool> duplicate(spawns.size(), false);
  for (std::size_t i = 0; i < spawns.size(); ++i) {
    const TVector& o = spawns[i].Origin;
    if (std::isnan(o.X) || std::isnan(o.Y) || std::isnan(o.Z)) continue;
    duplicate[i] = !seen.insert({std::bit_cast<std::uint32_t>(o.X + 0.0f), std::bit_cast<std::uint32_t>(o.Y + 0.0f),
                                 std::bit_cast<std::uint32_t>(o.Z + 0.0f)}).second;
  }
  return duplicate;
}

std::vector<TSpawnPoint> LevelSpawnPoints(const TLevelFile& file) {
  return FindSpawnPoints(ParseEntities(file.EntitiesText()));
}
