// Drawing the level: every visible polygon face twice, first with its surface image, then with
// its lightmap multiplied in at twice the product.
#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "gl/OpenGL.h"
#include "level/Q3BSP.h"
#include "level/Q3BSP_surfaces.h"
#include "level/Q3BSP_visibility.h"
#include "render/FastPath.h"
#include "render/FragmentCount.h"
#include "render/PassTimes.h"
#include "level/Things.h"
#include "render/ItemModels.h"
#include "render/Q3BSP_lighting.h"
#include "render/Q3BSP_render.h"
#include "render/Q3BSP_shaders.h"
#include "render/Q3BSP_viewmodes.h"
#include "render/RenderCache.h"

// The level model holds texture names and triangle indices as std::uint32_t, which the passes hand
// to the GL as they are.
static_assert(std::is_same_v<GLuint, std::uint32_t>,
              "the level model's texture names and indices are GLuint");

std::int32_t VisibleFaceCount = 0;

namespace {


// A polygon's stored vertex order is not a fan order in real levels (most of them overlap
// themselves drawn as a fan); its mesh vertices say which triangles make it, and LoadBSP turned
// them into indices checked against the face's own arrays. The fan is only for faces without any.
// With every surface drawn, curved surfaces (tessellated) and meshes come here with their
// triangles too.
inline void DrawPolygon(const TQuake3BSP& level, std::int32_t face) {
  const std::vector<GLuint>& indices = level.FaceIndices[static_cast<std::size_t>(face)];
  if (!indices.empty())
    OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT,
                          indices.data());
  else
    OpenGL.glDrawArrays(GL_TRIANGLE_FAN, 0, level.Faces[static_cast<std::size_t>(face)].NumVertices);
}

// After the faces: the things (items, markers), then the wireframe over everything (view modes).
void FinishFrame(TQuake3BSP& level, TRenderCache& cache, const TVector& markFrom, const TRenderOptions& options,
                 const TVector& eye) {
  if (options.Items || options.Markers) DrawLevelThings(level, cache.Markers, markFrom, options, eye);
  if (options.Wireframe) DrawWireframe(level, options.Surfaces == TSurfaceSet::All);
  MarkPass(cache.Fast.PassTimes, TFramePass::Things);
}

}  // namespace

void TQuake3BSP::RenderLevel(const TVector& position, const TRenderOptions& options, TRenderCache& cache) {
  // With every surface drawn, faces that have nothing to draw (billboards, refused curved
  // surfaces) are neither given pointers nor counted; without, the plain frame call for call.
  const bool allSurfaces = options.Surfaces == TSurfaceSet::All;
  const TVector cameraPosition = position;
  std::fill(FaceVisible.begin(), FaceVisible.end(), 0);
  OpenGL.glEnableClientState(GL_VERTEX_ARRAY);
  OpenGL.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  VisibleFaceCount = 0;
  cache.Fast = {};
  StartPassTimes(options, cache.Fast.PassTimes);
  const TVector markFrom = options.FreezeVisibility ? options.FreezePosition : cameraPosition;
  if (options.AllFaces)  // view mode
    std::fill(FaceVisible.begin(), FaceVisible.end(), -1);
  else
    MarkVisibleFaces(*this, markFrom);
  if (options.BrushModels && !options.AllFaces) MarkBrushModels(*this, markFrom, cache.VisibleBrushModels);

  // View modes (Q3BSP_viewmodes.cpp): another colouring replaces the passes below, shader
  // scripts included.
  if (options.Colouring != TRenderOptions::TColouring::Plain) {
    RenderColouredFaces(*this, options.Colouring, allSurfaces);
    FinishFrame(*this, cache, markFrom, options, cameraPosition);
    return;
  }
  if (options.Shaders && !Shading.States.empty()) {
    RenderShaded(*this, cache, cameraPosition, options);
    FinishFrame(*this, cache, markFrom, options, cameraPosition);
    return;
  }
  if (options.Fast) {  // render/FastPath.cpp
    MarkPass(cache.Fast.PassTimes, TFramePass::Visibility);
    TFragmentCount count(options);
    DrawFastSurfaces(*this, cache, cameraPosition, options);
    count.Finish(cache.Fast);
    MarkPass(cache.Fast.PassTimes, TFramePass::OnePass);
    FinishFrame(*this, cache, markFrom, options, cameraPosition);
    return;
  }

  // Texture pass. Every texture is bound, even one with no visible face; faces that are visible
  // but not polygons still get their pointers set and are counted, though never drawn.
  for (std::int32_t t = 0; t < TextureCount; ++t) {
    glBindTexture(GL_TEXTURE_2D, SurfaceTextures[static_cast<std::size_t>(t)]);
    for (const std::int32_t f : TextureFaces[static_cast<std::size_t>(t)]) {
      const std::size_t face = static_cast<std::size_t>(f);
      if (FaceVisible[face] == 0) continue;
      if (allSurfaces && !SurfaceDrawn(*this, face)) continue;
      OpenGL.glVertexPointer(3, GL_FLOAT, 0, FaceVertices[face].data());
      OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, FaceTexCoords[face].data());
      if (allSurfaces || Faces[face].FaceType == kPolygonFace) DrawPolygon(*this, f);
      ++VisibleFaceCount;
    }
  }

  // The lightmap pass draws the same triangles from the same arrays, so its fragments land on
  // exactly the depths the texture pass left: GL_EQUAL limits it to the pixels that pass drew.
  // Source times destination plus destination times source is twice the product, so a lightmap
  // texel of one half leaves the surface colour as it is.
  OpenGL.glDepthFunc(GL_EQUAL);
  OpenGL.glEnable(GL_BLEND);
  SetLightBlend(*this);  // the product once under the game's light

  for (std::int32_t m = 0; m < LightmapCount; ++m) {
    glBindTexture(GL_TEXTURE_2D, LightmapTextures[static_cast<std::size_t>(m)]);
    for (const std::int32_t f : LightmapFaces[static_cast<std::size_t>(m)]) {
      const std::size_t face = static_cast<std::size_t>(f);
      if (FaceVisible[face] == 0) continue;
      if (!FrameDrawsFace(*this, face, allSurfaces)) continue;
      OpenGL.glVertexPointer(3, GL_FLOAT, 0, FaceVertices[face].data());
      OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, FaceLightmapCoords[face].data());
      DrawPolygon(*this, f);
    }
  }
  // Faces lit by their vertices, in the same way (Q3BSP_vertexlight.cpp).
  if (options.VertexLight) DrawVertexLitFaces(*this, cache.VertexLit, Lighting.VertexLitFaces, allSurfaces);

  OpenGL.glDisable(GL_BLEND);
  OpenGL.glDepthFunc(GL_LESS);

  FinishFrame(*this, cache, markFrom, options, cameraPosition);
}
