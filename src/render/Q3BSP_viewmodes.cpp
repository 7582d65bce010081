// The view modes: the same marked faces as the plain frame, in the same texture-group order,
// coloured otherwise, and their outlines.
#include "render/Q3BSP_viewmodes.h"

#include <GL/gl.h>

#include <cmath>

#include "gl/OpenGL.h"
#include "level/Q3BSP_surfaces.h"
#include "render/Q3BSP_render.h"

namespace {

using TColouring = TRenderOptions::TColouring;

void DrawFace(const TQuake3BSP& level, std::size_t face) {
  const std::vector<GLuint>& indices = level.FaceIndices[face];
  if (!indices.empty())
    OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT,
                          indices.data());
  else
    OpenGL.glDrawArrays(GL_TRIANGLE_FAN, 0, level.Faces[face].NumVertices);
}

// Every marked face of the texture groups, group by group, as the plain texture pass visits them.
template <class TBeginGroup, class TFace>
void ForEachMarkedFace(const TQuake3BSP& level, bool allSurfaces, TBeginGroup beginGroup,
                       TFace drawFace) {
  for (std::int32_t t = 0; t < level.TextureCount; ++t) {
    beginGroup(t);
    for (const std::int32_t f : level.TextureFaces[static_cast<std::size_t>(t)]) {
      const std::size_t face = static_cast<std::size_t>(f);
      if (level.FaceVisible[face] == 0) continue;
      // With every surface only drawn faces count, as in the plain frame.
      if (allSurfaces && !SurfaceDrawn(level, face)) continue;
      ++VisibleFaceCount;
      if (FrameDrawsFace(level, face, allSurfaces)) drawFace(face);
    }
  }
}

// Untextured drawing: the texture coordinates are not read, so their array goes off with it
// (its pointer may still name a smaller face's array).
void BeginFlatColour() {
  OpenGL.glDisable(GL_TEXTURE_2D);
  OpenGL.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}
void EndFlatColour() {
  OpenGL.glColor3ub(255, 255, 255);
  OpenGL.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL.glEnable(GL_TEXTURE_2D);
}

}  // namespace

std::array<std::uint8_t, 3> ClusterColour(std::int32_t cluster) {
  if (cluster < 0) return NoClusterColour;
  // Hue from the fractional part of cluster times the golden ratio; full saturation and value,
  // with the value lowered a little for every third cluster so that hues that come round again
  // still differ.
  const double hue = std::fmod(static_cast<double>(cluster) * 0.6180339887498949, 1.0) * 6.0;
  const double value = cluster % 3 == 2 ? 0.7 : 1.0;
  const int sector = static_cast<int>(hue) % 6;
  const double f = hue - std::floor(hue);
  const double rising = value * f, falling = value * (1 - f);
  double r = 0, g = 0, b = 0;
  switch (sector) {
    case 0: r = value; g = rising; break;
    case 1: r = falling; g = value; break;
    case 2: g = value; b = rising; break;
    case 3: g = falling; b = value; break;
    case 4: r = rising; b = value; break;
    default: r = value; b = falling; break;
  }
  const auto byte = [](double c) { return static_cast<std::uint8_t>(std::lround(c * 255)); };
  return {byte(r), byte(g), byte(b)};
}

std::vector<std::int32_t> FaceClusters(const TQuake3BSP& level) {
  std::vector<std::int32_t> clusters(level.Faces.size(), -1);
  const std::int64_t leafFaceCount = static_cast<std::int64_t>(level.LeafFaces.size());
  for (const TBSPLeaf& leaf : level.Leaves) {
    if (leaf.Cluster < 0) continue;
    const std::int64_t first = leaf.FirstLeafFace;
    const std::int64_t end = first + leaf.NumLeafFaces;
    if (first < 0 || end > leafFaceCount) continue;
    for (std::int64_t k = first; k < end; ++k) {
      const std::size_t face = static_cast<std::uint32_t>(level.LeafFaces[static_cast<std::size_t>(k)]);
      if (face < clusters.size() && clusters[face] < 0) clusters[face] = leaf.Cluster;
    }
  }
  return clusters;
}

void RenderColouredFaces(TQuake3BSP& level, TColouring colouring, bool allSurfaces) {
  const auto setVertices = [&](std::size_t face) {
    OpenGL.glVertexPointer(3, GL_FLOAT, 0, level.FaceVertices[face].data());
  };

  if (colouring == TColouring::SurfaceImages) {
    ForEachMarkedFace(
        level, allSurfaces,
        [&](std::int32_t t) { glBindTexture(GL_TEXTURE_2D, level.SurfaceTextures[static_cast<std::size_t>(t)]); },
        [&](std::size_t face) {
          setVertices(face);
          OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, level.FaceTexCoords[face].data());
          DrawFace(level, face);
        });
    return;
  }

  BeginFlatColour();
  if (colouring == TColouring::Clusters) {
    const std::vector<std::int32_t> clusters = FaceClusters(level);
    ForEachMarkedFace(level, allSurfaces, [](std::int32_t) {}, [&](std::size_t face) {
      const std::array<std::uint8_t, 3> c = ClusterColour(clusters[face]);
      OpenGL.glColor3ub(c[0], c[1], c[2]);
      setVertices(face);
      DrawFace(level, face);
    });
    EndFlatColour();
    return;
  }

  // Lightmaps: white faces, then each lightmap times what is there (no doubling), limited by the
  // equal depth test to the pixels the white pass drew, as the plain lightmap pass is.
  OpenGL.glColor3ub(255, 255, 255);
  ForEachMarkedFace(level, allSurfaces, [](std::int32_t) {}, [&](std::size_t face) {
    setVertices(face);
    DrawFace(level, face);
  });
  EndFlatColour();
  OpenGL.glDepthFunc(GL_EQUAL);
  OpenGL.glEnable(GL_BLEND);
  OpenGL.glBlendFunc(GL_DST_COLOR, GL_ZERO);
  for (std::int32_t m = 0; m < level.LightmapCount; ++m) {
    glBindTexture(GL_TEXTURE_2D, level.LightmapTextures[static_cast<std::size_t>(m)]);
    for (const std::int32_t f : level.LightmapFaces[static_cast<std::size_t>(m)]) {
      const std::size_t face = static_cast<std::size_t>(f);
      if (level.FaceVisible[face] == 0 || !FrameDrawsFace(level, face, allSurfaces)) continue;
      setVertices(face);
      OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, level.FaceLightmapCoords[face].data());
      DrawFace(level, face);
    }
  }
  OpenGL.glDisable(GL_BLEND);
  OpenGL.glDepthFunc(GL_LESS);
  // The blend function the plain frame leaves, so that what follows sees the same state.
  OpenGL.glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
}

void DrawWireframe(const TQuake3BSP& level, bool allSurfaces) {
  BeginFlatColour();
  OpenGL.glColor3ub(WireframeColour[0], WireframeColour[1], WireframeColour[2]);
  OpenGL.glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  // Lines of a face are rasterized at depths a little off its filled pixels; pulled towards the
  // camera and compared with LEQUAL they show on their own face and still hide behind nearer ones.
  OpenGL.glEnable(GL_POLYGON_OFFSET_LINE);
  OpenGL.glPolygonOffset(-1.0f, -1.0f);
  OpenGL.glDepthFunc(GL_LEQUAL);
  for (std::int32_t t = 0; t < level.TextureCount; ++t)
    for (const std::int32_t f : level.TextureFaces[static_cast<std::size_t>(t)]) {
      const std::size_t face = static_cast<std::size_t>(f);
      if (level.FaceVisible[face] == 0 || !FrameDrawsFace(level, face, allSurfaces)) continue;
      OpenGL.glVertexPointer(3, GL_FLOAT, 0, level.FaceVertices[face].data());
      DrawFace(level, face);
    }
  OpenGL.glDepthFunc(GL_LESS);
  OpenGL.glDisable(GL_POLYGON_OFFSET_LINE);
  OpenGL.glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  EndFlatColour();
}
