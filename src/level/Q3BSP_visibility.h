#pragma once
// The visibility pass that RenderLevel runs before drawing, exposed for the tests and benchmarks.
#include "level/Q3BSP.h"

// What FindLeaf returns when there is no leaf to find: the level has no nodes, or its tree would
// lead outside Nodes or Planes, or back to a node already visited.
inline constexpr std::int32_t NoLeaf = -1;

// Sets FaceVisible to -1 for every face listed by a leaf whose cluster the camera's cluster may
// see. Never clears a flag: the caller clears FaceVisible first. Marks nothing when the position
// lies in no leaf. Leaf-face runs and face indices outside their arrays are skipped, so a level
// built in memory cannot make it write or read out of bounds (LoadBSP refuses such files).
void MarkVisibleFaces(TQuake3BSP& level, const TVector& cameraPosition);
