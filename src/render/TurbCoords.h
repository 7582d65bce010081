#pragma once
// --vertex-turb: the coordinates of a stage with tcMod turb worked out vertex by vertex for the
// frame (shaders/VertexTurb.h), so that each vertex ripples by its place; the stage then draws
// them with an identity texture matrix.
#include <optional>

#include "render/ShaderStages.h"
#include "shaders/VertexTurb.h"

// The changes of the stage at the frame's time when the level draws turbulence per vertex and
// the stage has one; nothing otherwise (the stage keeps its texture matrix).
std::optional<shaders::TVertexTexMods> VertexTurbFor(const TQuake3BSP& level, const shaders::TShader& shader,
                                                     const shaders::TPlannedStage& stage, double seconds);

// The group's faces' coordinates in the joined arrays after the changes, written into `out` at the
// same places (other entries left as they were); returns out's data.
const TTexCoord* JoinedTurbCoords(const TQuake3BSP& level, const TShadedGroup& group,
                                  const shaders::TVertexTexMods& mods, const TTexCoord* coords,
                                  const TVector* positions, AGLNrf2& out);

// The same for one face drawn from its own arrays.
const TTexCoord* FaceTurbCoords(const shaders::TVertexTexMods& mods, const AGLNrf2& coords,
                                const AGLNrf3& positions, AGLNrf2& out);
