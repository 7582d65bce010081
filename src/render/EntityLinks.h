#pragma once
// The entity view's lines and volumes: the target links as lines with an arrowhead at the named
// entity, and the trigger volumes as translucent boxes with their edges. Both read what the load
// found (level/EntityLinks.h) and build their vertices in the render cache's marker arrays.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "level/Q3BSP.h"
#include "render/RenderCache.h"

// The colour of the links, and the opacity of a trigger box's sides (of 255).
inline constexpr std::array<std::uint8_t, 4> kLinkColour{255, 255, 255, 255};
inline constexpr std::uint8_t kTriggerOpacity = 72;

// The marks' lines (the arrays' Lines and LineColours, with the vertex and colour arrays on), two
// pixels wide; then the line width put back to lineWidthWas and the colour array switched off.
void DrawMarkerLines(const TMarkerArrays& arrays, float lineWidthWas);

// Every link (`only` empty), or the links into and out of the place `only`. `overWalls`: drawn
// over everything, depth ignored, so that an inspected entity's links show where they lead behind
// walls. Draws nothing without links. Leaves the GL state as it found it.
void DrawEntityLinks(const TQuake3BSP& level, TMarkerArrays& arrays, std::optional<std::size_t> only, bool overWalls);

// Every trigger box: its sides in the triggers' colour, blended over the picture without writing
// depth, and its edges opaque. Leaves the GL state as it found it.
void DrawTriggerBoxes(const TQuake3BSP& level, TMarkerArrays& arrays);
