#pragma once
// The draw lists of --fast: the faces a frame admits, grouped by (surface image, lightmap) pair into
// one set of arrays per pair, with a bounding box per face and per pair for culling. They depend on
// the camera's cluster (and the options) alone, so a frame keeps them while those stay and builds
// them again once when they change. No GL: the renderer hands the arrays over as they are.
#include <cstdint>
#include <vector>

#include "genom/genom.h"

struct TQuake3BSP;
struct TRenderOptions;

// An axis-aligned box; Min above Max on some axis means empty (a face without vertices).
struct TBox {
  TVector Min{1, 1, 1}, Max{-1, -1, -1};
  bool Empty() const { return Min.X > Max.X || Min.Y > Max.Y || Min.Z > Max.Z; }
  void Add(const TVector& p);
  void Add(const TBox& box);
};

// A face of more vertices or indices than these (a finely tessellated curved surface) is not
// copied into its batch but drawn from its own arrays, as the --shaders frame draws it: the lists
// then hold at most a copy of the level's small faces.
inline constexpr std::size_t kLargeFaceVertices = 1024, kLargeFaceIndices = 3072;

// One face's triangles in its batch: the run Indices[First .. First + Count) and its box; for a
// large face First is the face's index and Count 0. A polygon face (planar) also has the normal of
// its largest triangle as wound (not normalised; zero for any other face) and that triangle's first
// corner, which tell from which side the GL sees its front.
struct TFaceRun {
  TBox Box;
  std::uint32_t First = 0, Count = 0;
  TVector Winding{}, Corner{};
};

// The admitted faces of one (surface texture, lightmap) pair, built in ascending face order (--fast
// then puts them near to far, render/DrawOrder.h).
struct TDrawBatch {
  std::int32_t Texture = 0;    // index into SurfaceTextures (and Shading.States)
  std::int32_t Lightmap = -1;  // index into LightmapTextures; -1: drawn without a lightmap
  AGLNrf3 Positions;
  AGLNrf2 Coords, LightmapCoords;
  std::vector<std::uint32_t> Indices;
  std::vector<TFaceRun> Faces;
  std::vector<TFaceRun> LargeFaces;  // drawn from their own arrays, after the others
  TBox Box;
  // What this frame's culling left of the batch: nothing, part (the runs of the faces in view,
  // gathered in InView, which is kept so that a frame allocates nothing once the largest has been
  // seen) or all of it.
  enum class TInView : std::uint8_t { None, Part, All } View = TInView::All;
  std::vector<std::uint32_t> InView;
  std::vector<std::uint8_t> LargeInView;  // per large face, 1 when in view
  std::int32_t FacesInView = 0;           // small and large
};

// What the lists were built for: the admitted set depends on the cluster the faces were marked
// from (or on every face being marked) and on whether brush models are marked, and the selection
// on the surface set and the shading.
struct TDrawListKey {
  std::int32_t Cluster = 0;
  bool AllFaces = false, AllSurfaces = false, Shaded = false, BrushModels = false;
  bool operator==(const TDrawListKey&) const = default;
};

struct TDrawLists {
  bool Built = false;
  TDrawListKey Key;
  std::vector<TDrawBatch> Batches;  // by texture, then lightmap; only pairs with admitted faces
  // What the two passes would count for the same marks (VisibleFaceCount), and the faces in the
  // batches.
  std::int32_t VisibleFaces = 0, BatchedFaces = 0;
  // Marked faces of drawn blended textures (--shaders), which the batches leave to their own pass.
  std::int32_t BlendedFaces = 0;
  std::int32_t Builds = 0;  // how often the lists were built since the level loaded
};

// The key for a frame marked from `markedFrom` with these options. The cluster is that of the leaf
// holding the position; a position in no leaf has a cluster of its own (nothing is marked).
TDrawListKey DrawListKey(const TQuake3BSP& level, const TVector& markedFrom, const TRenderOptions& options);

// Builds the lists from the level's current FaceVisible marks: every marked face of a texture group
// that the frame draws opaque, with its lightmap when the pass would give it one. With the shading
// of --shaders, only textures whose stages fold into one pass (TStagePlan::OnePass) are batched;
// the others are left out (they count, as in the two passes).
void BuildDrawLists(TDrawLists& lists, const TQuake3BSP& level, const TDrawListKey& key);
