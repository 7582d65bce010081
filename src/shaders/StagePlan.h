#pragma once
// How a shader's stages are drawn, decided once at load from the script: their order, texture
// source, blend, depth and alpha state, and what each needs per frame. The renderer then only
// evaluates the values that move (Waves.h, TexMods.h, Deforms.h) and sets state. Pure.
#include <cstdint>
#include <vector>

#include "shaders/Shaders.h"

namespace shaders {

// At most this many stages of a shader are drawn (the game draws no more); the rest are read and
// left out, so a frame's state changes are bounded per surface whatever the script.
inline constexpr std::size_t kMostDrawnStages = 8;

enum class TStageTexture : std::uint8_t { Image, Lightmap, White };

// Where a stage's colour comes from in a frame: one colour for every vertex (identity, const,
// wave), or per vertex from the level's vertex colours.
enum class TVertexColours : std::uint8_t { None, AsStored, OneMinus, AlphaOnly };

struct TPlannedStage {
  std::size_t Stage = 0;  // index into the shader's stages
  TStageTexture Texture = TStageTexture::Image;
  bool Blend = false;
  TBlendFactor Source = TBlendFactor::One, Destination = TBlendFactor::Zero;
  bool DepthWrite = true;
  bool DepthEqual = false;
  TAlphaTest AlphaTest = TAlphaTest::None;
  TVertexColours Colours = TVertexColours::None;
  bool Environment = false;  // tcGen environment: coordinates from the eye, per frame
  bool LightmapCoords = false;
  bool Moves = false;        // a tcMod, an animMap or a wave colour: values change with time
  // --clamp-coords: a clampMap stage reading the level's turned t (surface or environment
  // coordinates), moved one texture up so that it reads the image, not its edge.
  bool ClampShift = false;
};

struct TStagePlan {
  std::vector<TPlannedStage> Stages;  // in drawing order
  // The order among surfaces: the script's sort, else 3 (opaque), 4 (decal: polygonOffset) or
  // 9 (additive: a blended first stage). Surfaces above 3 are drawn after the sky.
  float Sort = 3;
  bool AfterSky = false;
  bool Deformed = false;     // has deformVertexes the renderer applies (moves or autosprites)
  bool Environment = false;  // some stage needs coordinates from the eye
  // The plain frame's pair: a still, white, opaque image, then the lightmap at twice the product,
  // and at most a still image multiplied over them (a detail texture: by the product, or twice it
  // with DetailTwice). --fast draws such a surface in its one pass, the detail in a third unit.
  bool OnePass = false;
  bool OnePassDetail = false, DetailTwice = false;
};

// The plan of a drawn shader (nothing for a texture that is not drawn). The lightmap is brighter
// here than a plain multiply: a $lightmap stage that multiplies (blendFunc filter, or
// GL_DST_COLOR GL_ZERO, or GL_ZERO GL_SRC_COLOR) blends as GL_DST_COLOR GL_SRC_COLOR, twice the
// product, as the plain frame's lightmap pass does; an opaque $lightmap first stage followed by a
// multiplying image stage is drawn after it, the image taking the first place (the product is the
// same either way, and only that order leaves room for twice the product).
// The rules beyond the design's frame that a plan may follow. LightTwice false (the game's light,
// level/GameLight.h): the lightmap multiplies once (GL_DST_COLOR GL_ZERO) wherever it would be twice
// the product. LightmapMultiplies (--game-stages): a $lightmap stage without blendFunc right after
// an opaque image first stage multiplies the image, as the scripts that write it mean, instead of
// replacing it.
// ClampCoords (--clamp-coords): TPlannedStage::ClampShift.
struct TPlanRules {
  bool LightTwice = true;
  bool LightmapMultiplies = false;
  bool ClampCoords = false;
};
TStagePlan PlanStages(const TShader& shader, const TDrawState& state, const TPlanRules& rules = {});

}  // namespace shaders

namespace shaders {

// A planned stage's values at a time: its colour (for stages without vertex colours), its
// texture matrix as OpenGL takes it, whether that is the identity, and the animMap frame.
struct TStageValues {
  float Colour[4] = {1, 1, 1, 1};
  float Matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  bool Identity = true;
  std::size_t Frame = 0;
};

// Colours are limited to 0 .. 1; the matrix is for the coordinates the stage reads (the surface's,
// whose t the load negated, or the lightmap's); the frame is floor(seconds x frames per second)
// modulo the frame count, 0 for a rate or time that is not finite or not positive.
TStageValues EvaluateStage(const TShader& shader, const TPlannedStage& planned, double seconds);

}  // namespace shaders
