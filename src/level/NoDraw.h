#pragma once
// --skip-nodraw: faces whose texture record carries the nodraw flag are left out of a frame as
// --info's Drawn line and --export leave them out (level/ExportPlan.h): the map compiler wrote the
// flag from the shader's surfaceparm, so it holds without the scripts, and a curved surface so
// flagged is not tessellated at all.
#include <span>
#include <vector>

#include "level/Q3BSP.h"

// Whether the face's texture (a valid index) has the nodraw flag.
bool NoDrawFace(const TBSPFace& face, std::span<const TBSPTexture> textures);

// The faces as the tessellation plan should see them: nodraw curved surfaces typed as nothing
// to draw (so they are neither tessellated, counted nor warned about).
std::vector<TBSPFace> WithoutNoDrawPatches(std::span<const TBSPFace> faces, std::span<const TBSPTexture> textures);

// Takes the nodraw faces out of the texture and lightmap groups (lists and counts), which every
// pass draws from.
void LeaveOutNoDrawFaces(TQuake3BSP& level, std::span<const TBSPTexture> textures);
