#pragma once
// What the renderer keeps from one frame of a level to the next, beside the level rather than in
// it: the level model holds what was loaded, and a frame only reads it (apart from its visibility
// marks). Every part is rebuilt on demand, so a cache made anew (= {}) costs one slower frame and
// changes no picture; one cache serves one level and is made anew whenever that level is loaded
// again or replaced.
#include "level/DrawLists.h"
#include "render/Q3BSP_lighting.h"
#include "render/ShaderStages.h"

struct TRenderCache {
  // The batches of --fast, kept while the camera's cluster and the options stay (level/DrawLists.h).
  TDrawLists DrawLists;
  // The stages' groups, values and per-frame buffers (--shaders).
  TShadedFrame Shaded;
  // The faces of the vertex pass gathered for one draw (--vertex-light).
  TVertexLitBatch VertexLit;
};
