#pragma once
// What the runs tell of a level's things: --entities (the entity list, as text or JSON), the
// entity classes and brush models --info adds, the brush models --at reports, and the warnings of
// a load with brush models or items for --verbose.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/runs/Json.h"
#include "app/runs/RunOptions.h"
#include "level/LevelFile.h"
#include "level/Q3BSP.h"

namespace app {

// True when the class name matches the shell pattern (*, ?, [...]), letter case ignored.
bool ClassMatches(const std::string& pattern, const std::string& className);

// The entities whose class matches (all for an empty pattern), each with its index: as entity text
// ("// entity N", then the block with its pairs as written), or as one JSON document
// {"Entities": [{"Index": N, "key": "value", ...}, ...]} with every value a string.
std::string EntityListText(const TEntityText& entities, const std::string& pattern);
std::string EntityListJson(const TEntityText& entities, const std::string& pattern);

// The problems of the text on standard error, "bspwalk: warning: FILE:LINE: text"; repeated keys
// only when `verbose`.
void PrintEntityProblems(const std::string& path, const TEntityText& entities, bool verbose);

// The whole run of --entities; 1 when the level cannot be read.
int RunEntities(const TRunOptions& options);

// --info's part: entities per class (ascending by name) and the brush models.
struct TEntityInfo {
  std::int32_t EntityCount = 0;
  std::vector<std::pair<std::string, std::int32_t>> Classes;
  struct TBrushModelRow {
    std::int32_t Model = 0, Faces = 0;
    std::string ClassName;   // of the first entity naming it ("*N"); empty when none does
    std::int32_t Entity = -1;
  };
  std::vector<TBrushModelRow> BrushModels;
};
TEntityInfo GatherEntityInfo(const TLevelFile& file);
std::string EntityInfoText(const TEntityInfo& info);
void AddEntityInfoJson(TJson& out, const TEntityInfo& info);

// For --at with --brush-models: the level's brush models planned into a model built by
// VisibilityModel.
void AddBrushModels(TQuake3BSP& level, const TLevelFile& file);

// With --verbose, for a load with brush models or items: the warnings of the things, the entity
// problems, and the items drawn and models read.
void PrintThingsSummary(const TQuake3BSP& level);

}  // namespace app
