// Surfaces drawn as the shader scripts describe them (--shaders). Everything that does not move
// is decided at load, per texture (level/Q3BSP_shading.cpp): the images of every stage are loaded
// here, and a frame draws the texture groups stage by stage (ShaderStages.cpp), the sky, the fog
// and the billboards.
#include "render/Q3BSP_shaders.h"

#include <GL/gl.h>

#include <algorithm>
#include <exception>

#include "gl/OpenGL.h"
#include "level/Q3BSP_shading.h"
#include "platform/Budget.h"
#include "render/Billboards.h"
#include "render/Fog.h"
#include "render/FastPath.h"
#include "render/FragmentCount.h"
#include "render/PassTimes.h"
#include "render/Q3BSP_images.h"
#include "render/Q3BSP_lighting.h"
#include "render/Q3BSP_render.h"
#include "render/Portals.h"
#include "render/Q3BSP_sky.h"
#include "render/RenderCache.h"
#include "render/ShaderStages.h"
#include "render/SkyChoice.h"
#include "render/WorldFog.h"

namespace {

// Loads one image into the slot (each file once, however many textures name it); a failure the
// loader raises (a hostile or truncated file) is kept as a problem instead of ending the load.
void LoadImage(const std::string& image, GLuint& slot, TLevelShading& shading, TImageOnce& images,
               bool clamp = false) {
  try {
    images.Load(image, slot, clamp);
  } catch (const platform::EBudgetSpent&) {
    // left out: the budget's warning names it
  } catch (const std::exception& e) {
    shading.Problems.push_back({image, 0, e.what()});
  }
}

// Every stage's frames, each image once; a clampMap stage's images get textures of their own.
void LoadStages(TShadedSurface& surface, const std::vector<std::vector<std::string>>& stageImages,
                TLevelShading& shading, TImageOnce& images) {
  surface.StageTextures.assign(stageImages.size(), {});
  for (std::size_t s = 0; s < stageImages.size(); ++s) {
    const bool clamp = surface.Shader && s < surface.Shader->Stages.size() && surface.Shader->Stages[s].Clamp;
    for (const std::string& frame : stageImages[s]) {
      GLuint texture = 0;
      if (!frame.empty()) LoadImage(frame, texture, shading, images, clamp);
      surface.StageTextures[s].push_back(texture);
    }
  }
}

void LoadOneSky(TLevelShading& shading, const std::vector<std::string>& box,
                const std::vector<std::vector<std::string>>& stages, std::vector<std::uint32_t>& skyBox,
                std::uint32_t& skyClouds, TShadedSurface& sky, TImageOnce& images) {
  if (box.size() == 6) {
    // Clamped to their edges: the sides meet without a seam of the opposite edge's texels.
    skyBox.assign(6, 0);
    for (std::size_t side = 0; side < 6; ++side) LoadImage(box[side], skyBox[side], shading, images, true);
  }
  LoadStages(sky, stages, shading, images);
  for (const auto& frames : sky.StageTextures)
    if (!frames.empty() && frames.front() != 0 && skyClouds == 0) skyClouds = frames.front();
}

void LoadSky(TLevelShading& shading, const TShadedImages& described, TImageOnce& images) {
  LoadOneSky(shading, described.Sky, described.SkyStages, shading.SkyBox, shading.SkyClouds, shading.Sky, images);
  for (std::size_t k = 0; k < shading.Skies.size() && k < described.Skies.size(); ++k) {
    if (k == shading.SkyShown) continue;
    TLevelShading::TLevelSky& other = shading.Skies[k];
    LoadOneSky(shading, described.Skies[k].first, described.Skies[k].second, other.SkyBox, other.SkyClouds,
               other.Sky, images);
  }
}

// $whiteimage, and the stand-in for an image that is missing: one white texel.
GLuint MakeWhiteTexture() {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  const GLubyte white[4] = {255, 255, 255, 255};
  OpenGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  OpenGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  OpenGL.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
  return name;
}

}  // namespace

void LoadShadedSurfaces(TQuake3BSP& level, const std::vector<TBSPTexture>& textures,
                        const shaders::TShaderSource& source, platform::TBudget* budget,
                        shaders::TShaderTable* keep) {
  const TShadedImages described = DescribeShadedSurfaces(level, textures, source, budget, keep);
  TLevelShading& shading = level.Shading;
  TImageOnce images;
  for (std::size_t t = 0; t < textures.size(); ++t) {
    for (const std::string& image : described.Surfaces[t]) LoadImage(image, level.SurfaceTextures[t], shading, images);
    TShadedSurface& surface = shading.Surfaces[t];
    LoadStages(surface, described.Stages[t], shading, images);
    // A name no script defines is drawn as the plain frame draws it: its own image, then its
    // lightmap (the default shader's first stage is the texture's slot).
    if (surface.Shader && surface.Shader->File.empty()) {
      surface.StageTextures = {{level.SurfaceTextures[t]}, {}};
      // --glow-images: its glow image, added over the lit image (level/Q3BSP_shading.cpp).
      if (surface.Shader->Stages.size() > 2) {
        GLuint glow = 0;
        LoadImage(surface.Shader->Stages[2].Map, glow, shading, images);
        surface.StageTextures.push_back({glow});
      }
    }
  }
  LoadSky(shading, described, images);
  shading.WhiteTexture = MakeWhiteTexture();
}

void DrawShadedPasses(const TQuake3BSP& level, TRenderCache& cache, const TVector& cameraPosition, bool allSurfaces,
                      bool vertexLight, TFragmentCount* count) {
  TShadedFrame& frame = cache.Shaded;
  {
    TStageState state;
    DrawShadedGroups(level, frame, state, false);
    state.Finish();
  }
  if (vertexLight) {
    // The faces lit by their vertices, multiplied in over their images as the lightmap stage is.
    OpenGL.glDepthFunc(GL_EQUAL);
    OpenGL.glEnable(GL_BLEND);
    SetLightBlend(level);
    DrawShadedVertexLitFaces(level, cache.VertexLit, allSurfaces);  // Q3BSP_vertexlight.cpp
    OpenGL.glDisable(GL_BLEND);
    OpenGL.glDepthFunc(GL_LESS);
  }
  if (count != nullptr) count->Finish(cache.Fast);
  TPassTimes& times = cache.Fast.PassTimes;
  MarkPass(times, TFramePass::Stages);
  DrawSky(level.Shading, frame, cameraPosition, SkyArea(level, frame));
  MarkPass(times, TFramePass::Sky);
  DrawWorldFog(level.Shading.WorldFog);  // render/WorldFog.h: nothing without --world-fog
  DrawFog(level, frame, cameraPosition);
  MarkPass(times, TFramePass::Fog);
  {
    // Blended surfaces over everything opaque, not sorted by distance (far to near with --game-stages).
    TStageState state;
    DrawShadedGroups(level, frame, state, true, level.Shading.GameStages ? &cameraPosition : nullptr);
    state.Finish();
  }
  if (allSurfaces) DrawBillboards(level, frame, cameraPosition);
  MarkPass(times, TFramePass::Blended);
}

void RenderShaded(TQuake3BSP& level, TRenderCache& cache, const TVector& cameraPosition, const TRenderOptions& options) {
  const bool allSurfaces = options.Surfaces == TSurfaceSet::All;
  // The alpha test is the heads-up text's between frames; it is put back as found.
  const GLboolean alphaTestWas = OpenGL.glIsEnabled(GL_ALPHA_TEST);
  GLint alphaFuncWas = GL_ALWAYS;
  GLfloat alphaRefWas = 0;
  OpenGL.glGetIntegerv(GL_ALPHA_TEST_FUNC, &alphaFuncWas);
  OpenGL.glGetFloatv(GL_ALPHA_TEST_REF, &alphaRefWas);

  DrawPortalViews(level, cache, cameraPosition, options);  // render/Portals.h: nothing without --portals
  TShadedFrame& frame = cache.Shaded;
  const std::int32_t visible = UpdateShadedGroups(level, frame, allSurfaces);
  VisibleFaceCount += visible;
  frame.VertexLight = options.VertexLight;
  frame.OnePassDrawn = options.Fast;
  ShowSkyInView(level, frame);  // render/SkyChoice.h: nothing without --sky-in-view
  EvaluateShadedFrame(level, frame, cameraPosition, options.Time);
  SetPortalAlphas(level, frame, cameraPosition);
  MarkPass(cache.Fast.PassTimes, TFramePass::Visibility);
  // --fast: the surfaces that are only an image and its lightmap in one pass from the kept, culled
  // batches (render/FastPath.h); the stages draw the rest. Drawn counts both.
  TFragmentCount count(options);
  if (options.Fast) DrawFastSurfaces(level, cache, cameraPosition, options);
  MarkPass(cache.Fast.PassTimes, TFramePass::OnePass);
  DrawShadedPasses(level, cache, cameraPosition, allSurfaces, options.VertexLight, &count);
  if (options.Fast) cache.Fast.FacesDrawn = visible - cache.Fast.FacesCulled;

  OpenGL.glAlphaFunc(static_cast<GLenum>(alphaFuncWas), alphaRefWas);
  if (alphaTestWas) OpenGL.glEnable(GL_ALPHA_TEST);
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
