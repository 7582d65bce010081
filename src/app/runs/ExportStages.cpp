// The shader stages of the level's surfaces for the page: what the viewer's stage passes draw,
// written as a list the page's shader composes in one pass (each stage blended over the ones
// before it), with the texture matrix and colour of the export's time.
#include <map>

#include "app/runs/ExportThings.h"
#include "shaders/StagePlan.h"

namespace app {
namespace {

bool PageDraws(const TShadedSurface& surface, const shaders::TDrawState& state, const shaders::TStagePlan& plan,
               std::int32_t atlas) {
  if (state.Blended || state.AlphaTest != shaders::TAlphaTest::None) return false;
  if (!surface.Shader || plan.Stages.empty() || plan.Deformed || plan.Stages.size() > shaders::kMostDrawnStages) return false;
  // Image times lightmap is the material itself.
  if (plan.OnePass && !plan.OnePassDetail) return false;
  // What a blended first stage blends with is the surfaces behind, which one shader cannot see.
  const std::size_t first = plan.Stages.front().Stage;
  if (plan.Stages.front().Blend || (first < surface.Shader->Stages.size() && surface.Shader->Stages[first].HasBlend))
    return false;
  for (const shaders::TPlannedStage& stage : plan.Stages) {
    if (stage.Colours != shaders::TVertexColours::None || stage.AlphaTest != shaders::TAlphaTest::None) return false;
    if (stage.Texture == shaders::TStageTexture::Lightmap && (atlas < 0 || !stage.LightmapCoords)) return false;
  }
  return true;
}

}  // namespace

void AddStages(const TExportPlan& plan, const TQuake3BSP& level, const TExportThings& things,
               const TThingsWanted& wanted, TGltfScene& scene, std::vector<std::string>& warnings) {
  if (things.StageImages.empty()) return;
  // Each drawn material's stages, their image names first so that each file is read once.
  struct TPending {
    std::size_t Material;
    TGltfStage Stage;
    std::int32_t Entry = -1;  // into names
  };
  std::vector<TPending> pending;
  TSurfaceImageNames names;
  for (std::size_t m = 0; m < plan.Materials.size() && m < scene.Materials.size(); ++m) {
    const auto t = static_cast<std::size_t>(plan.Materials[m].Texture);
    if (t >= level.Shading.Surfaces.size() || t >= things.StageImages.size()) continue;
    const TShadedSurface& surface = level.Shading.Surfaces[t];
    // The file's lightmaps carry the design's light (twice the product), whatever the run's light.
    const shaders::TStagePlan stages =
        surface.Shader ? shaders::PlanStages(*surface.Shader, level.Shading.States[t], {true, level.Shading.GameStages})
                       : shaders::TStagePlan{};
    if (!PageDraws(surface, level.Shading.States[t], stages, plan.Materials[m].Atlas)) continue;
    for (const shaders::TPlannedStage& planned : stages.Stages) {
      const shaders::TStageValues values = shaders::EvaluateStage(*surface.Shader, planned, wanted.Seconds);
      TPending& stage = pending.emplace_back();
      stage.Material = m;
      stage.Stage.Lightmap = planned.Texture == shaders::TStageTexture::Lightmap;
      stage.Stage.Environment = planned.Environment;
      stage.Stage.Clamp = planned.Stage < surface.Shader->Stages.size() && surface.Shader->Stages[planned.Stage].Clamp;
      if (planned.Blend)
        stage.Stage.BlendFunc = std::string(FactorName(planned.Source)) + " " + FactorName(planned.Destination);
      const float* M = values.Matrix;
      stage.Stage.Matrix = {M[0], M[1], M[4], M[5], M[12], M[13]};
      stage.Stage.Colour = {values.Colour[0], values.Colour[1], values.Colour[2], values.Colour[3]};
      const std::vector<std::vector<std::string>>& frames = things.StageImages[t];
      if (planned.Texture == shaders::TStageTexture::Image && planned.Stage < frames.size() &&
          values.Frame < frames[planned.Stage].size() && !frames[planned.Stage][values.Frame].empty()) {
        stage.Entry = static_cast<std::int32_t>(names.size());
        names.push_back({frames[planned.Stage][values.Frame]});
      }
    }
  }
  TSurfaceImageStore images;
  std::vector<shaders::TProblem> problems;
  images.Read(names, true, wanted.GameData, problems);
  for (const shaders::TProblem& problem : problems) warnings.push_back(problem.File + ": " + problem.Text);
  // A stage's image is most often its surface's own, already in the file as it is.
  std::map<std::string, std::int32_t> kept;
  for (std::size_t i = 0; i < scene.Images.size(); ++i)
    if (scene.Images[i].Use == TAlphaUse::Keep && !scene.Images[i].Clamp)
      kept.try_emplace(scene.Images[i].Name, static_cast<std::int32_t>(i));
  for (TPending& stage : pending) {
    if (stage.Entry >= 0)
      if (const std::int32_t image = images.Chosen()[static_cast<std::size_t>(stage.Entry)]; image >= 0) {
        const auto [entry, first] = kept.try_emplace(images.NameOf(image), static_cast<std::int32_t>(scene.Images.size()));
        if (first) scene.Images.push_back(images.Encode(image, TAlphaUse::Keep));
        stage.Stage.Image = entry->second;
      }
    scene.Materials[stage.Material].Stages.push_back(std::move(stage.Stage));
  }
}

}  // namespace app
