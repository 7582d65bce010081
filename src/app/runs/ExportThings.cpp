// The export's items and sky: the item models read and placed as the viewer's loader reads and
// places them (render/ItemModels.cpp: the default skin, else the surface's shader or image; dropped
// to the floor; lit by the light grid), the sky's images as its loader chooses them
// (render/Q3BSP_shaders.cpp), and both made into glTF geometry and materials.
#include "app/runs/ExportThings.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <numbers>
#include <set>

#include "level/Entities.h"
#include "level/Items.h"
#include "level/Things.h"
#include "platform/Budget.h"
#include "platform/Files.h"
#include "render/ItemLight.h"

namespace app {
namespace {

void Extend(TExportPrimitive& primitive, const std::array<float, 3>& at) {
  const bool first = primitive.Positions.empty();
  for (int k = 0; k < 3; ++k) {
    primitive.Min[k] = first ? at[k] : std::min(primitive.Min[k], at[k]);
    primitive.Max[k] = first ? at[k] : std::max(primitive.Max[k], at[k]);
  }
  primitive.Positions.insert(primitive.Positions.end(), at.begin(), at.end());
}

// The level's direction (x, y, z) in glTF's axes.
std::array<float, 3> GltfDirection(const TVector& d) { return {d.X, d.Z, -d.Y}; }

class TItemGatherer {
 public:
  TItemGatherer(TExportThings& things, const TThingsWanted& wanted, TQuake3BSP& level, const TLevelLoad& load)
      : Things(things), Wanted(wanted), Level(level), Load(load) {
    const shaders::TShaderSource& source = load.Options.ShaderSource;
    ImageExists = source.ImageExists ? source.ImageExists : [](const std::string& name) { return platform::FileExists(name); };
  }

  void Run() {
    for (const char* path : PlacedItemModels(Level.Things.Places)) Model(path);
    AddMaterials();
    for (auto& [path, file] : Models) AddModel(path, file);
    const TSolidBrushes brushes = ReadSolidBrushes(*Load.Bytes, Load.File.Lumps, Load.File.Textures, Things.Warnings);
    TBoxDescent descent(Level);
    const std::optional<TLightGrid> grid = Load.Options.GridLight ? LevelLightGrid(Level, Load) : std::nullopt;
    for (const TPlacedEntity& place : Level.Things.Places) {
      const TItemKind* kind = FindItemKind(place.ClassName);
      if (!kind || !place.Point || !Model(kind->Models[0]).Usable) continue;
      std::uint64_t bytes = 0;
      for (const char* path : kind->Models)
        if (path) bytes += ColourBytes(Model(path));
      if (!Load.Budget.Take(platform::TBudgetKind::ItemGeometry, bytes,
                            place.ClassName + " (entity " + std::to_string(place.Index) + ")"))
        continue;
      const TVector rest = RestingPlace(Level, brushes, descent, place.Position, SuspendedItem(Level, place));
      const TItemShade shade = grid ? GridShade(SampleLightGrid(*grid, rest, Level.Lighting.GameLight)) : TItemShade{};
      AddItem(place, *kind, rest, shade);
    }
  }

 private:
  struct TModelFile {
    bool Usable = false;
    TMd3Model Model;
    std::vector<std::int32_t> Groups;  // per surface; -1: not drawn
    std::int32_t Exported = -1;        // index into Things.ItemModels
  };

  TExportThings& Things;
  const TThingsWanted& Wanted;
  TQuake3BSP& Level;
  const TLevelLoad& Load;
  std::function<bool(const std::string&)> ImageExists;
  std::map<std::string, TModelFile> Models;
  std::map<std::string, std::int32_t> GroupOfName;
  std::vector<std::string> GroupNames;
  std::vector<shaders::TDrawState> GroupStates;
  TSurfaceImageNames GroupImages;
  std::vector<std::int32_t> GroupMaterials;

  static std::uint64_t ColourBytes(const TModelFile& file) {
    std::uint64_t bytes = 0;
    for (const TMd3Surface& surface : file.Model.Surfaces) bytes += 4 * surface.Positions.size();
    return bytes;
  }

  TModelFile& Model(const std::string& path) {
    const auto [entry, first] = Models.try_emplace(path);
    TModelFile& file = entry->second;
    if (!first) return file;
    try {
      const std::optional<std::vector<std::uint8_t>> bytes = platform::ReadWholeFile(path);
      if (!bytes) {
        Things.Warnings.push_back(path + ": not found: left out of the items");
        return file;
      }
      file.Model = ParseMd3(*bytes);
    } catch (const std::exception& e) {
      Things.Warnings.push_back(path + ": " + e.what() + ": left out of the items");
      return file;
    }
    for (const std::string& warning : file.Model.Warnings) Things.Warnings.push_back(path + ": " + warning);
    for (const std::string& name : SurfaceImageNames(file.Model, path, Things.Warnings)) file.Groups.push_back(GroupFor(name));
    file.Usable = !file.Model.Surfaces.empty();
    return file;
  }

  std::int32_t GroupFor(const std::string& name) {
    if (name.empty()) return -1;
    const std::string base = WithoutImageExtension(name);
    if (const auto known = GroupOfName.find(LowerModelName(base)); known != GroupOfName.end()) return known->second;
    const shaders::TTextureSurface surface = shaders::DescribeTexture(base, Load.ShaderTable, ImageExists);
    std::int32_t group = -1;
    if (surface.State.Drawn) {
      group = static_cast<std::int32_t>(GroupStates.size());
      GroupNames.push_back(base);
      GroupStates.push_back(surface.State);
      GroupImages.push_back(surface.Images);
    }
    GroupOfName.emplace(LowerModelName(base), group);
    return group;
  }

  // One material per group, its image read once and encoded once per alpha use.
  void AddMaterials() {
    TSurfaceImageStore images;
    std::vector<shaders::TProblem> problems;
    images.Read(GroupImages, true, Wanted.GameData, problems);
    for (const shaders::TProblem& problem : problems) Things.Warnings.push_back(problem.File + ": " + problem.Text);
    std::map<std::pair<std::int32_t, TAlphaUse>, std::int32_t> encoded;
    for (std::size_t g = 0; g < GroupStates.size(); ++g) {
      TAlphaUse use = TAlphaUse::Keep;
      TGltfMaterial material = MaterialLookOf(&GroupStates[g], use);
      material.Name = GroupNames[g];
      material.Notes = {{"surface", "item"}};
      if (const std::int32_t image = images.Chosen()[g]; image >= 0) {
        const auto [entry, first] = encoded.try_emplace({image, use}, static_cast<std::int32_t>(Things.Images.size()));
        if (first) Things.Images.push_back(images.Encode(image, use));
        material.Image = entry->second;
      }
      GroupMaterials.push_back(static_cast<std::int32_t>(Things.Materials.size()));
      Things.Materials.push_back(std::move(material));
    }
  }

  // The model's drawn surfaces in its own frame, wound as glTF keeps them (the viewer culls the
  // faces its level culls).
  void AddModel(const std::string& path, TModelFile& file) {
    if (!file.Usable) return;
    TGltfItemModel model;
    model.Name = path;
    for (std::size_t s = 0; s < file.Model.Surfaces.size(); ++s) {
      if (file.Groups[s] < 0) continue;
      const TMd3Surface& surface = file.Model.Surfaces[s];
      TExportPrimitive& primitive = model.Surfaces.emplace_back();
      primitive.Material = GroupMaterials[static_cast<std::size_t>(file.Groups[s])];
      for (std::size_t v = 0; v < surface.Positions.size(); ++v) {
        Extend(primitive, GltfPoint(surface.Positions[v], Wanted.Scale));
        const std::array<float, 3> n = GltfDirection(surface.Normals[v]);
        primitive.Normals.insert(primitive.Normals.end(), n.begin(), n.end());
        primitive.TexCoords.insert(primitive.TexCoords.end(), {surface.Coords[v].S, surface.Coords[v].T});
      }
      for (std::size_t i = 0; i + 2 < surface.Indices.size(); i += 3)
        primitive.Indices.insert(primitive.Indices.end(), {surface.Indices[i], surface.Indices[i + 2], surface.Indices[i + 1]});
    }
    if (model.Surfaces.empty()) {
      file.Usable = false;
      return;
    }
    file.Exported = static_cast<std::int32_t>(Things.ItemModels.size());
    Things.ItemModels.push_back(std::move(model));
  }

  // The item's node; its colours are the viewer's for its models turned by its angle.
  void AddItem(const TPlacedEntity& place, const TItemKind& kind, const TVector& rest, const TItemShade& shade) {
    TGltfItem& item = Things.Items.emplace_back();
    item.ClassName = place.ClassName;
    item.Entity = place.Index;
    item.Place = {rest.X, rest.Y, rest.Z};
    item.Translation = GltfPoint(rest, Wanted.Scale);
    const double half = static_cast<double>(place.Angle) * std::numbers::pi / 360.0;
    if (std::isfinite(half))
      item.Rotation = {0.0f, static_cast<float>(std::sin(half)), 0.0f, static_cast<float>(std::cos(half))};
    for (const char* path : kind.Models) {
      if (!path) continue;
      const TModelFile& file = Model(path);
      if (!file.Usable) continue;
      item.Models.push_back(file.Exported);
      TItemModels lit;
      lit.Groups.resize(file.Model.Surfaces.size());
      std::vector<std::size_t> groups(file.Model.Surfaces.size());
      for (std::size_t s = 0; s < groups.size(); ++s) groups[s] = s;
      AddItemInstance(lit, file.Model, groups, TVector{0, 0, 0}, place.Angle, -1, shade);
      for (std::size_t s = 0; s < groups.size(); ++s) {
        if (file.Groups[s] < 0) continue;
        std::vector<std::uint8_t>& colours = item.Colours.emplace_back();
        for (const std::array<std::uint8_t, 4>& c : lit.Groups[s].Colours) colours.insert(colours.end(), c.begin(), c.end());
      }
    }
  }
};

}  // namespace

void GatherThings(TExportThings& things, const TThingsWanted& wanted, TQuake3BSP& level, const TLevelLoad& load,
                  const TShadedImages* shaded) {
  if (wanted.Items) TItemGatherer(things, wanted, level, load).Run();
  if (wanted.Sky && shaded) {
    GatherSky(things, wanted, level, *shaded);
    things.StageImages = shaded->Stages;
  }
}

void AddThings(TExportThings& things, TGltfScene& scene) {
  const auto materials = static_cast<std::int32_t>(scene.Materials.size());
  const auto images = static_cast<std::int32_t>(scene.Images.size());
  for (TGltfMaterial& material : things.Materials) {
    if (material.Image >= 0) material.Image += images;
    scene.Materials.push_back(std::move(material));
  }
  for (TEncodedImage& image : things.Images) scene.Images.push_back(std::move(image));
  for (TGltfItemModel& model : things.ItemModels) {
    for (TExportPrimitive& surface : model.Surfaces) surface.Material += materials;
    scene.ItemModels.push_back(std::move(model));
  }
  scene.Items = std::move(things.Items);
  if (things.Sky) {
    for (TExportPrimitive& primitive : things.Sky->Primitives) primitive.Material += materials;
    scene.Meshes.push_back(std::move(*things.Sky));
  }
  std::vector<std::string> warnings = std::move(things.Warnings);
  things = {};
  things.Warnings = std::move(warnings);  // for --verbose, after the file is made
}

}  // namespace app
