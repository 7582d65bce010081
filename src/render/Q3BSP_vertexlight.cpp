// The vertex pass (--vertex-light): faces lit by their vertex colours drawn once more over their
// surface images, like the lightmap pass, with the colours in place of a lightmap.
#include <GL/gl.h>

#include "gl/OpenGL.h"
#include "level/Q3BSP_surfaces.h"
#include "render/Q3BSP_lighting.h"

namespace {

// The visible faces of the list that a frame draws, gathered into the batch. Drawing them face by
// face would cost more on a software renderer than copying their few vertices.
void GatherFaces(const TQuake3BSP& level, TVertexLitBatch& batch, const std::vector<std::int32_t>& faces,
                 bool allSurfaces) {
  batch.Positions.clear();
  batch.Colours.clear();
  batch.Indices.clear();
  for (const std::int32_t f : faces) {
    const std::size_t face = static_cast<std::size_t>(f);
    if (level.FaceVisible[face] == 0) continue;
    if (!FrameDrawsFace(level, face, allSurfaces)) continue;
    const AGLNrf3& vertices = level.FaceVertices[face];
    if (face >= level.Lighting.FaceColours.size()) continue;
    const AGLbyt4& colours = level.Lighting.FaceColours[face];
    if (colours.size() != vertices.size()) continue;
    const GLuint base = static_cast<GLuint>(batch.Positions.size());
    batch.Positions.insert(batch.Positions.end(), vertices.begin(), vertices.end());
    batch.Colours.insert(batch.Colours.end(), colours.begin(), colours.end());
    const std::vector<GLuint>& indices = level.FaceIndices[face];
    if (!indices.empty()) {
      for (const GLuint i : indices) batch.Indices.push_back(base + i);
    } else {
      // A polygon without mesh vertices is a fan, as the other passes draw it.
      for (GLuint i = 1; i + 1 < vertices.size(); ++i) batch.Indices.insert(batch.Indices.end(), {base, base + i, base + i + 1});
    }
  }
}

}  // namespace

void DrawVertexLitFaces(const TQuake3BSP& level, TVertexLitBatch& batch, const std::vector<std::int32_t>& faces,
                        bool allSurfaces) {
  GatherFaces(level, batch, faces, allSurfaces);
  if (batch.Indices.empty()) return;
  // The colour array leaves the current colour undefined; the other passes draw in it.
  GLfloat colour[4] = {1, 1, 1, 1};
  OpenGL.glGetFloatv(GL_CURRENT_COLOR, colour);
  OpenGL.glDisable(GL_TEXTURE_2D);
  OpenGL.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL.glEnableClientState(GL_COLOR_ARRAY);
  OpenGL.glVertexPointer(3, GL_FLOAT, 0, batch.Positions.data());
  OpenGL.glColorPointer(4, GL_UNSIGNED_BYTE, 0, batch.Colours.data());
  OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.Indices.size()), GL_UNSIGNED_INT,
                        batch.Indices.data());
  OpenGL.glDisableClientState(GL_COLOR_ARRAY);
  OpenGL.glColor4fv(colour);
  OpenGL.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  OpenGL.glEnable(GL_TEXTURE_2D);
}

void SetLightBlend(const TQuake3BSP& level) {
  OpenGL.glBlendFunc(GL_DST_COLOR, level.Lighting.GameLight ? GL_ZERO : GL_SRC_COLOR);
}

void DrawShadedVertexLitFaces(const TQuake3BSP& level, TVertexLitBatch& batch, bool allSurfaces) {
  DrawVertexLitFaces(level, batch, level.Lighting.OneSidedShadedFaces, allSurfaces);
  if (level.Lighting.TwoSidedShadedFaces.empty()) return;
  OpenGL.glDisable(GL_CULL_FACE);
  DrawVertexLitFaces(level, batch, level.Lighting.TwoSidedShadedFaces, allSurfaces);
  OpenGL.glEnable(GL_CULL_FACE);
}
