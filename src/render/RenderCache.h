#pragma once
// What the renderer keeps from one frame of a level to the next, beside the level rather than in
// it: the level model holds what was loaded, and a frame only reads it (apart from its visibility
// marks). Every part is rebuilt on demand, so a cache made anew (= {}) costs one slower frame and
// changes no picture; one cache serves one level and is made anew whenever that level is loaded
// again or replaced.
#include <cstdint>

#include "genom/genom.h"
#include "level/DrawLists.h"
#include "level/Things.h"
#include "render/DrawOrder.h"
#include "render/PassTimes.h"
#include "render/Q3BSP_lighting.h"
#include "render/ShaderStages.h"

// What the last --fast frame did, for the heads-up text and the benchmark; made anew by every frame.
struct TFastFrame {
  std::int32_t Passes = 0;       // 1 with two (or three) texture units; more in the fallbacks
  std::int32_t FacesDrawn = 0;   // batched faces in view
  std::int32_t FacesCulled = 0;  // batched faces outside the view
  std::int32_t BackFaces = 0;    // of the faces in view, polygons seen from the side the GL culls (not drawn)
  std::int32_t Batches = 0;      // draws of the opaque surfaces (per pass)
  bool ListsBuilt = false;       // the draw lists were built for this frame, not kept
  bool Sorted = false;           // the batches' near-to-far order was worked out for this frame
  // With TRenderOptions::CountFragments (render/FragmentCount.h): the fragments of the opaque
  // surfaces that passed the depth test, and the pixels they cover; 0 when not counted.
  std::int64_t Fragments = 0, CoveredPixels = 0;
  // With TRenderOptions::TimePasses (render/PassTimes.h): the processor time of each pass.
  TPassTimes PassTimes{};
};

// Where the frame's entity markers are built; kept between frames so that a frame allocates nothing
// once the largest set of markers has been seen.
struct TMarkerArrays {
  AGLNrf3 Quads, Lines;
  AGLbyt4 QuadColours, LineColours;
};

struct TRenderCache {
  // The batches of --fast, kept while the camera's cluster and the options stay (level/DrawLists.h).
  TDrawLists DrawLists;
  // Their order near to far (render/DrawOrder.h), kept while the eye stays near where it was made.
  TDrawOrder DrawOrder;
  // The stages' groups, values and per-frame buffers (--shaders).
  TShadedFrame Shaded;
  // The faces of the vertex pass gathered for one draw (--vertex-light).
  TVertexLitBatch VertexLit;
  // The brush models visible from the last camera cluster (--brush-models, level/Things.h).
  TVisibleBrushModels VisibleBrushModels;
  TMarkerArrays Markers;
  // The figures of the frame just drawn (--fast).
  TFastFrame Fast;
  // --portals (render/Portals.h): what each view drawn keeps (its own marks, groups and lists), the
  // frame's own marks while a view marks its camera's, and the views the frame drew.
  std::vector<TRenderCache> Portals;
  std::vector<std::int32_t> KeptMarks;
  std::int32_t PortalViewsDrawn = 0;
};
