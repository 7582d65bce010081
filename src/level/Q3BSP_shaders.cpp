// Surfaces drawn as the shader scripts describe them (--shaders). Everything a frame needs is
// decided at load, per texture: the renderer sets state once per texture group and never looks at
// a face's shader.
#include <GL/gl.h>

#include <array>
#include <exception>

#include "gl/OpenGL.h"
#include "level/BSPFile.h"
#include "level/Q3BSP_images.h"
#include "level/Q3BSP_shaders.h"
#include "level/Q3BSP_surfaces.h"
#include "textures/Textures.h"

namespace {

constexpr std::int32_t PolygonFace = 1;

// Loads one image into the slot (each file once, however many textures name it); a failure the
// loader raises (a hostile or truncated file) is kept as a problem instead of ending the load.
void LoadImage(const std::string& image, GLuint& slot, TLevelShading& shading, TImageOnce& images) {
  try {
    images.Load(image, slot);
  } catch (const std::exception& e) {
    shading.Problems.push_back({image, 0, e.what()});
  }
}

// The sky of the first sky texture that has faces and images: its far box (six images), else its
// cloud image (one), else nothing.
std::vector<std::string> SkyImages(const TLevelShading& shading, const std::vector<TBSPTexture>& textures,
                                   const shaders::TShaderTable& table, const shaders::TShaderSource& source) {
  for (std::size_t t = 0; t < textures.size(); ++t) {
    if (!shading.States[t].Sky) continue;
    const shaders::TShader* shader = table.Find(TextureBaseName(textures[t]));
    if (const auto box = shaders::FindSkyBox(*shader, source.ImageExists))
      return std::vector<std::string>(box->begin(), box->end());
    for (const shaders::TStage& stage : shader->Stages) {
      if (stage.Map.empty() || stage.Map.front() == '$') continue;
      if (const auto image = shaders::FindImage(stage.Map, source.ImageExists)) return {*image};
    }
  }
  return {};
}

void LoadSky(TLevelShading& shading, const std::vector<std::string>& sky, TImageOnce& images) {
  if (sky.size() == 1) LoadImage(sky.front(), shading.SkyClouds, shading, images);
  if (sky.size() != 6) return;
  shading.SkyBox.assign(6, 0);
  for (std::size_t side = 0; side < 6; ++side) LoadImage(sky[side], shading.SkyBox[side], shading, images);
}

void SetAlphaTest(shaders::TAlphaTest test) {
  switch (test) {
    case shaders::TAlphaTest::None: OpenGL.glDisable(GL_ALPHA_TEST); return;
    case shaders::TAlphaTest::GT0: OpenGL.glAlphaFunc(GL_GREATER, 0.0f); break;
    case shaders::TAlphaTest::LT128: OpenGL.glAlphaFunc(GL_LESS, 0.5f); break;
    case shaders::TAlphaTest::GE128: OpenGL.glAlphaFunc(GL_GEQUAL, 0.5f); break;
  }
  OpenGL.glEnable(GL_ALPHA_TEST);
}

// The visible polygons of a face list drawn in one call: the per-face calls of the plain frame
// cost more on a software renderer than copying the few vertices of each face. Returns how many
// faces of the list were visible.
std::int32_t DrawFaces(TQuake3BSP& level, const std::vector<std::int32_t>& faces,
                       const std::vector<AGLNrf2>& coords, bool draw, bool allSurfaces) {
  TLevelShading::TBatch& batch = level.Shading.Batch;
  batch.Positions.clear();
  batch.Coords.clear();
  batch.Indices.clear();
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
    const GLuint base = static_cast<GLuint>(batch.Positions.size());
    batch.Positions.insert(batch.Positions.end(), vertices.begin(), vertices.end());
    batch.Coords.insert(batch.Coords.end(), coords[face].begin(), coords[face].end());
    const std::vector<GLuint>& indices = level.FaceIndices[face];
    if (!indices.empty()) {
      for (const GLuint i : indices) batch.Indices.push_back(base + i);
    } else {
      for (GLuint i = 1; i + 1 < vertices.size(); ++i) batch.Indices.insert(batch.Indices.end(), {base, base + i, base + i + 1});
    }
  }
  if (!batch.Indices.empty()) {
    OpenGL.glVertexPointer(3, GL_FLOAT, 0, batch.Positions.data());
    OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, batch.Coords.data());
    OpenGL.glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(batch.Indices.size()), GL_UNSIGNED_INT,
                          batch.Indices.data());
  }
  return visible;
}

std::int32_t DrawGroup(TQuake3BSP& level, std::size_t t, bool draw, bool allSurfaces) {
  return DrawFaces(level, level.TextureFaces[t], level.FaceTexCoords, draw, allSurfaces);
}

// A cube around the camera, seen from inside, in the level's axes (z up). Looking along +X one sees
// the "ft" image, along +Y "lf", along -X "bk", along -Y "rt"; "up" and "dn" have their bottom edge
// towards +X and -X respectively. Each side: four corners from the image's bottom left, anticlockwise.
constexpr float S = 64.0f;
constexpr std::array<std::array<float, 12>, 6> SkySides = {{
    {S, -S, -S, -S, -S, -S, -S, -S, S, S, -S, S},   // rt: -Y
    {-S, -S, -S, -S, S, -S, -S, S, S, -S, -S, S},   // bk: -X
    {-S, S, -S, S, S, -S, S, S, S, -S, S, S},       // lf: +Y
    {S, S, -S, S, -S, -S, S, -S, S, S, S, S},       // ft: +X
    {S, S, S, S, -S, S, -S, -S, S, -S, S, S},       // up: +Z
    {-S, S, -S, -S, -S, -S, S, -S, -S, S, S, -S},   // dn: -Z
}};

// Drawn after the opaque surfaces at the far end of the depth range with an "equal or less" test:
// only the pixels no surface covered receive it, which is the sky behind everything without paying
// for the pixels that surfaces hide. The box is moved to the eye on the model-view matrix, and the
// matrix its caller works on is selected again afterwards: the frame and the overview go on with
// the projection matrix after the level, and their later transforms would otherwise land on the
// model-view matrix.
void DrawSky(const TLevelShading& shading, const TVector& eye) {
  if (shading.SkyBox.empty() && shading.SkyClouds == 0) return;
  GLint matrixModeWas = GL_PROJECTION;
  OpenGL.glGetIntegerv(GL_MATRIX_MODE, &matrixModeWas);
  const float tiles = shading.SkyBox.empty() ? 2.0f : 1.0f;
  const std::array<float, 8> coords = {0, 0, tiles, 0, tiles, tiles, 0, tiles};
  OpenGL.glDisable(GL_CULL_FACE);
  OpenGL.glDisable(GL_ALPHA_TEST);
  OpenGL.glDepthMask(GL_FALSE);
  OpenGL.glDepthRange(1.0, 1.0);
  OpenGL.glDepthFunc(GL_LEQUAL);
  OpenGL.glMatrixMode(GL_MODELVIEW);
  OpenGL.glPushMatrix();
  OpenGL.glTranslatef(eye.X, eye.Y, eye.Z);
  OpenGL.glTexCoordPointer(2, GL_FLOAT, 0, coords.data());
  for (std::size_t side = 0; side < 6; ++side) {
    glBindTexture(GL_TEXTURE_2D, shading.SkyBox.empty() ? shading.SkyClouds : shading.SkyBox[side]);
    OpenGL.glVertexPointer(3, GL_FLOAT, 0, SkySides[side].data());
    OpenGL.glDrawArrays(GL_QUADS, 0, 4);
  }
  OpenGL.glPopMatrix();
  OpenGL.glMatrixMode(static_cast<GLenum>(matrixModeWas));
  OpenGL.glDepthFunc(GL_LESS);
  OpenGL.glDepthRange(0.0, 1.0);
  OpenGL.glDepthMask(GL_TRUE);
  OpenGL.glEnable(GL_CULL_FACE);
}

}  // namespace

void LoadShadedSurfaces(TQuake3BSP& level, const std::vector<TBSPTexture>& textures,
                        const shaders::TShaderSource& given) {
  const shaders::TShaderSource source = given.ScriptNames ? given : shaders::BaseFolderSource();
  const shaders::TShaderTable table = shaders::LoadShaderTable(source);
  TLevelShading& shading = level.Shading;
  shading.Problems = table.Problems;
  shading.ShaderCount = table.Shaders.size();
  shading.ScriptCount = table.ScriptCount;
  // Every texture described first, so that the images to load are known, in the order they load,
  // before the first one is read.
  std::vector<std::vector<std::string>> surfaceImages(textures.size());
  std::vector<std::string> toRead;
  for (std::size_t t = 0; t < textures.size(); ++t) {
    shaders::TTextureSurface surface =
        shaders::DescribeTexture(TextureBaseName(textures[t]), table, source.ImageExists);
    shading.States.push_back(surface.State);
    shading.Origins.push_back(surface.Origin);
    // Only the images of surfaces that are drawn are loaded.
    if (surface.State.Drawn) surfaceImages[t] = std::move(surface.Images);
    toRead.insert(toRead.end(), surfaceImages[t].begin(), surfaceImages[t].end());
  }
  const std::vector<std::string> sky = SkyImages(shading, textures, table, source);
  toRead.insert(toRead.end(), sky.begin(), sky.end());
  if (source.ReadAhead) source.ReadAhead(toRead);
  TImageOnce images;
  for (std::size_t t = 0; t < textures.size(); ++t)
    for (const std::string& image : surfaceImages[t]) LoadImage(image, level.SurfaceTextures[t], shading, images);
  LoadSky(shading, sky, images);
}

void GroupShadedFaces(TQuake3BSP& level) {
  TLevelShading& shading = level.Shading;
  shading.OneSidedLightmapFaces.assign(level.LightmapFaces.size(), {});
  shading.TwoSidedLightmapFaces.assign(level.LightmapFaces.size(), {});
  for (std::size_t m = 0; m < level.LightmapFaces.size(); ++m) {
    for (const std::int32_t f : level.LightmapFaces[m]) {
      const std::int32_t t = level.Faces[static_cast<std::size_t>(f)].TextureIndex;
      if (t < 0 || t >= level.TextureCount) continue;
      const shaders::TDrawState& state = shading.States[static_cast<std::size_t>(t)];
      if (!state.Drawn || !state.Lightmap) continue;
      (state.TwoSided ? shading.TwoSidedLightmapFaces : shading.OneSidedLightmapFaces)[m].push_back(f);
    }
  }
  for (std::size_t t = 0; t < shading.Origins.size(); ++t) {
    if (shading.Origins[t] != shaders::TImageOrigin::None) continue;
    ++shading.TexturesWithoutImage;
    shading.FacesWithoutImage += level.TextureFaceCounts[t];
  }
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

  // Opaque surfaces: one state per texture group.
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

  // The lightmap pass as in the plain frame (see RenderLevel), over the faces whose shader has a
  // lightmap stage.
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
  OpenGL.glDisable(GL_BLEND);
  OpenGL.glDepthFunc(GL_LESS);

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
