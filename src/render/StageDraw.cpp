// The GL state of stage drawing and the groups drawn stage by stage.
#include <cstring>

#include "gl/OpenGL.h"
#include "render/BlendOrder.h"
#include "render/Q3BSP_shaders.h"
#include "render/ShaderStages.h"
#include "render/TurbCoords.h"

TStageState::TStageState() {
  OpenGL.glGetIntegerv(GL_MATRIX_MODE, &MatrixMode);
}

void TStageState::Blend(bool on, GLenum source, GLenum destination) {
  if (on != BlendOn) (on ? OpenGL.glEnable : OpenGL.glDisable)(GL_BLEND);
  BlendOn = on;
  if (on && (source != Source || destination != Destination)) {
    OpenGL.glBlendFunc(source, destination);
    Source = source;
    Destination = destination;
  }
}

void TStageState::AlphaTest(shaders::TAlphaTest test) {
  if (Alpha == static_cast<int>(test)) return;
  Alpha = static_cast<int>(test);
  SetAlphaTest(test);
}

void TStageState::Depth(bool write, bool equal) {
  if (!DepthSet || write != DepthWrite) OpenGL.glDepthMask(write ? GL_TRUE : GL_FALSE);
  if (!DepthSet || equal != DepthEqual) OpenGL.glDepthFunc(equal ? GL_EQUAL : GL_LEQUAL);
  DepthSet = true;
  DepthWrite = write;
  DepthEqual = equal;
}

void TStageState::Cull(bool twoSided) {
  if (twoSided != TwoSided) (twoSided ? OpenGL.glDisable : OpenGL.glEnable)(GL_CULL_FACE);
  TwoSided = twoSided;
}

void TStageState::Offset(bool on) {
  if (on == OffsetOn) return;
  OffsetOn = on;
  if (on) {
    // Decals lie on the wall they mark: drawn a little nearer, they win its depth.
    OpenGL.glPolygonOffset(-1.0f, -2.0f);
    OpenGL.glEnable(GL_POLYGON_OFFSET_FILL);
  } else {
    OpenGL.glDisable(GL_POLYGON_OFFSET_FILL);
  }
}

void TStageState::Colours(const void* array, const float colour[4]) {
  const bool on = array != nullptr;
  if (on != ColourArray) (on ? OpenGL.glEnableClientState : OpenGL.glDisableClientState)(GL_COLOR_ARRAY);
  ColourArray = on;
  if (on && array != ColourPointer) {
    OpenGL.glColorPointer(4, GL_UNSIGNED_BYTE, 0, array);
    ColourPointer = array;
  }
  if (!on && std::memcmp(colour, Colour, sizeof(Colour)) != 0) {
    OpenGL.glColor4f(colour[0], colour[1], colour[2], colour[3]);
    std::memcpy(Colour, colour, sizeof(Colour));
  }
  // A colour array leaves the current colour undefined afterwards.
  if (on) Colour[0] = -1;
}

void TStageState::Pointers(const void* positions, const void* coords) {
  if (positions != PositionArray) OpenGL.glVertexPointer(3, GL_FLOAT, 0, positions);
  if (coords != CoordArray) OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, coords);
  PositionArray = positions;
  CoordArray = coords;
}

void TStageState::TexMatrix(const shaders::TStageValues& values) {
  if (values.Identity && MatrixIdentity) return;
  OpenGL.glMatrixMode(GL_TEXTURE);
  if (values.Identity) OpenGL.glLoadIdentity();
  else OpenGL.glLoadMatrixf(values.Matrix);
  OpenGL.glMatrixMode(static_cast<GLenum>(MatrixMode));
  MatrixIdentity = values.Identity;
}

void TStageState::Texture(GLuint name) {
  if (name != Bound) glBindTexture(GL_TEXTURE_2D, name);
  Bound = name;
}

void TStageState::Finish() {
  Blend(false, Source, Destination);
  AlphaTest(shaders::TAlphaTest::None);
  if (DepthSet) {
    OpenGL.glDepthMask(GL_TRUE);
    OpenGL.glDepthFunc(GL_LESS);
  }
  DepthSet = false;
  DepthWrite = true;
  Cull(false);
  Offset(false);
  const float white[4] = {1, 1, 1, 1};
  Colours(nullptr, white);
  shaders::TStageValues identity;
  TexMatrix(identity);
}

namespace {

void DrawRange(const TShadedGroup& group, std::size_t first, std::size_t count) {
  if (count > 0)
    OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(count), GL_UNSIGNED_INT, group.Indices.data() + first);
}

const void* ColourArray(const TShadedArrays& arrays, shaders::TVertexColours colours) {
  switch (colours) {
    case shaders::TVertexColours::None: return nullptr;
    case shaders::TVertexColours::AsStored: return arrays.Colours.data();
    case shaders::TVertexColours::OneMinus: return arrays.OneMinusColours.data();
    case shaders::TVertexColours::AlphaOnly: return arrays.AlphaColours.data();
  }
  return nullptr;
}

// A lightmap stage draws each lightmap's range with its lightmap. Faces without one get white,
// except where the stage multiplies: there they keep their image as it is.
void DrawLightmapStage(const TQuake3BSP& level, TStageState& state, const TShadedGroup& group,
                       const shaders::TPlannedStage& stage) {
  const bool multiplies = stage.Blend && stage.Source == shaders::TBlendFactor::DstColor;
  for (const TShadedGroup::TRange& range : group.Ranges) {
    const bool has = range.Lightmap >= 0 && range.Lightmap < level.LightmapCount;
    if (!has && multiplies) continue;
    state.Texture(has ? level.LightmapTextures[static_cast<std::size_t>(range.Lightmap)] : level.Shading.WhiteTexture);
    DrawRange(group, range.First, range.Count);
  }
}

// The group's large faces for one stage, each from its own arrays with the stage's state; the
// texture is the stage's, or each face's lightmap for a lightmap stage.
void DrawLargeFaces(const TQuake3BSP& level, const TShadedFrame& frame, TStageState& state,
                    const TShadedGroup& group, const shaders::TPlannedStage& stage,
                    const shaders::TStageValues& values, GLuint texture,
                    const std::optional<shaders::TVertexTexMods>& turb) {
  const bool vertexLight = frame.VertexLight;
  const bool multiplies = stage.Blend && stage.Source == shaders::TBlendFactor::DstColor;
  for (const std::int32_t f : group.Large) {
    const std::size_t face = static_cast<std::size_t>(f);
    if (stage.Texture == shaders::TStageTexture::Lightmap) {
      const std::int32_t m = level.Faces[face].LightmapIndex;
      const bool has = m >= 0 && m < level.LightmapCount;
      if (!has && multiplies) continue;
      texture = has ? level.LightmapTextures[static_cast<std::size_t>(m)] : level.Shading.WhiteTexture;
    }
    state.Texture(texture);
    const bool asStored = stage.Colours == shaders::TVertexColours::AsStored && !vertexLight;
    state.Colours(asStored ? level.FaceColors[face].data() : nullptr, values.Colour);
    const AGLNrf2& coords = stage.LightmapCoords ? level.FaceLightmapCoords[face] : level.FaceTexCoords[face];
    state.Pointers(level.FaceVertices[face].data(),
                   turb ? FaceTurbCoords(*turb, coords, level.FaceVertices[face], frame.LargeTurbCoords)
                        : coords.data());
    const std::vector<GLuint>& indices = level.FaceIndices[face];
    if (!indices.empty())
      OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
    else
      OpenGL.glDrawArrays(GL_TRIANGLE_FAN, 0, static_cast<GLsizei>(level.FaceVertices[face].size()));
  }
}

void DrawGroupStages(const TQuake3BSP& level, const TShadedFrame& frame, TStageState& state, std::size_t t) {
  const TLevelShading& shading = level.Shading;
  const TShadedSurface& surface = shading.Surfaces[t];
  const TShadedGroup& group = frame.Groups[t];
  const TShadedArrays& arrays = shading.Arrays;
  state.Cull(shading.States[t].TwoSided);
  state.Offset(surface.Shader->PolygonOffset);
  const TVector* positions = surface.Plan.Deformed ? frame.Positions.data() : arrays.Positions.data();
  for (std::size_t i = 0; i < surface.Plan.Stages.size(); ++i) {
    const shaders::TPlannedStage& stage = surface.Plan.Stages[i];
    const shaders::TStageValues& values = frame.Values[t][i];
    state.Blend(stage.Blend, static_cast<GLenum>(stage.Source), static_cast<GLenum>(stage.Destination));
    state.AlphaTest(stage.AlphaTest);
    state.Depth(stage.DepthWrite, stage.DepthEqual);
    const bool stored = stage.Colours == shaders::TVertexColours::AsStored;
    state.Colours(stored && frame.VertexLight ? nullptr : ColourArray(arrays, stage.Colours), values.Colour);
    const TTexCoord* coords = stage.Environment      ? frame.EnvCoords.data()
                              : stage.LightmapCoords ? arrays.LightmapCoords.data()
                                                     : arrays.TexCoords.data();
    const std::optional<shaders::TVertexTexMods> turb = VertexTurbFor(level, *surface.Shader, stage, frame.Seconds);
    if (turb)
      coords = JoinedTurbCoords(level, group, *turb, coords, positions, frame.TurbCoords);
    state.Pointers(positions, coords);
    // Turbulent coordinates carry the stage's changes already.
    state.TexMatrix(turb ? shaders::TStageValues{} : values);
    if (stage.Texture == shaders::TStageTexture::Lightmap) {
      DrawLightmapStage(level, state, group, stage);
      if (!group.Large.empty()) DrawLargeFaces(level, frame, state, group, stage, values, 0, turb);
      continue;
    }
    GLuint texture = shading.WhiteTexture;
    if (stage.Texture == shaders::TStageTexture::Image && stage.Stage < surface.StageTextures.size()) {
      const std::vector<std::uint32_t>& frames = surface.StageTextures[stage.Stage];
      if (values.Frame < frames.size() && frames[values.Frame] != 0) texture = frames[values.Frame];
    }
    state.Texture(texture);
    DrawRange(group, 0, group.Indices.size());
    if (!group.Large.empty()) DrawLargeFaces(level, frame, state, group, stage, values, texture, turb);
  }
}

}  // namespace

void DrawShadedGroups(const TQuake3BSP& level, const TShadedFrame& frame, TStageState& state, bool afterSky,
                      const TVector* farToNearFrom) {
  std::vector<std::int32_t> order;
  if (farToNearFrom) {
    for (const std::int32_t t : level.Shading.DrawOrder)
      if (level.Shading.Surfaces[static_cast<std::size_t>(t)].Plan.AfterSky == afterSky) order.push_back(t);
    order = FarToNear(level, frame, *farToNearFrom, order);
  }
  for (const std::int32_t t : farToNearFrom ? order : level.Shading.DrawOrder) {
    const std::size_t texture = static_cast<std::size_t>(t);
    const TShadedSurface& surface = level.Shading.Surfaces[texture];
    if (texture >= frame.Groups.size() || (frame.Groups[texture].Indices.empty() && frame.Groups[texture].Large.empty()) || !surface.Shader ||
        surface.Plan.Stages.empty() || surface.Plan.AfterSky != afterSky || (frame.OnePassDrawn && surface.Plan.OnePass))
      continue;
    DrawGroupStages(level, frame, state, texture);
  }
}
