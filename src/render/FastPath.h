#pragma once
// --fast: the level's opaque surfaces drawn from the kept draw lists (level/DrawLists.h, kept in
// the render cache), each
// (image, lightmap) pair in one draw, faces outside the view left out, and image x lightmap in one
// pass with two texture units: unit 0 the image as the two passes' first, unit 1 the lightmap
// combined by MODULATE at RGB_SCALE 2, the two passes' blend of twice the product, clamped. Where
// the GL lacks the units (gl/Multitexture.h) the same batches are drawn in the two passes.
#include <cstdint>

#include "level/DrawLists.h"
#include "level/Q3BSP.h"
#include "render/RenderCache.h"

// Draws the opaque surfaces of a frame whose faces are marked and adds the marked faces to
// VisibleFaceCount as the two passes count them. With --shaders, only the surfaces whose stages
// fold into the one pass are drawn, each with its alpha test and culling; the stages draw (and
// count) the rest. What it did goes to cache.Fast.
void DrawFastSurfaces(const TQuake3BSP& level, TRenderCache& cache, const TVector& cameraPosition,
                      const TRenderOptions& options);

// Culls the lists' batches against the frustum (every batch's View, InView and FacesInView) and
// counts what is left into `frame`. With back.Side, polygon faces seen from the side the GL culls
// (see TFaceRun::Winding) are left out too (still counted in view, and in frame.BackFaces), apart from the batches
// of textures whose shader draws both sides (with `shaded`, the level whose states say so).
struct TFrustum;
struct TBackFaces {
  TVector Eye{};
  float Side = 0;  // +1: the GL culls the side the wound normal points to; -1 the other; 0 none
};
void CullDrawLists(TDrawLists& lists, const TFrustum& frustum, TFastFrame& frame, const TBackFaces& back = {},
                   const TQuake3BSP* shaded = nullptr);
