#include "app/runs/EntityReport.h"

#include <fnmatch.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

#include "app/runs/LevelFile.h"
#include "app/runs/TerminalText.h"
#include "level/Things.h"

namespace app {

bool ClassMatches(const std::string& pattern, const std::string& className) {
  return pattern.empty() || fnmatch(pattern.c_str(), className.c_str(), FNM_CASEFOLD) == 0;
}

std::string EntityListText(const TEntityText& entities, const std::string& pattern) {
  std::string out;
  for (std::size_t i = 0; i < entities.Entities.size(); ++i) {
    const TEntity& entity = entities.Entities[i];
    if (!ClassMatches(pattern, ClassNameOf(entity))) continue;
    out += "// entity " + std::to_string(i) + "\n{\n";
    for (const auto& [key, value] : entity) out += "\"" + TerminalText(key) + "\" \"" + TerminalText(value) + "\"\n";
    out += "}\n";
  }
  return out;
}

std::string EntityListJson(const TEntityText& entities, const std::string& pattern) {
  TJson list = TJson::array();
  for (std::size_t i = 0; i < entities.Entities.size(); ++i) {
    const TEntity& entity = entities.Entities[i];
    if (!ClassMatches(pattern, ClassNameOf(entity))) continue;
    TJson object = {{"Index", i}};
    // The reader keeps one value per key, so the pairs are appended without the ordered object's
    // search on every insert (an entity of 65,536 keys took 17 s through it). A key "Index" of the
    // entity's own would be lost under the index: it is the only one that is. Keys are level bytes
    // too, read as Latin-1 like the values.
    auto& pairs = static_cast<TJson::object_t::Container&>(object.get_ref<TJson::object_t&>());
    pairs.reserve(entity.size() + 1);
    for (const auto& [key, value] : entity)
      if (key != "Index") pairs.emplace_back(JsonText(key).get<std::string>(), JsonText(value));
    list.push_back(std::move(object));
  }
  return JsonLine(TJson{{"Entities", std::move(list)}});
}

void PrintEntityProblems(const std::string& path, const TEntityText& entities, bool verbose) {
  for (const TEntityProblem& problem : entities.Problems)
    if (verbose || !problem.RepeatedKey)
      std::cerr << "bspwalk: warning: " << path << ": entities line " << problem.Line << ": " << TerminalText(problem.Text) << "\n";
  if (entities.ProblemsNotKept > 0)
    std::cerr << "bspwalk: warning: " << path << ": " << entities.ProblemsNotKept << " more problems in the entities\n";
}

int RunEntities(const TRunOptions& options) {
  const std::optional<TLevelFile> file = OpenLevelFile(options.LevelPath, options.LevelBytes);
  if (!file) return 1;
  const TEntityText entities = ReadEntityText(file->EntitiesText());
  PrintEntityProblems(options.LevelPath, entities, options.Verbose);
  std::cout << (options.Json ? EntityListJson(entities, options.EntityClass)
                             : EntityListText(entities, options.EntityClass))
            << std::flush;
  // An empty list is an answer, not a failure; but silence reads as a broken pattern.
  if (!options.EntityClass.empty()) {
    bool any = false;
    for (const TEntity& entity : entities.Entities) any = any || ClassMatches(options.EntityClass, ClassNameOf(entity));
    if (!any)
      std::cerr << "bspwalk: " << options.LevelPath << ": no entity's class matches '"
                << TerminalText(options.EntityClass) << "' (bspwalk --info lists the classes)\n";
  }
  return 0;
}

TEntityInfo GatherEntityInfo(const TLevelFile& file) {
  TEntityInfo info;
  const std::vector<TEntity> entities = ParseEntities(file.EntitiesText());
  info.EntityCount = static_cast<std::int32_t>(entities.size());
  std::map<std::string, std::int32_t> classes;
  std::map<std::int32_t, std::pair<std::string, std::int32_t>> owners;  // model -> class, entity
  for (std::size_t i = 0; i < entities.size(); ++i) {
    const std::string name = ClassNameOf(entities[i]);
    ++classes[name];
    const std::string* model = FindValue(entities[i], "model");
    if (model && model->size() > 1 && (*model)[0] == '*' && model->size() < 10)
      owners.try_emplace(std::atoi(model->c_str() + 1), name, static_cast<std::int32_t>(i));
  }
  info.Classes.assign(classes.begin(), classes.end());
  std::vector<std::string> warnings;
  const std::vector<TBSPModel> models = ReadModelRecords(file.Data(), file.Lump(kModels), warnings);
  for (std::size_t m = 1; m < models.size(); ++m) {
    TEntityInfo::TBrushModelRow row{static_cast<std::int32_t>(m), models[m].NumFaces, {}, -1};
    if (const auto owner = owners.find(row.Model); owner != owners.end()) {
      row.ClassName = owner->second.first;
      row.Entity = owner->second.second;
    }
    info.BrushModels.push_back(std::move(row));
  }
  return info;
}

std::string EntityInfoText(const TEntityInfo& info) {
  char line[512];
  std::string out;
  std::snprintf(line, sizeof line, "Entities        %d in %zu classes\n", info.EntityCount, info.Classes.size());
  out += line;
  for (const auto& [name, count] : info.Classes) {
    std::snprintf(line, sizeof line, "  %-32s %5d\n", name.empty() ? "(no classname)" : TerminalText(name).c_str(), count);
    out += line;
  }
  std::int64_t faces = 0;
  for (const TEntityInfo::TBrushModelRow& row : info.BrushModels) faces += row.Faces;
  std::snprintf(line, sizeof line, "Brush models    %zu, %lld faces\n", info.BrushModels.size(), static_cast<long long>(faces));
  out += line;
  for (const TEntityInfo::TBrushModelRow& row : info.BrushModels) {
    std::snprintf(line, sizeof line, "  %4d %6d faces  %s\n", row.Model, row.Faces,
                  row.Entity < 0 ? "(no entity)" : (TerminalText(row.ClassName) + " (entity " + std::to_string(row.Entity) + ")").c_str());
    out += line;
  }
  return out;
}

void AddEntityInfoJson(TJson& out, const TEntityInfo& info) {
  out["Entities"] = info.EntityCount;
  TJson classes = TJson::object();
  for (const auto& [name, count] : info.Classes) classes[JsonText(name).get<std::string>()] = count;
  out["EntityClasses"] = std::move(classes);
  out["BrushModels"] = TJson::array();
  for (const TEntityInfo::TBrushModelRow& row : info.BrushModels)
    out["BrushModels"].push_back({{"Model", row.Model},
                                  {"Faces", row.Faces},
                                  {"Class", row.Entity < 0 ? TJson(nullptr) : JsonText(row.ClassName)},
                                  {"Entity", row.Entity < 0 ? TJson(nullptr) : TJson(row.Entity)}});
}

void AddBrushModels(TQuake3BSP& level, const TLevelFile& file) {
  TLevelThings& things = level.Things;
  things.Models = ReadModelRecords(file.Data(), file.Lump(kModels), things.Warnings);
  things.BrushModels = PlanBrushModels(level, things.Models, things.Warnings);
}

void PrintThingsSummary(const TQuake3BSP& level) {
  const TLevelThings& things = level.Things;
  for (const TEntityProblem& problem : things.Entities.Problems)
    std::cerr << "bspwalk: warning: entities line " << problem.Line << ": " << TerminalText(problem.Text) << "\n";
  for (const std::string& warning : things.Warnings) std::cerr << "bspwalk: warning: " << warning << "\n";
  const TItemModels& items = things.ItemModels;
  std::fprintf(stderr, "bspwalk: %zu entities, %zu brush models placed, %d items drawn as models (%d model files, "
               "%.1f ms), %zu as markers\n",
               things.Entities.Entities.size(), things.BrushModels.size(), items.Items, items.ModelsLoaded,
               items.LoadMs, items.Markers.size());
  if (items.GridLit > 0) std::fprintf(stderr, "bspwalk: %d items lit by the level's light grid\n", items.GridLit);
}

}  // namespace app
