// Surfaces drawn as the shader scripts describe them (--shaders). Everything a frame needs is
// decided at load, per texture (level/Q3BSP_shading.cpp): the renderer sets state once per texture
// group and never looks at a face's shader.
#include "render/Q3BSP_shaders.h"

#include <GL/gl.h>

#include <algorithm>
#include <exception>

#include "gl/OpenGL.h"
#include "level/Q3BSP_shading.h"
#include "level/Q3BSP_surfaces.h"
#include "platform/Budget.h"
#include "render/FastPath.h"
#include "render/Q3BSP_images.h"
#include "render/Q3BSP_lighting.h"
#include "render/Q3BSP_render.h"
#include "render/Q3BSP_sky.h"

namespace {

constexpr std::int32_t PolygonFace = 1;

// Loads one image into the slot (each file once, however many textures name it); a failure the
// loader raises (a hostile or truncated file) is kept as a problem instead of ending the load.
void LoadImage(const std::string& image, GLuint& slot, TLevelShading& shading, TImageOnce& images) {
  try {
    images.Load(image, slot);
  } catch (const platform::EBudgetSpent&) {
    // left out: the budget's warning names it
  } catch (const std::exception& e) {
    shading.Problems.push_back({image, 0, e.what()});
  }
}

void LoadSky(TLevelShading& shading, const std::vector<std::string>& sky, TImageOnce& images) {
  if (sky.size() == 1) LoadImage(sky.front(), shading.SkyClouds, shading, images);
  if (sky.size() != 6) return;
  shading.SkyBox.assign(6, 0);
  for (std::size_t side = 0; side < 6; ++side) LoadImage(sky[side], shading.SkyBox[side], shading, images);
}

}  // namespace

void SetAlphaTest(shaders::TAlphaTest test) {
  switch (test) {
    case shaders::TAlphaTest::None: OpenGL.glDisable(GL_ALPHA_TEST); return;
    case shaders::TAlphaTest::GT0: OpenGL.glAlphaFunc(GL_GREATER, 0.0f); break;
    case shaders::TAlphaTest::LT128: OpenGL.glAlphaFunc(GL_LESS, 0.5f); break;
    case shaders::TAlphaTest::GE128: OpenGL.glAlphaFunc(GL_GEQUAL, 0.5f); break;
  }
  OpenGL.glEnable(GL_ALPHA_TEST);
}

namespace {

// The per-frame buffer (platform::kDrawBufferBytes): at most this many vertices (position and
// coordinates, 20 bytes) and indices (4 bytes) of small faces; a face bigger than a 32nd of it is
// drawn from its own arrays instead of being copied.
constexpr std::size_t kBatchVertices = platform::kDrawBufferBytes / 32;
constexpr std::size_t kBatchIndices = 3 * kBatchVertices;
static_assert(kBatchVertices * 20 + kBatchIndices * 4 <= platform::kDrawBufferBytes);

void FlushBatch(TLevelShading::TBatch& batch) {
  if (!batch.Indices.empty()) {
    OpenGL.glVertexPointer(3, GL_FLOAT, 0, batch.Positions.data());
    OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, batch.Coords.data());
    OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.Indices.size()), GL_UNSIGNED_INT,
                          batch.Indices.data());
  }
  batch.Positions.clear();
  batch.Coords.clear();
  batch.Indices.clear();
}

// The visible polygons of a face list drawn in few calls: the per-face calls of the plain frame
// cost more on a software renderer than copying the few vertices of each face, so small faces are
// gathered, in order, into the bounded batch; a large face (a finely tessellated curved surface)
// is drawn from its own arrays between two batches. The triangles and their order are those of one
// call. Returns how many faces of the list were visible.
std::int32_t DrawFaces(TQuake3BSP& level, const std::vector<std::int32_t>& faces,
                       const std::vector<AGLNrf2>& coords, bool draw, bool allSurfaces) {
  TLevelShading::TBatch& batch = level.Shading.Batch;
  std::int32_t visible = 0;
  for (const std::int32_t f : faces) {
    const std::size_t face = static_cast<std::size_t>(f);
    if (level.FaceVisible[face] == 0) continue;
    // With every surface drawn, as in the plain frame: only faces that are drawn count.
    const bool drawn = allSurfaces ? SurfaceDrawn(level, face) : level.Faces[face].FaceType == PolygonFace;
    if (allSurfaces && !drawn) continue;
    ++visible;
    if (!draw || !drawn) continue;
    const AGLNrf3& vertices = level.FaceVertices[face];
    const std::vector<GLuint>& indices = level.FaceIndices[face];
    const std::size_t indexCount = indices.empty() ? 3 * (std::max<std::size_t>(vertices.size(), 2) - 2) : indices.size();
    if (vertices.size() > kBatchVertices / 32 || indexCount > kBatchIndices / 32) {
      FlushBatch(batch);
      OpenGL.glVertexPointer(3, GL_FLOAT, 0, vertices.data());
      OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, coords[face].data());
      if (!indices.empty())
        OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
      else
        OpenGL.glDrawArrays(GL_TRIANGLE_FAN, 0, static_cast<GLsizei>(vertices.size()));
      continue;
    }
    if (batch.Positions.size() + vertices.size() > kBatchVertices || batch.Indices.size() + indexCount > kBatchIndices)
      FlushBatch(batch);
    const GLuint base = static_cast<GLuint>(batch.Positions.size());
    batch.Positions.insert(batch.Positions.end(), vertices.begin(), vertices.end());
    batch.Coords.insert(batch.Coords.end(), coords[face].begin(), coords[face].end());
    if (!indices.empty()) {
      for (const GLuint i : indices) batch.Indices.push_back(base + i);
    } else {
      for (GLuint i = 1; i + 1 < vertices.size(); ++i) batch.Indices.insert(batch.Indices.end(), {base, base + i, base + i + 1});
    }
  }
  FlushBatch(batch);
  return visible;
}

std::int32_t DrawGroup(TQuake3BSP& level, std::size_t t, bool draw, bool allSurfaces) {
  return DrawFaces(level, level.TextureFaces[t], level.FaceTexCoords, draw, allSurfaces);
}

// Opaque surfaces, one state per texture group, then the lightmap pass as in the plain frame (see
// RenderLevel) over the faces whose shader has a lightmap stage (and the vertex-lit faces' pass).
// Returns whether a blended surface is visible.
bool DrawOpaqueTwoPasses(TQuake3BSP& level, bool allSurfaces, bool vertexLight) {
  const TLevelShading& shading = level.Shading;
  bool blendedVisible = false;
  for (std::size_t t = 0; t < static_cast<std::size_t>(level.TextureCount); ++t) {
    const shaders::TDrawState& state = shading.States[t];
    const bool draw = state.Drawn && !state.Blended;
    if (!draw) {
      const std::int32_t visible = DrawGroup(level, t, false, allSurfaces);
      VisibleFaceCount += visible;
      blendedVisible = blendedVisible || (state.Blended && visible > 0);
      continue;
    }
    glBindTexture(GL_TEXTURE_2D, level.SurfaceTextures[t]);
    SetAlphaTest(state.AlphaTest);
    if (state.TwoSided) OpenGL.glDisable(GL_CULL_FACE);
    VisibleFaceCount += DrawGroup(level, t, true, allSurfaces);
    if (state.TwoSided) OpenGL.glEnable(GL_CULL_FACE);
  }
  OpenGL.glDisable(GL_ALPHA_TEST);

  OpenGL.glDepthFunc(GL_EQUAL);
  OpenGL.glEnable(GL_BLEND);
  OpenGL.glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
  for (const bool twoSided : {false, true}) {
    const auto& lists = twoSided ? shading.TwoSidedLightmapFaces : shading.OneSidedLightmapFaces;
    if (twoSided) OpenGL.glDisable(GL_CULL_FACE);
    for (std::size_t m = 0; m < lists.size(); ++m) {
      if (lists[m].empty()) continue;
      glBindTexture(GL_TEXTURE_2D, level.LightmapTextures[m]);
      DrawFaces(level, lists[m], level.FaceLightmapCoords, true, allSurfaces);
    }
    if (twoSided) OpenGL.glEnable(GL_CULL_FACE);
  }
  if (vertexLight) DrawShadedVertexLitFaces(level, allSurfaces);  // Q3BSP_vertexlight.cpp
  OpenGL.glDisable(GL_BLEND);
  OpenGL.glDepthFunc(GL_LESS);
  return blendedVisible;
}

}  // namespace

void LoadShadedSurfaces(TQuake3BSP& level, const std::vector<TBSPTexture>& textures,
                        const shaders::TShaderSource& source, platform::TBudget* budget,
                        shaders::TShaderTable* keep) {
  const TShadedImages described = DescribeShadedSurfaces(level, textures, source, budget, keep);
  TLevelShading& shading = level.Shading;
  TImageOnce images;
  for (std::size_t t = 0; t < textures.size(); ++t)
    for (const std::string& image : described.Surfaces[t]) LoadImage(image, level.SurfaceTextures[t], shading, images);
  LoadSky(shading, described.Sky, images);
}

void RenderShaded(TQuake3BSP& level, const TVector& cameraPosition, const TRenderOptions& options) {
  const bool allSurfaces = options.Surfaces == TSurfaceSet::All;
  const TLevelShading& shading = level.Shading;
  // The alpha test is the heads-up text's between frames; it is put back as found.
  const GLboolean alphaTestWas = OpenGL.glIsEnabled(GL_ALPHA_TEST);
  GLint alphaFuncWas = GL_ALWAYS;
  GLfloat alphaRefWas = 0;
  OpenGL.glGetIntegerv(GL_ALPHA_TEST_FUNC, &alphaFuncWas);
  OpenGL.glGetFloatv(GL_ALPHA_TEST_REF, &alphaRefWas);

  // Opaque surfaces; with --fast from the kept batches in one pass (render/FastPath.h).
  const bool blendedVisible = options.Fast ? DrawFastSurfaces(level, cameraPosition, options)
                                           : DrawOpaqueTwoPasses(level, allSurfaces, options.VertexLight);

  DrawSky(shading, cameraPosition);

  // Blended surfaces last, over everything opaque, leaving the depth buffer as it is.
  if (blendedVisible) {
    OpenGL.glEnable(GL_BLEND);
    OpenGL.glDepthMask(GL_FALSE);
    for (std::size_t t = 0; t < static_cast<std::size_t>(level.TextureCount); ++t) {
      const shaders::TDrawState& state = shading.States[t];
      if (!state.Drawn || !state.Blended) continue;
      glBindTexture(GL_TEXTURE_2D, level.SurfaceTextures[t]);
      OpenGL.glBlendFunc(static_cast<GLenum>(state.BlendSource), static_cast<GLenum>(state.BlendDestination));
      SetAlphaTest(state.AlphaTest);
      if (state.TwoSided) OpenGL.glDisable(GL_CULL_FACE);
      DrawGroup(level, t, true, allSurfaces);
      if (state.TwoSided) OpenGL.glEnable(GL_CULL_FACE);
    }
    OpenGL.glDisable(GL_ALPHA_TEST);
    OpenGL.glDepthMask(GL_TRUE);
    OpenGL.glDisable(GL_BLEND);
  }

  OpenGL.glAlphaFunc(static_cast<GLenum>(alphaFuncWas), alphaRefWas);
  if (alphaTestWas) OpenGL.glEnable(GL_ALPHA_TEST);
}
