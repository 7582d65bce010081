// Choosing the sky of the faces in view: a count per sky texture of the faces the view volume
// reaches, and a swap of the box, layers and their textures when another sky wins.
#include "render/SkyChoice.h"

#include <GL/gl.h>

#include <algorithm>
#include <map>
#include <utility>

#include "gl/OpenGL.h"
#include "render/ShaderStages.h"

namespace {

// Whether some vertex of the face may show: not all of them beyond one side of the view volume.
bool InView(const std::vector<TVector>& vertices, const GLdouble (&m)[16], const GLdouble (&p)[16]) {
  int outside[6] = {0, 0, 0, 0, 0, 0};
  for (const TVector& v : vertices) {
    double eye[4], c[4];
    for (int r = 0; r < 4; ++r) eye[r] = m[r] * v.X + m[4 + r] * v.Y + m[8 + r] * v.Z + m[12 + r];
    for (int r = 0; r < 4; ++r) c[r] = p[r] * eye[0] + p[4 + r] * eye[1] + p[8 + r] * eye[2] + p[12 + r] * eye[3];
    for (int a = 0; a < 3; ++a) {
      outside[2 * a] += c[a] < -c[3];
      outside[2 * a + 1] += c[a] > c[3];
    }
  }
  const int n = static_cast<int>(vertices.size());
  return n > 0 && std::none_of(std::begin(outside), std::end(outside), [n](int k) { return k == n; });
}

void Swap(TLevelShading& shading, TLevelShading::TLevelSky& other) {
  std::swap(shading.SkyBox, other.SkyBox);
  std::swap(shading.SkyClouds, other.SkyClouds);
  std::swap(shading.Sky, other.Sky);
}

}  // namespace

std::int32_t SkyTextureInView(const TQuake3BSP& level, const TShadedFrame& frame) {
  GLdouble m[16], p[16];
  OpenGL.glGetDoublev(GL_MODELVIEW_MATRIX, m);
  OpenGL.glGetDoublev(GL_PROJECTION_MATRIX, p);
  std::map<std::int32_t, std::int32_t> counts;
  for (const std::int32_t f : frame.SkyFaces)
    if (InView(level.FaceVertices[static_cast<std::size_t>(f)], m, p))
      ++counts[level.Faces[static_cast<std::size_t>(f)].TextureIndex];
  std::int32_t best = -1, most = 0;
  for (const auto& [texture, count] : counts)
    if (count > most) best = texture, most = count;
  return best;
}

void ShowSkyInView(TQuake3BSP& level, TShadedFrame& frame) {
  TLevelShading& shading = level.Shading;
  if (!shading.SkyInView || shading.Skies.size() < 2) return;
  const std::int32_t texture = SkyTextureInView(level, frame);
  const auto wanted = std::find_if(shading.Skies.begin(), shading.Skies.end(),
                                   [texture](const TLevelShading::TLevelSky& s) { return s.Texture == texture; });
  if (wanted == shading.Skies.end()) return;
  const std::size_t k = static_cast<std::size_t>(wanted - shading.Skies.begin());
  if (k == shading.SkyShown) return;
  Swap(shading, shading.Skies[shading.SkyShown]);  // the shown sky back to its own entry
  Swap(shading, shading.Skies[k]);
  shading.SkyShown = k;
  // The dome's coordinates follow the cloud height of the sky it was made for.
  frame.DomePositions.clear();
  frame.DomeCoords.clear();
  frame.DomeIndices.clear();
}
