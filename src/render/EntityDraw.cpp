// Drawing the level's things after its faces: the items' models, one call per image and state over
// the items the camera's cluster admits, and the markers, small boxes in their family's colour
// with a stroke the way the entity faces.
#include <GL/gl.h>

#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "gl/OpenGL.h"
#include "level/Items.h"
#include "level/Things.h"
#include "render/EntityLinks.h"
#include "render/ItemModels.h"
#include "render/ItemStages.h"
#include "render/Q3BSP_shaders.h"
#include "render/RenderCache.h"

namespace {

constexpr float kMarkerHalfSize = 8;    // a 16-unit box: half a player's width
constexpr float kAngleStroke = 24;      // from the centre, the way the entity faces

std::array<std::uint8_t, 4> Shade(TMarkerColour colour, float light) {
  const auto scale = [light](std::uint8_t c) { return static_cast<std::uint8_t>(static_cast<float>(c) * light); };
  return {scale(colour.R), scale(colour.G), scale(colour.B), 255};
}

void AppendMarker(TMarkerArrays& arrays, const TPlacedEntity& place) {
  const TMarkerColour colour = FamilyColour(place.Family);
  const TVector c = place.Position;
  const float h = kMarkerHalfSize;
  const float x0 = c.X - h, x1 = c.X + h, y0 = c.Y - h, y1 = c.Y + h, z0 = c.Z - h, z1 = c.Z + h;
  // Six sides, the top brightest and the bottom darkest, so that a box reads as one in flat colour.
  const TVector sides[6][4] = {{{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}},
                               {{x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}},
                               {{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}},
                               {{x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}},
                               {{x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}},
                               {{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}};
  const float light[6] = {1.0f, 0.45f, 0.75f, 0.75f, 0.6f, 0.6f};
  for (int side = 0; side < 6; ++side)
    for (const TVector& corner : sides[side]) {
      arrays.Quads.push_back(corner);
      arrays.QuadColours.push_back(Shade(colour, light[side]));
    }
  const double radians = place.Angle * std::numbers::pi / 180;
  arrays.Lines.push_back({c.X, c.Y, z1 + 1});
  arrays.Lines.push_back({c.X + kAngleStroke * static_cast<float>(std::cos(radians)),
                          c.Y + kAngleStroke * static_cast<float>(std::sin(radians)), z1 + 1});
  arrays.LineColours.insert(arrays.LineColours.end(), 2, Shade(colour, 1.0f));
}

void DrawMarkers(TMarkerArrays& arrays, const std::vector<TPlacedEntity>& places,
                 const std::vector<std::int32_t>* only) {
  arrays.Quads.clear();
  arrays.Lines.clear();
  arrays.QuadColours.clear();
  arrays.LineColours.clear();
  if (only) {
    for (const std::int32_t p : *only) AppendMarker(arrays, places[static_cast<std::size_t>(p)]);
  } else {
    for (const TPlacedEntity& place : places)
      if (place.Point) AppendMarker(arrays, place);
  }
  if (arrays.Quads.empty()) return;
  GLfloat lineWidthWas = 1;
  OpenGL.glGetFloatv(GL_LINE_WIDTH, &lineWidthWas);
  OpenGL.glDisable(GL_TEXTURE_2D);
  OpenGL.glDisable(GL_CULL_FACE);
  OpenGL.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL.glEnableClientState(GL_COLOR_ARRAY);
  OpenGL.glVertexPointer(3, GL_FLOAT, 0, arrays.Quads.data());
  OpenGL.glColorPointer(4, GL_UNSIGNED_BYTE, 0, arrays.QuadColours.data());
  OpenGL.glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(arrays.Quads.size()));
  DrawMarkerLines(arrays, lineWidthWas);
  OpenGL.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL.glEnable(GL_CULL_FACE);
  OpenGL.glEnable(GL_TEXTURE_2D);
}

// One group's items that the cluster admits, in one call.
void DrawGroup(const TQuake3BSP& level, TItemGroup& group, std::vector<std::uint32_t>& batch,
               std::int32_t cameraCluster, bool everything) {
  batch.clear();
  for (const TItemRun& run : group.Runs)
    if (everything || level.IsClusterVisible(cameraCluster, run.Cluster))
      batch.insert(batch.end(), group.Indices.begin() + run.First, group.Indices.begin() + run.First + run.Count);
  if (batch.empty()) return;
  glBindTexture(GL_TEXTURE_2D, group.Texture);
  SetAlphaTest(group.State.AlphaTest);
  if (group.State.TwoSided) OpenGL.glDisable(GL_CULL_FACE);
  OpenGL.glVertexPointer(3, GL_FLOAT, 0, group.Positions.data());
  OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, group.Coords.data());
  OpenGL.glColorPointer(4, GL_UNSIGNED_BYTE, 0, group.Colours.data());
  OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.size()), GL_UNSIGNED_INT, batch.data());
  if (group.State.TwoSided) OpenGL.glEnable(GL_CULL_FACE);
}

void DrawItems(TQuake3BSP& level, std::int32_t cameraCluster, bool everything, const TVector& eye, double seconds) {
  TItemModels& items = level.Things.ItemModels;
  if (items.Groups.empty()) return;
  // The items share their models' arrays: the ones this frame admits are placed when the admitted
  // set changes, and a frame that admits the same clusters draws what is placed.
  const std::int32_t admitted = everything ? std::numeric_limits<std::int32_t>::min() : cameraCluster;
  if (items.PlacedFor != admitted) {
    PlaceSharedItems(items, [&](std::int32_t cluster) { return everything || level.IsClusterVisible(cameraCluster, cluster); });
    items.PlacedFor = admitted;
  }
  // The alpha test and blend factors are the heads-up text's and the lightmap pass's: put back.
  const GLboolean alphaTestWas = OpenGL.glIsEnabled(GL_ALPHA_TEST);
  GLint alphaFuncWas = GL_ALWAYS, blendSourceWas = GL_ONE, blendDestinationWas = GL_ZERO;
  GLfloat alphaRefWas = 0;
  OpenGL.glGetIntegerv(GL_ALPHA_TEST_FUNC, &alphaFuncWas);
  OpenGL.glGetFloatv(GL_ALPHA_TEST_REF, &alphaRefWas);
  OpenGL.glGetIntegerv(GL_BLEND_SRC, &blendSourceWas);
  OpenGL.glGetIntegerv(GL_BLEND_DST, &blendDestinationWas);
  OpenGL.glEnableClientState(GL_COLOR_ARRAY);
  for (TItemGroup& group : items.Groups)
    if (!group.State.Blended && !group.Shader) DrawGroup(level, group, items.Batch, cameraCluster, everything);
  DrawItemStages(level, cameraCluster, everything, false, eye, seconds);
  OpenGL.glEnable(GL_BLEND);
  OpenGL.glDepthMask(GL_FALSE);
  for (TItemGroup& group : items.Groups) {
    if (!group.State.Blended || group.Shader) continue;
    OpenGL.glBlendFunc(static_cast<GLenum>(group.State.BlendSource), static_cast<GLenum>(group.State.BlendDestination));
    DrawGroup(level, group, items.Batch, cameraCluster, everything);
  }
  DrawItemStages(level, cameraCluster, everything, true, eye, seconds);
  OpenGL.glDepthMask(GL_TRUE);
  OpenGL.glDisable(GL_BLEND);
  OpenGL.glBlendFunc(static_cast<GLenum>(blendSourceWas), static_cast<GLenum>(blendDestinationWas));
  OpenGL.glDisableClientState(GL_COLOR_ARRAY);
  OpenGL.glAlphaFunc(static_cast<GLenum>(alphaFuncWas), alphaRefWas);
  if (alphaTestWas)
    OpenGL.glEnable(GL_ALPHA_TEST);
  else
    OpenGL.glDisable(GL_ALPHA_TEST);
}

}  // namespace

TMarkerColour FamilyColour(TEntityFamily family) {
  static constexpr TMarkerColour kColours[kEntityFamilyCount] = {
      {40, 220, 40},   // spawn points: green
      {230, 60, 230},  // items: magenta
      {255, 140, 0},   // weapons: orange
      {235, 220, 40},  // ammunition: yellow
      {40, 200, 235},  // health and armour: cyan
      {255, 255, 210}, // lights: pale
      {140, 100, 255}, // teleporters and targets: violet
      {230, 40, 40},   // triggers: red
      {150, 150, 150}, // other: grey
  };
  return kColours[static_cast<std::size_t>(family)];
}

void DrawLevelThings(TQuake3BSP& level, TMarkerArrays& markers, const TVector& position, const TRenderOptions& options,
                     const TVector& eye) {
  const std::int32_t leaf = level.FindLeaf(position);
  const bool inLeaf = leaf >= 0 && static_cast<std::size_t>(leaf) < level.Leaves.size();
  // The faces' own rule: from no leaf nothing is marked, so no item is drawn either.
  if (options.Items && (inLeaf || options.AllFaces))
    DrawItems(level, inLeaf ? level.Leaves[static_cast<std::size_t>(leaf)].Cluster : -1, options.AllFaces, eye,
              options.Time);
  if (options.Markers) {
    DrawMarkers(markers, level.Things.Places, nullptr);
    DrawEntityLinks(level, markers, std::nullopt, false);
    DrawTriggerBoxes(level, markers);  // translucent: last
  } else if (options.Items)
    DrawMarkers(markers, level.Things.Places, &level.Things.ItemModels.Markers);
  OpenGL.glColor4ub(255, 255, 255, 255);
}
