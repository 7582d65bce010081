#pragma once
// --grid-light: items lit by the level's light grid (level/LightGrid.h) at the place they rest, each
// vertex by its normal: the ambient colour plus the directed colour times the cosine towards the
// light, at most 255 a channel.
#include <optional>

#include "level/Items.h"
#include "level/LightGrid.h"
#include "level/Q3BSP.h"
#include "level/Q3BSP_load.h"

// The grid of the loaded level over its world model's box, with the worldspawn's "gridsize"; nothing
// without a world model or with a lump that does not fit (a warning in Things.Warnings then).
std::optional<TLightGrid> LevelLightGrid(TQuake3BSP& level, const TLevelLoad& load);

// The colours of a vertex under the sample, by its normal.
std::array<std::uint8_t, 4> GridShadeColour(const TGridSample& sample, const TVector& normal);

// The shade AddItemInstance takes for an item lit by the sample.
TItemShade GridShade(const TGridSample& sample);
