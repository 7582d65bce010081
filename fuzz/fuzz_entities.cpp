// The entity reader over arbitrary text, and what is built from its entities: places, --goto's
// search and the spawn points. Never an error, and never more records than its bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "level/LevelFile.h"
#include "level/SpawnPoints.h"
#include "level/Things.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TEntityText entities = ReadEntityText(text);
  if (entities.Entities.size() > kMostEntities || entities.Problems.size() > kMostEntityProblems)
    __builtin_trap();
  std::vector<std::string> warnings;
  const std::vector<TBSPModel> models(3, TBSPModel{{0, 0, 0}, {64, 64, 64}, 0, 1, 0, 1});
  const std::vector<TPlacedEntity> places = PlaceEntities(entities.Entities, models, warnings);
  std::string why;
  for (const char* target : {"1", "item_quad", "item_quad:2", "info_player_deathmatch:x"})
    if (const auto found = FindPlace(places, target, why); found && *found >= places.size()) __builtin_trap();
  FindSpawnPoints(entities.Entities);
  return 0;
}
