// The shader script reader on any bytes: it must end, in time linear in the text, without reading
// outside it, every shader it keeps must be filed under its own name, and it keeps no more
// shaders than the table's limit (every other input has one of 4). Every shader kept is then
// planned and evaluated as a frame would (stage values, tcMod matrices, deforms of a quad and
// autosprites) at a few times up to the clock's limit: the values must stay finite, within the
// kept bounds (stages, frames, tcMods, deforms), and the animMap frame within the frames.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "shaders/StagePlan.h"
#include "shaders/Shaders.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void Evaluate(const shaders::TShader& shader) {
  Check(shader.Stages.size() <= shaders::kMostStages && shader.Deforms.size() <= shaders::kMostDeforms);
  const shaders::TStagePlan plan = shaders::PlanStages(shader, shaders::DrawStateOf(&shader));
  Check(plan.Stages.size() <= shaders::kMostDrawnStages);
  for (const double seconds : {0.0, 0.5, 1e3, 1e6}) {
    for (const shaders::TPlannedStage& planned : plan.Stages) {
      const shaders::TStageValues values = shaders::EvaluateStage(shader, planned, seconds);
      for (const float c : values.Colour) Check(c >= 0 && c <= 1);
      for (const float m : values.Matrix) Check(std::isfinite(m));
      const shaders::TStage& stage = shader.Stages[planned.Stage];
      Check(stage.TcMods.size() <= shaders::kMostTcMods && stage.Frames.size() <= shaders::kMostFrames);
      Check(values.Frame == 0 || values.Frame < stage.Frames.size());
    }
    std::vector<TVector> positions{{0, 0, 0}, {0, 64, 0}, {64, 64, 0}, {64, 0, 0}};
    std::vector<TVector> normals(4, TVector{0, 0, 1});
    const std::vector<TTexCoord> coords{{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (const shaders::TDeform& deform : shader.Deforms) {
      shaders::ApplyDeform(deform, seconds, {positions, normals, coords});
      shaders::AutoSprite(positions, {500, 100, 50}, deform.Kind == shaders::TDeformKind::AutoSprite2);
    }
    for (const TVector& p : positions) Check(std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  shaders::TShaderTable table;
  if (size % 2) table.MostShaders = 4;
  shaders::ReadShaderScript("fuzz.shader", std::string_view(reinterpret_cast<const char*>(data), size), table);
  for (const auto& [name, shader] : table.Shaders) {
    if (shader.Name != name) std::abort();
    Evaluate(shader);
  }
  if (table.Problems.size() > shaders::kProblemsPerScript + 1) std::abort();
  if (table.Shaders.size() > table.MostShaders) std::abort();
  return 0;
}
