#pragma once
// Faces lit by their vertices (--vertex-light): a face whose lightmap index is -3 has no lightmap;
// its vertices' colours carry its light. The level's side: those colours brightened by the
// lightmap rule, ready for a pass like the lightmap pass, and the faces that pass draws. Pure: no
// GL; the pass is render/'s.
#include <cstdint>

#include "level/BSPFile.h"
#include "level/Q3BSP.h"

// The lightmap index of a face lit by its vertex colours.
inline constexpr std::int32_t kVertexLitFace = -3;

// For every face with lightmap index -3, Lighting.FaceColours holds its vertices' colours, each
// byte brightened as a lightmap texel is and the alpha 255 (vertex alpha is not drawn), one per
// vertex of its per-face arrays. A curved surface tessellated at load gets its control points'
// colours brightened first, then evaluated with the same basis as its positions. Runs after the
// per-face arrays (and the tessellation) are built, while the file's vertices are still there.
void BuildVertexLightColours(TQuake3BSP& level, const TBSPFile& file);

// After the texture and lightmap groups (and the shading, with shader scripts): the faces of the
// vertex pass. Plain: every -3 face, ascending. With shader scripts, the -3 faces whose texture
// is drawn, opaque, and has a lightmap stage or a first stage with rgbGen vertex (or
// exactVertex), apart by culling.
void GroupVertexLitFaces(TQuake3BSP& level, bool shaded);
