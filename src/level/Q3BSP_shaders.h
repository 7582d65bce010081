#pragma once
// The level's side of shader scripts (--shaders): choosing and loading each texture's image and
// draw state, grouping faces by that state, and drawing a frame with it. Internal to level/.
#include <vector>

#include "level/Q3BSP.h"

// Loads the shader table from the source (the base folder's when empty), then each texture's image
// into SurfaceTextures and its state into level.Shading; the sky's images too. An image that fails
// to load is a problem of Shading, and the load goes on.
void LoadShadedSurfaces(TQuake3BSP& level, const std::vector<TBSPTexture>& textures,
                        const shaders::TShaderSource& source);

// After the texture and lightmap groups exist: the lightmap pass's face lists and the totals.
void GroupShadedFaces(TQuake3BSP& level);

// The texture pass, lightmap pass, sky and blended surfaces of a frame whose faces are marked.
void RenderShaded(TQuake3BSP& level, const TVector& cameraPosition, const TRenderOptions& options);
