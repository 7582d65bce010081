#pragma once
// Items as models (--full): their MD3 models and images read through the search path at load,
// and every frame the items the camera's cluster admits drawn, with markers for the items whose
// model was not found; and the markers of every point entity (--mode entities, F7).
#include <cstdint>
#include <string>
#include <vector>

#include "level/Q3BSP.h"
#include "level/Q3BSP_load.h"

// After the level model is complete (tree, leaves, places): each item entity's models read once
// per file (frame 0), their surfaces' images found through the skin "<model>_default.skin", else
// the surface's shader (the load's shader table) or its own image, and loaded once each; each item
// dropped to its resting place and added to Things.ItemModels. A model that cannot be read is a
// warning; its items become markers.
void LoadItemModels(TQuake3BSP& level, const TLevelLoad& load);

// The colour of a family's markers.
struct TMarkerColour {
  std::uint8_t R, G, B;
};
TMarkerColour FamilyColour(TEntityFamily family);

// After the level's passes: the items (options.Items) and the markers (options.Markers, or of the
// items without a model with options.Items), with the visibility the frame's faces had: nothing
// when the camera (or the frozen position) is in no leaf. Leaves the GL state as it found it but
// for the current colour, which is white again. Items drawn by their stages (render/ItemStages.h)
// take their coordinates from the eye at `eye`. The markers are built in `markers`.
struct TMarkerArrays;
void DrawLevelThings(TQuake3BSP& level, TMarkerArrays& markers, const TVector& position, const TRenderOptions& options,
                     const TVector& eye);
