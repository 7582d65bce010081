#include "app/runs/Export.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <optional>

#include "app/runs/ExportImages.h"
#include "app/runs/ExportThings.h"
#include "app/runs/GltfWriter.h"
#include "app/runs/LevelReport.h"
#include "app/runs/Limits.h"
#include "app/runs/LoadSummary.h"
#include "app/runs/WebPage.h"
#include "app/viewer/frmMain.h"
#include "level/BrushModels.h"
#include "level/ExportGeometry.h"
#include "level/LightmapAtlas.h"
#include "level/LightmapFiles.h"
#include "level/ModelLoad.h"
#include "level/Q3BSP_lightmaps.h"
#include "level/SpawnPoints.h"
#include "textures/PixelBudget.h"

namespace app {
namespace {

// The brush models' faces are in the export when the viewer would draw them: with --brush-models
// (or --full), each model a node at its place.
bool BrushModelsDrawn(const TRunOptions& options) { return options.BrushModels; }

// The level's own lightmaps as the viewer shows them. Lightmaps from image files are pages of their
// own size for the same atlases (ReadLightmapFilePages).
std::vector<TLightmapPage> LightmapPages(const std::vector<TBSPLightmap>& lightmaps) {
  std::vector<TLightmapPage> pages(lightmaps.size());
  for (std::size_t m = 0; m < lightmaps.size(); ++m) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&lightmaps[m]);
    pages[m].Rgb.assign(bytes, bytes + sizeof(TBSPLightmap));
    BrightenLightmap(pages[m].Rgb);
  }
  return pages;
}

}  // namespace

// glTF's alpha modes for the viewer's draw state, and how the image's alpha must read for them.
TGltfMaterial MaterialLookOf(const shaders::TDrawState* state, TAlphaUse& use) {
  TGltfMaterial look;
  use = TAlphaUse::Keep;
  if (!state) return look;
  look.DoubleSided = state->TwoSided;
  using shaders::TAlphaTest, shaders::TBlendFactor;
  if (state->Blended) {
    look.AlphaMode = "BLEND";
    // Adding: black adds nothing, so the brightest channel is how much the surface covers.
    if (state->BlendSource == TBlendFactor::One && state->BlendDestination == TBlendFactor::One)
      use = TAlphaUse::FromColour;
    return look;
  }
  if (state->AlphaTest == TAlphaTest::None) return look;
  look.AlphaMode = "MASK";
  // glTF keeps a texel whose alpha is at least the cutoff. Greater than 0 is at least half a step
  // of 1/255; less than one half is at least one half of the inverted alpha.
  look.AlphaCutoff = state->AlphaTest == TAlphaTest::GT0 ? 0.5 / 255 : 0.5;
  if (state->AlphaTest == TAlphaTest::LT128) use = TAlphaUse::Inverted;
  return look;
}

namespace {

struct TExportInputs {
  TQuake3BSP Level;
  std::vector<TBSPLightmap> Lightmaps;
  TSurfaceImageStore Images;
  TExportThings Things;  // the items (--full) and the sky (--shaders)
};

// The materials of the plan with their images encoded once per (image, alpha use).
void AddMaterials(const TExportPlan& plan, const TBSPFile& records, const TExportInputs& inputs,
                  bool shaded, TGltfScene& scene) {
  std::map<std::pair<std::int32_t, TAlphaUse>, std::int32_t> encoded;
  std::map<std::int32_t, int> perTexture;
  for (const TExportMaterial& m : plan.Materials) ++perTexture[m.Texture];
  for (const TExportMaterial& m : plan.Materials) {
    const std::size_t t = static_cast<std::size_t>(m.Texture);
    TAlphaUse use = TAlphaUse::Keep;
    TGltfMaterial material = MaterialLookOf(shaded ? &inputs.Level.Shading.States[t] : nullptr, use);
    material.Name = TextureBaseName(records.Textures[t]);
    // A texture drawn with and without a lightmap, or over two atlases, names each material apart.
    if (perTexture[m.Texture] > 1)
      material.Name += m.Atlas == kVertexLitAtlas ? " (vertex light)"
                       : m.Atlas < 0                ? " (no lightmap)"
                                                    : " (lightmap atlas " + std::to_string(m.Atlas) + ")";
    material.Atlas = m.Atlas;
    const std::int32_t image = inputs.Images.Chosen()[t];
    if (image >= 0) {
      const auto [entry, first] = encoded.try_emplace({image, use}, static_cast<std::int32_t>(scene.Images.size()));
      if (first) scene.Images.push_back(inputs.Images.Encode(image, use));
      material.Image = entry->second;
    }
    scene.Materials.push_back(std::move(material));
  }
}

}  // namespace

std::string LevelNameOf(const std::string& levelPath) {
  std::string name = levelPath.substr(levelPath.find_last_of("/\\") + 1);
  if (name.size() > 4) {
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (tail == ".bsp") name.resize(name.size() - 4);
  }
  return name;
}

TExportPlan PlanExportOf(const TLevelFile& file, const TBSPFile& records, const TRunOptions& options,
                         std::span<const shaders::TDrawState> states, const TLightmapFilePages* files,
                         std::size_t mostMaterials) {
  std::optional<TSurfacePlan> surfaces;
  if (options.AllSurfaces) surfaces = PlanSurfaces(records.Faces, options.Tessellation);
  const std::vector<TBSPModel> models = ReadModels(file.Data(), records.Faces.size());
  const std::vector<std::int32_t> faceModels = FaceModels(models, records.Faces.size());
  TExportSource source;
  source.Faces = records.Faces;
  source.Textures = records.Textures;
  source.States = states;
  source.Surfaces = surfaces ? &*surfaces : nullptr;
  source.Tessellation = options.Tessellation;
  source.FaceModels = faceModels;
  source.BrushModels = BrushModelsDrawn(options);
  source.LightmapCount = static_cast<std::int32_t>(files ? files->Slots.size() : records.Lightmaps.size());
  source.PagesPerAtlas = files ? LayoutAtlases(0, files->Width, files->Height).PagesPerAtlas
                               : LayoutAtlases(0, 128, 128).PagesPerAtlas;
  if (files) source.PageSlots = files->Slots;
  source.VertexLight = options.VertexLight;
  source.MostMaterials = mostMaterials;
  return PlanExport(source);
}

namespace {

// Everything the file holds, from the loaded level and its images.
TGltfScene BuildScene(TExportInputs& inputs, const TLoadedRecords& loaded, const TRunOptions& options,
                      TExportPlan& plan) {
  TGltfScene scene;
  scene.LevelName = LevelNameOf(options.LevelPath);
  scene.Generator = std::string("bspwalk ") + kProgramVersion;
  scene.Scale = options.ExportScale;
  const bool shaded = options.LevelOptions.Shaders;
  // --external-lightmaps on a level that wants them: the files' pages, as the viewer loads them.
  std::optional<TLightmapFilePages> files;
  if (options.ExternalLightmaps && WantsLightmapFiles(loaded.Records.Lightmaps.size(), loaded.Records.Faces)) {
    files = ReadLightmapFilePages(loaded.Records, LightmapFolderFor(options));
    for (const std::string& warning : files->Warnings) std::cerr << "bspwalk: warning: " << warning << "\n";
  }
  plan = PlanExportOf(loaded.File, loaded.Records, options,
                      shaded ? std::span<const shaders::TDrawState>(inputs.Level.Shading.States)
                             : std::span<const shaders::TDrawState>(),
                      files ? &*files : nullptr,
                      options.LevelOptions.Budget
                          ? options.LevelOptions.Budget->Left(platform::TBudgetKind::ExportMaterials)
                          : SIZE_MAX);
  const std::vector<TLightmapPage> pages = files ? std::move(files->Pages) : LightmapPages(inputs.Lightmaps);
  inputs.Lightmaps = {};
  TAtlasLayout atlases = LayoutAtlases(static_cast<std::int32_t>(pages.size()), files ? files->Width : 128,
                                       files ? files->Height : 128);
  if (files) atlases.Slots = std::move(files->Slots);
  for (std::int32_t a = 0; a < atlases.AtlasCount(); ++a)
    scene.Atlases.push_back({"lightmap atlas " + std::to_string(a), "image/png",
                             EncodePNG(atlases.Width(a), atlases.Height(a), 3, PackAtlas(atlases, a, pages), false)});
  if (platform::TBudget* budget = options.LevelOptions.Budget) {
    budget->Take(platform::TBudgetKind::ExportMaterials, plan.Materials.size(), "");
    for (const TExportMaterial& m : plan.LeftOut)
      budget->LeftOut(platform::TBudgetKind::ExportMaterials,
                      TextureBaseName(loaded.Records.Textures[static_cast<std::size_t>(m.Texture)]));
  }
  AddMaterials(plan, loaded.Records, inputs, shaded, scene);
  const std::vector<TBSPModel> models = ReadModels(loaded.File.Data(), loaded.Records.Faces.size());
  scene.Meshes = BuildExportMeshes(inputs.Level, plan, atlases, FaceModels(models, loaded.Records.Faces.size()),
                                   models, options.ExportScale);
  scene.Spawns = LevelSpawnPoints(loaded.File);
  TThingsWanted wanted;
  wanted.GameData = options.LevelOptions.Files != nullptr;
  wanted.Seconds = options.Time;
  AddStages(plan, inputs.Level, inputs.Things, wanted, scene, inputs.Things.Warnings);
  AddThings(inputs.Things, scene);
  return scene;
}

// The items with --full, the sky with --shaders: gathered when the level model is complete.
TAfterLevelModel ThingsStep(const TRunOptions& options, TExportThings& things) {
  TThingsWanted wanted;
  wanted.Items = options.Items;
  wanted.Sky = options.LevelOptions.Shaders;
  if (!wanted.Items && !wanted.Sky) return {};
  wanted.GameData = options.LevelOptions.Files != nullptr;
  wanted.JoinedSky = options.JoinedSky;
  wanted.Seconds = options.Time;
  wanted.Scale = options.ExportScale;
  return [wanted, &things](TQuake3BSP& level, const TLevelLoad& load, const TShadedImages* shaded) {
    GatherThings(things, wanted, level, load, shaded);
  };
}

// The file the options ask for: the glTF, or the page carrying it.
std::uint64_t WriteExport(TGltfScene& scene, const TExportPlan& plan, const TPageLibrary* library,
                          const std::string& path) {
  if (!library) return WriteGltf(scene, path);
  TPageInfo info;
  info.Name = scene.LevelName;
  info.Generator = scene.Generator;
  info.Faces = plan.Faces;
  info.Triangles = plan.Triangles;
  info.Materials = scene.Materials.size();
  info.Images = scene.Images.size();
  info.Atlases = scene.Atlases.size();
  info.Items = scene.Items.size();
  info.Scale = scene.Scale;
  return WritePage(BuildPage(*library, GltfBinary(scene), info), path);
}

}  // namespace

int RunExport(const TRunOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  const std::string& path = options.ExportPath;
  const bool page = IsPageName(path);
  if (!(page ? MayWritePage(path, std::cerr) : MayWriteGltf(path, std::cerr))) return 1;
  // Read first: without three.js a page cannot be made, and nothing else need be.
  std::optional<TPageLibrary> library;
  try {
    if (page) library = ReadPageLibrary(PageLibraryFolder());
  } catch (const std::exception& e) {
    std::cerr << "bspwalk: " << e.what() << "\n";
    return 1;
  }
  const std::optional<TLoadedRecords> loaded = LoadLevelRecords(options.LevelPath, options.LevelBytes);
  if (!loaded) return 1;
  // Counted before anything large is built: every face the options draw, whatever its shader.
  const std::int64_t triangles = PlanExportOf(loaded->File, loaded->Records, options, {}).Triangles;
  if (triangles > kMostExportTriangles) {
    std::cerr << "bspwalk: " << options.LevelPath << ": " << triangles << " triangles to export"
              << (options.AllSurfaces ? " with curved surfaces at --tess " + std::to_string(options.Tessellation) : "")
              << ", more than the " << kMostExportTriangles << " an export takes\n";
    return 1;
  }
  auto inputs = std::make_unique<TExportInputs>();
  TGltfScene scene;
  TExportPlan plan;
  try {
    const bool shaded = options.LevelOptions.Shaders;
    const bool gameData = options.LevelOptions.Files != nullptr;
    const auto readImages = [&](const TSurfaceImageNames& names) {
      inputs->Images.Read(names, shaded, gameData, inputs->Level.Shading.Problems);
    };
    // The pictures count against the run's budget of pixels as the viewer's do, in the same words.
    const textures::TScopedPixelBudget pixels(options.LevelOptions.Budget);
    if (!LoadLevelModel(inputs->Level, options.LevelPath, options.LevelOptions, readImages, inputs->Lightmaps,
                        ThingsStep(options, inputs->Things))) {
      std::cerr << "bspwalk: " << options.LevelPath << ": the level could not be opened\n";
      return 1;
    }
    scene = BuildScene(*inputs, *loaded, options, plan);
  } catch (const std::exception& e) {
    std::cerr << "bspwalk: " << options.LevelPath << ": " << e.what() << "\n";
    return 1;
  }
  if (options.Verbose) {
    for (const std::string& warning : inputs->Things.Warnings) std::cerr << "bspwalk: warning: " << warning << "\n";
    PrintSurfaceSummary(inputs->Level.Surfaces, inputs->Level.LoadTimings.TessellationMs);
    if (options.Shaders) PrintShadingSummary(inputs->Level);
  }
  // The level and its images are in the scene now; the file needs the memory.
  inputs.reset();
  const std::size_t images = scene.Images.size(), atlases = scene.Atlases.size(), spawns = scene.Spawns.size();
  std::uint64_t bytes = 0;
  try {
    bytes = WriteExport(scene, plan, library ? &*library : nullptr, path);
  } catch (const std::exception& e) {
    std::cerr << "bspwalk: " << e.what() << "\n";
    return 1;
  }
  if (options.Verbose) {
    std::fprintf(stderr,
                 "bspwalk: %s: %d faces, %lld triangles, %zu materials, %zu images, %zu lightmap "
                 "atlases, %zu spawn points; %llu bytes in %.0f ms, peak resident memory %.1f MB\n",
                 path.c_str(), plan.Faces, static_cast<long long>(plan.Triangles), plan.Materials.size(),
                 images, atlases, spawns, static_cast<unsigned long long>(bytes),
                 std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
                 PeakResidentMB());
  }
  return 0;
}

}  // namespace app
