// The drawing order and state of a shader's stages.
#include "shaders/StagePlan.h"

#include <algorithm>
#include <cmath>

namespace shaders {
namespace {

bool Multiplies(const TStage& s) {
  return s.HasBlend && ((s.BlendSource == TBlendFactor::DstColor && s.BlendDestination == TBlendFactor::Zero) ||
                        (s.BlendSource == TBlendFactor::Zero && s.BlendDestination == TBlendFactor::SrcColor));
}
bool Replaces(const TStage& s) {
  return !s.HasBlend || (s.BlendSource == TBlendFactor::One && s.BlendDestination == TBlendFactor::Zero);
}

// A stage whose colour is white at every vertex and at every time.
bool White(const TStage& s) { return s.RgbGen == TColourGen::Identity && s.AlphaGen == TColourGen::Identity; }

// Coordinates that do not change with time: no tcMod, or only scales and fixed transforms.
bool StillCoords(const TStage& s) {
  return std::all_of(s.TcMods.begin(), s.TcMods.end(), [](const TTcMod& m) {
    return m.Kind == TTcModKind::Scale || m.Kind == TTcModKind::Transform;
  });
}

// The pair's own test: a still, white, opaque image, then the lightmap at twice the product.
bool FoldsPair(const TShader& shader, const TPlannedStage& image, const TPlannedStage& lightmap) {
  const auto still = [&](const TPlannedStage& p) {
    return !p.Moves && !p.Environment && !p.ClampShift && p.Colours == TVertexColours::None && White(shader.Stages[p.Stage]);
  };
  return still(image) && still(lightmap) && image.Texture == TStageTexture::Image && !image.Blend &&
         image.DepthWrite && !image.DepthEqual && !image.LightmapCoords &&
         lightmap.Texture == TStageTexture::Lightmap && lightmap.LightmapCoords && lightmap.Blend &&
         lightmap.Source == TBlendFactor::DstColor &&
         (lightmap.Destination == TBlendFactor::SrcColor || lightmap.Destination == TBlendFactor::Zero) &&
         lightmap.AlphaTest == TAlphaTest::None;
}

// A still image multiplied over the pair (a detail texture): by the product, or twice it.
bool FoldsDetail(const TShader& shader, const TPlannedStage& p) {
  const TStage& s = shader.Stages[p.Stage];
  const bool twice = p.Source == TBlendFactor::DstColor && p.Destination == TBlendFactor::SrcColor;
  return p.Texture == TStageTexture::Image && s.Frames.size() <= 1 && StillCoords(s) && White(s) &&
         !p.Environment && !p.LightmapCoords && p.Colours == TVertexColours::None &&
         p.AlphaTest == TAlphaTest::None && p.Blend && (twice || Multiplies(s));
}

void PlanOnePass(const TShader& shader, TStagePlan& plan) {
  const std::vector<TPlannedStage>& stages = plan.Stages;
  if (stages.size() < 2 || stages.size() > 3 || plan.Deformed || plan.AfterSky || shader.PolygonOffset) return;
  if (!FoldsPair(shader, stages[0], stages[1])) return;
  if (stages.size() == 3 && !FoldsDetail(shader, stages[2])) return;
  plan.OnePass = true;
  plan.OnePassDetail = stages.size() == 3;
  plan.DetailTwice = plan.OnePassDetail && stages[2].Source == TBlendFactor::DstColor &&
                     stages[2].Destination == TBlendFactor::SrcColor;
}

TPlannedStage Plan(const TShader& shader, std::size_t index, bool lightTwice) {
  const TStage& s = shader.Stages[index];
  TPlannedStage p;
  p.Stage = index;
  p.Texture = s.Map == "$lightmap" ? TStageTexture::Lightmap
              : (s.Map == "$whiteimage" || s.Map == "*white" || s.Map.empty()) ? TStageTexture::White
                                                                                : TStageTexture::Image;
  p.Blend = !Replaces(s);
  p.Source = s.BlendSource;
  p.Destination = s.BlendDestination;
  if (p.Texture == TStageTexture::Lightmap && Multiplies(s)) {
    p.Source = TBlendFactor::DstColor;
    p.Destination = lightTwice ? TBlendFactor::SrcColor : TBlendFactor::Zero;
  }
  p.DepthWrite = !p.Blend || s.DepthWrite;
  p.DepthEqual = s.DepthEqual;
  p.AlphaTest = s.AlphaTest;
  const bool rgbVertex = s.RgbGen == TColourGen::Vertex || s.RgbGen == TColourGen::OneMinusVertex;
  if (s.RgbGen == TColourGen::OneMinusVertex) p.Colours = TVertexColours::OneMinus;
  else if (rgbVertex) p.Colours = TVertexColours::AsStored;
  else if (s.AlphaGen == TColourGen::Vertex || s.AlphaGen == TColourGen::OneMinusVertex)
    p.Colours = TVertexColours::AlphaOnly;
  p.Environment = s.TcGen == TTcGen::Environment;
  p.LightmapCoords = s.TcGen == TTcGen::Lightmap || (p.Texture == TStageTexture::Lightmap && s.TcGen == TTcGen::Base);
  p.Moves = !s.TcMods.empty() || s.Frames.size() > 1 || s.RgbGen == TColourGen::Wave || s.AlphaGen == TColourGen::Wave;
  return p;
}

}  // namespace

TStagePlan PlanStages(const TShader& shader, const TDrawState& state, const TPlanRules& rules) {
  const bool lightTwice = rules.LightTwice;
  TStagePlan plan;
  if (!state.Drawn) return plan;
  const std::size_t count = std::min(shader.Stages.size(), kMostDrawnStages);
  for (std::size_t i = 0; i < count; ++i) plan.Stages.push_back(Plan(shader, i, lightTwice));
  std::vector<TPlannedStage>& stages = plan.Stages;
  if (rules.ClampCoords)
    for (TPlannedStage& p : stages) p.ClampShift = shader.Stages[p.Stage].Clamp && !p.LightmapCoords;
  if (stages.size() >= 2 && stages[0].Texture == TStageTexture::Lightmap && !stages[0].Blend &&
      stages[1].Texture != TStageTexture::Lightmap && Multiplies(shader.Stages[stages[1].Stage])) {
    // The usual pair: the image first, opaque, then the lightmap at twice the product.
    std::swap(stages[0], stages[1]);
    stages[0].Blend = false;
    stages[0].DepthWrite = true;
    stages[1].Blend = true;
    stages[1].Source = TBlendFactor::DstColor;
    stages[1].Destination = lightTwice ? TBlendFactor::SrcColor : TBlendFactor::Zero;
    stages[1].DepthWrite = false;
  }
  if (rules.LightmapMultiplies && stages.size() >= 2 && stages[0].Texture == TStageTexture::Image && !stages[0].Blend &&
      stages[1].Texture == TStageTexture::Lightmap && !shader.Stages[stages[1].Stage].HasBlend) {
    stages[1].Blend = true;
    stages[1].Source = TBlendFactor::DstColor;
    stages[1].Destination = lightTwice ? TBlendFactor::SrcColor : TBlendFactor::Zero;
    stages[1].DepthWrite = false;
  }
  // The first stage lays the surface over what lies behind it: blended only when the draw state
  // says the surface is (a lightmap first stage makes it opaque).
  if (!stages.empty() && !state.Blended && stages[0].Blend) {
    stages[0].Blend = false;
    stages[0].DepthWrite = true;
  }
  // Stages after the first leave the depth the first one wrote, unless they ask.
  for (std::size_t i = 1; i < stages.size(); ++i)
    if (stages[i].Blend) stages[i].DepthWrite = shader.Stages[stages[i].Stage].DepthWrite;
  plan.Sort = shader.Sort > 0 ? shader.Sort : state.Blended ? 9.0f : shader.PolygonOffset ? 4.0f : 3.0f;
  plan.AfterSky = plan.Sort > 3 || state.Blended;
  plan.Deformed = !shader.Deforms.empty();
  plan.Environment = std::any_of(stages.begin(), stages.end(), [](const TPlannedStage& p) { return p.Environment; });
  PlanOnePass(shader, plan);
  return plan;
}

}  // namespace shaders

namespace shaders {
namespace {

float Unit(float v) { return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f; }

}  // namespace

TStageValues EvaluateStage(const TShader& shader, const TPlannedStage& planned, double seconds) {
  TStageValues values;
  const TStage& s = shader.Stages[planned.Stage];
  if (s.RgbGen == TColourGen::Const)
    for (int i = 0; i < 3; ++i) values.Colour[i] = Unit(s.RgbConst[i]);
  if (s.RgbGen == TColourGen::Wave)
    values.Colour[0] = values.Colour[1] = values.Colour[2] = Unit(WaveValue(s.RgbWave, seconds));
  if (s.AlphaGen == TColourGen::Const) values.Colour[3] = Unit(s.AlphaConst);
  if (s.AlphaGen == TColourGen::Wave) values.Colour[3] = Unit(WaveValue(s.AlphaWave, seconds));
  if (!s.TcMods.empty() || planned.ClampShift) {
    const TTexMatrix m = StageTexMatrix(s.TcMods, seconds);
    TTexMatrix drawn = planned.LightmapCoords ? m : FlippedT(m);
    // The turned t runs from 0 down to -1, which a repeating image reads as 1 down to 0; a clamped
    // one would read its edge row there.
    if (planned.ClampShift) drawn = Then(drawn, TTexMatrix{1, 0, 0, 0, 1, 1});
    values.Identity = drawn == TTexMatrix{};
    ToGLMatrix(drawn, values.Matrix);
  }
  if (s.Frames.size() > 1) {
    const double x = std::floor(seconds * static_cast<double>(s.FramesPerSecond));
    if (std::isfinite(x) && x > 0)
      values.Frame = static_cast<std::size_t>(std::fmod(x, static_cast<double>(s.Frames.size())));
  }
  return values;
}

}  // namespace shaders
