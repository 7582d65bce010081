#pragma once
// --portals: each visible portal face (level/Portals.h) shows the level from its camera, or
// mirrored, before the frame's own surfaces are drawn. The face's pixels are marked in the stencil
// buffer, the level is drawn there through the view's matrix with a clip plane at the camera (the
// portal faces inside it keep only their stages: one level deep), and the face's own depth is then
// written so that the frame draws the surface's stages over the view and nothing behind it. Nothing
// happens without the option, in a context without a stencil buffer, or without a face in view.
#include "level/Q3BSP.h"
#include "render/RenderCache.h"

// Draws the views of at most kMostPortalViews visible portal faces seen from their front, the
// nearest first; the faces' marks are as they were afterwards. cache.PortalViewsDrawn counts them.
void DrawPortalViews(TQuake3BSP& level, TRenderCache& cache, const TVector& eye, const TRenderOptions& options);

// alphaGen portal: a portal face's stages take alpha min(1, distance from the eye to the face's
// centre / range), evaluated once per face and frame (the game's is per vertex).
void SetPortalAlphas(const TQuake3BSP& level, TShadedFrame& frame, const TVector& eye);
