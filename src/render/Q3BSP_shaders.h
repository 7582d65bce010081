#pragma once
// The renderer's side of shader scripts (--shaders): loading each texture's image and the sky's
// as the level's shading decided (level/Q3BSP_shading.h), and drawing a frame with that state.
#include <vector>

#include "level/Q3BSP.h"

// Describes the textures through the shader table from the source (the base folder's when empty),
// then loads each texture's image into SurfaceTextures and the sky's images. An image that fails
// to load is a problem of Shading, and the load goes on.
// The shaders kept are taken from the budget when there is one; an image the budget leaves out is
// no problem of Shading (the budget's warning names it).
void LoadShadedSurfaces(TQuake3BSP& level, const std::vector<TBSPTexture>& textures,
                        const shaders::TShaderSource& source, platform::TBudget* budget = nullptr,
                        shaders::TShaderTable* keep = nullptr);

// The GL's alpha test as a draw state asks for it (off for None).
void SetAlphaTest(shaders::TAlphaTest test);

// A frame whose faces are marked: the texture groups brought up to date with the marks, their
// stages evaluated at options.Time, then DrawShadedPasses.
void RenderShaded(TQuake3BSP& level, TRenderCache& cache, const TVector& cameraPosition, const TRenderOptions& options);

// The draws of a frame from the groups and values it has: the opaque groups' stages, the sky, the
// fog, the blended groups' stages and, with every surface, the billboards; with vertexLight the
// vertex-lit faces multiplied in after the opaque groups. A fragment count is finished before the
// sky (render/FragmentCount.h).
class TFragmentCount;
void DrawShadedPasses(const TQuake3BSP& level, TRenderCache& cache, const TVector& cameraPosition, bool allSurfaces,
                      bool vertexLight, TFragmentCount* count = nullptr);
