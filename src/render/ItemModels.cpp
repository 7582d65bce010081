// Loading the items' models and images: each model file read and parsed once, each image loaded
// once, and every item placed where the game puts it.
#include "render/ItemModels.h"

#include <cmath>
#include <exception>
#include <functional>
#include <map>
#include <set>
#include <optional>

#include "level/Items.h"
#include "level/Things.h"
#include "render/ItemLight.h"
#include "platform/Budget.h"
#include "platform/Files.h"
#include "render/Q3BSP_images.h"

namespace {

constexpr std::size_t kNoGroup = static_cast<std::size_t>(-1);

struct TModelFile {
  bool Usable = false;
  TMd3Model Model;
  std::vector<std::size_t> Groups;  // per surface
  std::optional<std::vector<std::size_t>> Meshes;  // per surface, once its first item is kept
};

// What one more item of the model costs: its colours and place, and the model's arrays with its
// first item.
std::uint64_t ItemBytes(const TModelFile& file) {
  return SharedItemBytes(file.Model) + (file.Meshes ? 0 : ItemMeshBytes(file.Model));
}

class TItemLoader {
 public:
  TItemLoader(TQuake3BSP& level, const TLevelLoad& load)
      : Level(level), Load(load), Items(level.Things.ItemModels), Warnings(level.Things.Warnings) {
    const shaders::TShaderSource& source = load.Options.ShaderSource;
    ImageExists = source.ImageExists ? source.ImageExists : [](const std::string& name) { return platform::FileExists(name); };
  }

  void Run() {
    // The models first, so that every image is known before the first is read: a source that
    // inflates its files (game-data archives) reads the next ones while this thread decodes.
    for (const char* path : PlacedItemModels(Level.Things.Places)) Model(path);
    TStopwatch images;
    LoadImages();
    Items.ImagesMs = images.LapMs();
    const TSolidBrushes brushes =
        ReadSolidBrushes(*Load.Bytes, Load.File.Lumps, Load.File.Textures, Warnings);
    TBoxDescent descent(Level);
    const std::optional<TLightGrid> grid = Load.Options.GridLight ? LevelLightGrid(Level, Load) : std::nullopt;
    const std::vector<TPlacedEntity>& places = Level.Things.Places;
    for (std::size_t p = 0; p < places.size(); ++p) {
      const TPlacedEntity& place = places[p];
      const TItemKind* kind = FindItemKind(place.ClassName);
      if (!kind || !place.Point) continue;
      TModelFile& item = Model(kind->Models[0]);
      if (!item.Usable) {
        Items.Markers.push_back(static_cast<std::int32_t>(p));
        continue;
      }
      // Items share their model's arrays, but each keeps its colours: a small level may not place
      // a large model a hundred thousand times over.
      const std::uint64_t bytes = ItemBytes(item) + (kind->Models[1] ? ItemBytes(Model(kind->Models[1])) : 0);
      if (!Load.Budget.Take(platform::TBudgetKind::ItemGeometry, bytes,
                            place.ClassName + " (entity " + std::to_string(place.Index) + ")"))
        continue;
      const TVector rest = RestingPlace(Level, brushes, descent, place.Position, SuspendedItem(Level, place));
      const std::int32_t leaf = Level.FindLeaf(rest);
      const std::int32_t cluster =
          leaf >= 0 && static_cast<std::size_t>(leaf) < Level.Leaves.size() ? Level.Leaves[static_cast<std::size_t>(leaf)].Cluster : -1;
      const TItemShade shade = grid ? GridShade(SampleLightGrid(*grid, rest, Level.Lighting.GameLight)) : TItemShade{};
      for (const char* path : kind->Models)
        if (path && Model(path).Usable) Share(Model(path), rest, place.Angle, cluster, shade);
      Items.GridLit += grid ? 1 : 0;
      ++Items.Items;
    }
  }

 private:
  TQuake3BSP& Level;
  const TLevelLoad& Load;
  TItemModels& Items;
  std::vector<std::string>& Warnings;
  std::function<bool(const std::string&)> ImageExists;
  std::map<std::string, TModelFile> Models;
  std::map<std::string, std::size_t> GroupOfName;  // a shader or image name's group
  std::vector<std::vector<std::string>> GroupImages;  // per group, the images to load
  std::vector<std::vector<std::vector<std::string>>> GroupStageImages;  // per group, stage, frame
  TImageOnce Images;

  void Share(TModelFile& file, const TVector& rest, float angle, std::int32_t cluster, const TItemShade& shade) {
    if (!file.Meshes) file.Meshes = AddItemMeshes(Items, file.Model, file.Groups);
    ShareItemInstance(Items, file.Model, file.Groups, *file.Meshes, rest, angle, cluster, shade);
  }

  TModelFile& Model(const std::string& path) {
    const auto [entry, first] = Models.try_emplace(path);
    TModelFile& file = entry->second;
    if (!first) return file;
    try {
      const std::optional<std::vector<std::uint8_t>> bytes = platform::ReadWholeFile(path);
      if (!bytes) {
        Warnings.push_back(path + ": not found: its items are drawn as markers");
        return file;
      }
      file.Model = ParseMd3(*bytes);
      ++Items.ModelsLoaded;
    } catch (const std::exception& e) {
      Warnings.push_back(path + ": " + e.what() + ": its items are drawn as markers");
      return file;
    }
    for (const std::string& warning : file.Model.Warnings) Warnings.push_back(path + ": " + warning);
    for (const std::string& name : SurfaceImageNames(file.Model, path, Warnings)) file.Groups.push_back(GroupFor(name));
    file.Usable = !file.Model.Surfaces.empty();
    if (!file.Usable) Warnings.push_back(path + ": no surface to draw: its items are drawn as markers");
    return file;
  }

  // The group of a shader or image name: its image and draw state as a level texture of that name
  // would have them; none for a surface that is not drawn or has no name.
  std::size_t GroupFor(const std::string& name) {
    if (name.empty()) return kNoGroup;
    const std::string base = WithoutImageExtension(name);
    if (const auto known = GroupOfName.find(LowerModelName(base)); known != GroupOfName.end()) return known->second;
    const shaders::TTextureSurface surface = shaders::DescribeTexture(base, Load.ShaderTable, ImageExists);
    std::size_t group = kNoGroup;
    if (surface.State.Drawn) {
      group = Items.Groups.size();
      TItemGroup& made = Items.Groups.emplace_back();
      made.State = surface.State;
      GroupImages.push_back(surface.Images);
      GroupStageImages.emplace_back();
      if (Load.Options.ModelStages && surface.Shader) {
        made.Shader = *surface.Shader;
        made.Plan = shaders::PlanStages(*surface.Shader, surface.State, {!Load.Options.GameLight, false});
        GroupStageImages.back() = surface.StageImages;
      }
    }
    GroupOfName.emplace(LowerModelName(base), group);
    return group;
  }

  // Each group's images in turn into its texture (the last that loads wins, as for a level's).
  void LoadImages() {
    std::vector<std::string> all;
    for (const std::vector<std::string>& images : GroupImages) all.insert(all.end(), images.begin(), images.end());
    for (const auto& stages : GroupStageImages)
      for (const std::vector<std::string>& frames : stages)
        for (const std::string& frame : frames)
          if (!frame.empty()) all.push_back(frame);
    const platform::TFileSource* files = Load.Options.Files;
    if (files && files->ReadAhead) files->ReadAhead(all);
    for (std::size_t g = 0; g < GroupImages.size(); ++g)
      for (const std::string& image : GroupImages[g]) {
        Items.Groups[g].Image = image;
        try {
          Images.Load(image, Items.Groups[g].Texture);
        } catch (const platform::EBudgetSpent&) {
          // left out: the budget's own warning names it
        } catch (const std::exception& e) {
          Warnings.push_back(image + ": " + e.what());
        }
      }
    for (std::size_t g = 0; g < GroupStageImages.size(); ++g) LoadStageImages(Items.Groups[g], GroupStageImages[g]);
  }

  // Every stage's frames of a group drawn by its stages, each file once; a clampMap stage's own.
  void LoadStageImages(TItemGroup& group, const std::vector<std::vector<std::string>>& stages) {
    group.StageTextures.assign(stages.size(), {});
    for (std::size_t s = 0; s < stages.size(); ++s)
      for (const std::string& frame : stages[s]) {
        std::uint32_t texture = 0;
        const bool clamp = group.Shader && s < group.Shader->Stages.size() && group.Shader->Stages[s].Clamp;
        try {
          if (!frame.empty()) Images.Load(frame, texture, clamp);
        } catch (const platform::EBudgetSpent&) {
          // left out: the budget's own warning names it
        } catch (const std::exception& e) {
          Warnings.push_back(frame + ": " + e.what());
        }
        group.StageTextures[s].push_back(texture);
      }
  }
};

}  // namespace

void LoadItemModels(TQuake3BSP& level, const TLevelLoad& load) {
  TStopwatch stopwatch;
  TItemLoader(level, load).Run();
  level.Things.ItemModels.LoadMs = stopwatch.LapMs();
}
