#pragma once
// The view modes of the renderer (TRenderOptions beyond the plain frame): faces coloured by
// surface image alone, by lightmap alone or by cluster, and the wireframe over the picture.
// RenderLevel calls these after marking; the plain frame never reaches them.
#include <array>
#include <cstdint>
#include <vector>

#include "level/Q3BSP.h"

// Draws the marked faces with the chosen colouring (anything but Plain) and counts them in
// VisibleFaceCount as the plain texture pass does. Leaves the GL state as the plain frame does.
void RenderColouredFaces(TQuake3BSP& level, TRenderOptions::TColouring colouring,
                         bool allSurfaces = false);

// Outlines of the marked polygon faces' triangles, in WireframeColour, over what is drawn; the
// lines pass the depth test where they lie on a drawn face and hide behind nearer ones.
void DrawWireframe(const TQuake3BSP& level, bool allSurfaces = false);

inline constexpr std::array<std::uint8_t, 3> WireframeColour{255, 255, 0};
// Faces no leaf with a cluster lists.
inline constexpr std::array<std::uint8_t, 3> NoClusterColour{96, 96, 96};

// A fixed, saturated colour per cluster: hues a golden angle apart, so neighbouring cluster
// numbers differ strongly. Negative clusters get NoClusterColour.
std::array<std::uint8_t, 3> ClusterColour(std::int32_t cluster);

// Per face, the cluster of the first leaf (in leaf order) that lists it; -1 when none does.
std::vector<std::int32_t> FaceClusters(const TQuake3BSP& level);
