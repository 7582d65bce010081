// Item surfaces drawn by their shaders' stages: per frame the coordinates from the eye and the
// stage colours that follow the item's light, then each stage with the level's stage state.
#include "render/ItemStages.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "gl/OpenGL.h"
#include "render/ShaderStages.h"

namespace {

// The fixed light's direction (level/Items.cpp lights items without the grid from there too).
constexpr TVector kLight{0.37f, 0.28f, 0.886f};

TVector Towards(const TVector& from, const TVector& to) {
  TVector v{to.X - from.X, to.Y - from.Y, to.Z - from.Z};
  const float length = std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z);
  if (length > 0 && std::isfinite(length)) v = {v.X / length, v.Y / length, v.Z / length};
  return v;
}

// tcGen environment as the level's faces have it (render/ShaderStages.cpp).
void EnvironmentCoords(TItemGroup& group, const TVector& eye) {
  group.EnvCoords.resize(group.Positions.size());
  for (std::size_t i = 0; i < group.Positions.size() && i < group.Normals.size(); ++i) {
    const TVector v = Towards(group.Positions[i], eye);
    const TVector& n = group.Normals[i];
    const float d = 2 * (n.X * v.X + n.Y * v.Y + n.Z * v.Z);
    const float ry = n.Y * d - v.Y, rz = n.Z * d - v.Z;
    group.EnvCoords[i] = {0.5f + ry * 0.5f, -(0.5f - rz * 0.5f)};
  }
}

std::uint8_t Byte(float unit) { return static_cast<std::uint8_t>(std::lround(std::clamp(unit, 0.0f, 1.0f) * 255)); }

// The stage's colour per vertex when it follows the item's light or the highlight; nullptr when
// one colour (values.Colour) serves every vertex.
const void* StageColours(TItemGroup& group, const shaders::TStage& stage, const shaders::TStageValues& values,
                         const TVector& eye) {
  const bool lit = stage.LightingDiffuse || stage.VertexColours;
  if (!lit && !stage.LightingSpecular) return nullptr;
  group.StageColours.resize(group.Positions.size());
  const std::array<std::uint8_t, 4> one{Byte(values.Colour[0]), Byte(values.Colour[1]), Byte(values.Colour[2]),
                                        Byte(values.Colour[3])};
  for (std::size_t i = 0; i < group.StageColours.size(); ++i) {
    std::array<std::uint8_t, 4> c = lit && i < group.Colours.size() ? group.Colours[i] : one;
    c[3] = stage.LightingSpecular && i < group.Normals.size() ? SpecularAlpha(group.Positions[i], group.Normals[i], eye)
                                                              : one[3];
    group.StageColours[i] = c;
  }
  return group.StageColours.data();
}

void DrawStages(TItemGroup& group, const std::vector<std::uint32_t>& batch, TStageState& state, const TVector& eye,
                double seconds, GLuint white) {
  const shaders::TShader& shader = *group.Shader;
  state.Cull(group.State.TwoSided);
  state.Offset(shader.PolygonOffset);
  if (group.Plan.Environment) EnvironmentCoords(group, eye);
  for (const shaders::TPlannedStage& stage : group.Plan.Stages) {
    if (stage.Texture == shaders::TStageTexture::Lightmap) continue;  // a model has none
    const shaders::TStageValues values = shaders::EvaluateStage(shader, stage, seconds);
    state.Blend(stage.Blend, static_cast<GLenum>(stage.Source), static_cast<GLenum>(stage.Destination));
    state.AlphaTest(stage.AlphaTest);
    state.Depth(stage.DepthWrite, stage.DepthEqual);
    state.Colours(StageColours(group, shader.Stages[stage.Stage], values, eye), values.Colour);
    state.Pointers(group.Positions.data(), stage.Environment ? group.EnvCoords.data() : group.Coords.data());
    state.TexMatrix(values);
    GLuint texture = white;
    if (stage.Texture == shaders::TStageTexture::Image && stage.Stage < group.StageTextures.size()) {
      const std::vector<std::uint32_t>& frames = group.StageTextures[stage.Stage];
      if (values.Frame < frames.size() && frames[values.Frame] != 0) texture = frames[values.Frame];
    }
    state.Texture(texture);
    OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.size()), GL_UNSIGNED_INT, batch.data());
  }
}

}  // namespace

std::uint8_t SpecularAlpha(const TVector& position, const TVector& normal, const TVector& eye) {
  const TVector& n = normal;
  const float d = 2 * (n.X * kLight.X + n.Y * kLight.Y + n.Z * kLight.Z);
  const TVector mirrored{n.X * d - kLight.X, n.Y * d - kLight.Y, n.Z * d - kLight.Z};
  const TVector view = Towards(position, eye);
  const float length = std::sqrt(mirrored.X * mirrored.X + mirrored.Y * mirrored.Y + mirrored.Z * mirrored.Z);
  if (!(length > 0) || !std::isfinite(length)) return 0;
  float l = (mirrored.X * view.X + mirrored.Y * view.Y + mirrored.Z * view.Z) / length;
  if (!(l > 0)) return 0;
  l = l * l;
  return Byte(l * l);
}

void DrawItemStages(TQuake3BSP& level, std::int32_t cameraCluster, bool everything, bool blended,
                    const TVector& eye, double seconds) {
  TItemModels& items = level.Things.ItemModels;
  bool started = false, blendWas = false, coloursWere = false;
  std::optional<TStageState> state;
  for (TItemGroup& group : items.Groups) {
    if (!group.Shader || group.State.Blended != blended || group.Positions.empty()) continue;
    std::vector<std::uint32_t>& batch = items.Batch;
    batch.clear();
    for (const TItemRun& run : group.Runs)
      if (everything || level.IsClusterVisible(cameraCluster, run.Cluster))
        batch.insert(batch.end(), group.Indices.begin() + run.First, group.Indices.begin() + run.First + run.Count);
    if (batch.empty()) continue;
    if (!started) {
      // The stage state starts from the frame's: no blending, no colour array. Asked only here, so
      // that items without shaders' stages cost no call.
      blendWas = OpenGL.glIsEnabled(GL_BLEND) == GL_TRUE;
      coloursWere = OpenGL.glIsEnabled(GL_COLOR_ARRAY) == GL_TRUE;
      if (blendWas) OpenGL.glDisable(GL_BLEND);
      if (coloursWere) OpenGL.glDisableClientState(GL_COLOR_ARRAY);
      state.emplace();
      started = true;
    }
    DrawStages(group, batch, *state, eye, seconds, level.Shading.WhiteTexture);
  }
  if (!started) return;
  state->Finish();
  if (blendWas) OpenGL.glEnable(GL_BLEND);
  if (coloursWere) OpenGL.glEnableClientState(GL_COLOR_ARRAY);
}
