#pragma once
// --sky-in-view: a level with several sky shaders draws the sky of the sky faces in view, the one
// with the most of them when several are (TLevelShading::Skies).
#include <cstdint>

#include "level/Q3BSP.h"
#include "render/ShaderStages.h"

// Of this frame's visible sky faces (TShadedFrame::SkyFaces), those not wholly beyond one side of
// the view volume of the current GL matrices, counted per texture: the texture with the most (the
// lower index on a tie); -1 when none.
std::int32_t SkyTextureInView(const TQuake3BSP& level, const TShadedFrame& frame);

// Before the frame's stage values: the shown sky becomes that texture's when another one's is
// shown. Nothing without SkyInView, or when no sky face is in view (the last one stays).
void ShowSkyInView(TQuake3BSP& level, TShadedFrame& frame);
