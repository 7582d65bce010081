// The export's sky: the far box's sides and the cloud layers' dome of the viewer's sky
// (render/Q3BSP_sky.cpp), made once around the level instead of around the eye, each layer's
// texture coordinates taken at one time of the shaders' clock.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "app/runs/ExportThings.h"
#include "render/Q3BSP_sky.h"
#include "shaders/StagePlan.h"

namespace app {
namespace {

constexpr std::array<const char*, 6> kSideNames = {"rt", "bk", "lf", "ft", "up", "dn"};

}  // namespace

const char* FactorName(shaders::TBlendFactor factor) {
  using shaders::TBlendFactor;
  switch (factor) {
    case TBlendFactor::Zero: return "GL_ZERO";
    case TBlendFactor::One: return "GL_ONE";
    case TBlendFactor::SrcColor: return "GL_SRC_COLOR";
    case TBlendFactor::OneMinusSrcColor: return "GL_ONE_MINUS_SRC_COLOR";
    case TBlendFactor::SrcAlpha: return "GL_SRC_ALPHA";
    case TBlendFactor::OneMinusSrcAlpha: return "GL_ONE_MINUS_SRC_ALPHA";
    case TBlendFactor::DstAlpha: return "GL_DST_ALPHA";
    case TBlendFactor::OneMinusDstAlpha: return "GL_ONE_MINUS_DST_ALPHA";
    case TBlendFactor::DstColor: return "GL_DST_COLOR";
    case TBlendFactor::OneMinusDstColor: return "GL_ONE_MINUS_DST_COLOR";
    case TBlendFactor::SrcAlphaSaturate: return "GL_SRC_ALPHA_SATURATE";
  }
  return "GL_ONE";
}

namespace {

void AddVertex(TExportPrimitive& primitive, const TVector& at, const TVector& inward, float u, float v, float scale) {
  const std::array<float, 3> p = GltfPoint(at, scale);
  const bool first = primitive.Positions.empty();
  for (int k = 0; k < 3; ++k) {
    primitive.Min[k] = first ? p[k] : std::min(primitive.Min[k], p[k]);
    primitive.Max[k] = first ? p[k] : std::max(primitive.Max[k], p[k]);
  }
  primitive.Positions.insert(primitive.Positions.end(), p.begin(), p.end());
  primitive.Normals.insert(primitive.Normals.end(), {inward.X, inward.Z, -inward.Y});
  primitive.TexCoords.insert(primitive.TexCoords.end(), {u, v});
}

// A cloud layer: the dome's sphere of directions, 32 steps round and 16 from the zenith down, as
// the viewer's, its coordinates the cloud layer's moved by the stage's texture matrix.
TExportPrimitive Dome(float radius, float height, const shaders::TStageValues& values, float scale) {
  constexpr int kAround = 32, kDown = 16;
  TExportPrimitive dome;
  const float* m = values.Matrix;
  for (int i = 0; i <= kDown; ++i) {
    const double polar = std::numbers::pi * i / kDown;
    for (int j = 0; j <= kAround; ++j) {
      const double azimuth = 2 * std::numbers::pi * j / kAround;
      const TVector d{static_cast<float>(std::sin(polar) * std::cos(azimuth)),
                      static_cast<float>(std::sin(polar) * std::sin(azimuth)), static_cast<float>(std::cos(polar))};
      const TTexCoord c = CloudCoords(d, height);
      const float s = m[0] * c.S + m[4] * c.T + m[12], t = m[1] * c.S + m[5] * c.T + m[13];
      // The viewer's t counts up its images from their bottom row; glTF's v down from the top.
      AddVertex(dome, {d.X * radius, d.Y * radius, d.Z * radius}, {-d.X, -d.Y, -d.Z}, s, -t, scale);
    }
  }
  for (std::uint32_t i = 0; i < kDown; ++i)
    for (std::uint32_t j = 0; j < kAround; ++j) {
      const std::uint32_t a = i * (kAround + 1) + j, b = a + kAround + 1;
      dome.Indices.insert(dome.Indices.end(), {a, b, a + 1, a + 1, b, b + 1});
    }
  return dome;
}

// The sky's layers as the viewer draws them at the time: each image stage's frame of then.
struct TLayer {
  std::string Image;
  const shaders::TPlannedStage* Stage;
  shaders::TStageValues Values;
};
std::vector<TLayer> Layers(const TShadedSurface& sky, const TShadedImages& shaded, double seconds) {
  std::vector<TLayer> layers;
  if (!sky.Shader) return layers;
  for (const shaders::TPlannedStage& stage : sky.Plan.Stages) {
    if (stage.Texture != shaders::TStageTexture::Image || stage.Stage >= shaded.SkyStages.size()) continue;
    const shaders::TStageValues values = shaders::EvaluateStage(*sky.Shader, stage, seconds);
    const std::vector<std::string>& frames = shaded.SkyStages[stage.Stage];
    if (values.Frame < frames.size() && !frames[values.Frame].empty())
      layers.push_back({frames[values.Frame], &stage, values});
  }
  return layers;
}

}  // namespace

void GatherSky(TExportThings& things, const TThingsWanted& wanted, const TQuake3BSP& level,
               const TShadedImages& shaded) {
  const bool box = shaded.Sky.size() == 6;
  const std::vector<TLayer> layers = Layers(level.Shading.Sky, shaded, wanted.Seconds);
  if (!box && layers.empty()) return;
  // Around the world's box, large enough to hold it.
  TVector centre{0, 0, 0};
  float radius = 4096;
  if (!level.Things.Models.empty()) {
    const TBSPModel& world = level.Things.Models[0];
    const float half[3] = {(world.Maxs.X - world.Mins.X) / 2, (world.Maxs.Y - world.Mins.Y) / 2,
                           (world.Maxs.Z - world.Mins.Z) / 2};
    const float r = std::sqrt(half[0] * half[0] + half[1] * half[1] + half[2] * half[2]);
    if (std::isfinite(r) && r > 0 && r < 1e6f) {
      centre = {world.Mins.X + half[0], world.Mins.Y + half[1], world.Mins.Z + half[2]};
      radius = std::max(r, 64.0f);
    }
  }
  TSurfaceImageNames names;
  if (box)
    for (const std::string& side : shaded.Sky) names.push_back({side});
  for (const TLayer& layer : layers) names.push_back({layer.Image});
  TSurfaceImageStore images;
  std::vector<shaders::TProblem> problems;
  images.Read(names, true, wanted.GameData, problems);
  for (const shaders::TProblem& problem : problems) things.Warnings.push_back(problem.File + ": " + problem.Text);
  TExportMesh& sky = things.Sky.emplace();
  sky.Name = "sky";
  sky.Translation = GltfPoint(centre, wanted.Scale);
  const auto material = [&](std::size_t entry, const std::string& name, bool clamp) {
    TAlphaUse use = TAlphaUse::Keep;
    TGltfMaterial made = MaterialLookOf(nullptr, use);
    made.Name = name;
    made.DoubleSided = true;
    if (const std::int32_t image = images.Chosen()[entry]; image >= 0) {
      made.Image = static_cast<std::int32_t>(things.Images.size());
      things.Images.push_back(images.Encode(image, use));
      things.Images.back().Clamp = clamp;
    }
    things.Materials.push_back(std::move(made));
    return static_cast<std::int32_t>(things.Materials.size() - 1);
  };
  for (std::size_t side = 0; box && side < 6; ++side) {
    TExportPrimitive& quad = sky.Primitives.emplace_back();
    quad.Material = material(side, std::string("sky ") + kSideNames[side], true);
    things.Materials.back().Notes = {{"surface", "sky"}};
    // The viewer's box, sides in the order rt, bk, lf, ft, up, dn, made a unit cube.
    std::array<float, 12> corners = (wanted.JoinedSky ? kJoinedSkySides : kSkySides)[side];
    for (float& c : corners) c /= kSkyBoxHalfSide;
    const TVector inward{-(corners[0] + corners[6]) / 2, -(corners[1] + corners[7]) / 2, -(corners[2] + corners[8]) / 2};
    static constexpr float kU[4] = {0, 1, 1, 0}, kV[4] = {1, 1, 0, 0};
    for (int k = 0; k < 4; ++k)
      AddVertex(quad, {corners[3 * k] * radius, corners[3 * k + 1] * radius, corners[3 * k + 2] * radius}, inward,
                kU[k], kV[k], wanted.Scale);
    quad.Indices = {0, 1, 2, 0, 2, 3};
  }
  for (std::size_t k = 0; k < layers.size(); ++k) {
    const TLayer& layer = layers[k];
    TExportPrimitive dome = Dome(radius * 0.9f, level.Shading.Sky.Shader->CloudHeight, layer.Values, wanted.Scale);
    dome.Material = material((box ? 6 : 0) + k, "sky layer " + std::to_string(k + 1), false);
    TGltfMaterial& made = things.Materials.back();
    made.Notes = {{"surface", "sky layer"}};
    if (layer.Stage->Blend) {
      made.AlphaMode = "BLEND";
      made.Notes.emplace_back("blendFunc",
                              std::string(FactorName(layer.Stage->Source)) + " " + FactorName(layer.Stage->Destination));
    }
    sky.Primitives.push_back(std::move(dome));
  }
}

}  // namespace app
