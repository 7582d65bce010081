#pragma once
// What a frame of TQuake3BSP::RenderLevel (defined in Q3BSP_render.cpp) leaves for the heads-up
// text and the runs to read.
#include <cstdint>

// Faces counted by this frame's texture pass: visible faces that belong to a texture group.
extern std::int32_t VisibleFaceCount;
