#include "level/SpawnPoints.h"

#include <cstdlib>
#include <locale>
#include <sstream>

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
  std::vector<bool> duplicate(spawns.size(), false);
  for (std::size_t i = 0; i < spawns.size(); ++i)
    for (std::size_t j = 0; j < i && !duplicate[i]; ++j)
      duplicate[i] = spawns[i].Origin.X == spawns[j].Origin.X &&
                     spawns[i].Origin.Y == spawns[j].Origin.Y &&
                     spawns[i].Origin.Z == spawns[j].Origin.Z;
  return duplicate;
}

std::vector<TSpawnPoint> LevelSpawnPoints(const TLevelFile& file) {
  return FindSpawnPoints(ParseEntities(file.EntitiesText()));
}
