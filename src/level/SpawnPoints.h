#pragma once
// The player start points a level names in its entities: where the runs and the viewer start, what
// --spawn counts, what --info, the overview and the export show. Pure: entities in, points out.
#include <string>
#include <vector>

#include "genom/genom.h"
#include "level/LevelFile.h"

struct TSpawnPoint {
  std::string ClassName;
  TVector Origin;
  float Angle;  // the "angle" key in degrees (turn from +X towards +Y), 0 when absent
};

// The player start points among the entities (info_player_deathmatch, info_player_start,
// team_CTF_*player, team_CTF_*spawn), in file order, whose "origin" holds three numbers.
std::vector<TSpawnPoint> FindSpawnPoints(const std::vector<TEntity>& entities);

// True for the capture-the-flag classes (team_CTF_*): team starts that repeat the level's
// free-for-all ones.
bool IsTeamSpawn(const TSpawnPoint& spawn);

// The spawn points with a mark on each one that stands where an earlier one stands (a capture-the-
// flag level often repeats its team spawns at the free-for-all ones).
std::vector<bool> DuplicateSpawnPoints(const std::vector<TSpawnPoint>& spawns);

// The spawn points of a level file's entities: FindSpawnPoints(ParseEntities(file.EntitiesText())).
std::vector<TSpawnPoint> LevelSpawnPoints(const TLevelFile& file);
