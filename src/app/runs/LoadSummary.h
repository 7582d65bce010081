#pragma once
// What --verbose prints about a load on standard error, for the viewer and the runs alike.
#include "level/Q3BSP.h"

namespace app {

// Images found and missing, lightmaps and load times of the level. `totalMs` is the whole LoadBSP
// call.
void PrintLoadSummary(const TQuake3BSP& level, double totalMs);
// Its lines about curved surfaces (nothing after a plain load): each warning, and what
// tessellation made of them.
void PrintSurfaceSummary(const TSurfaceSummary& surfaces, double tessellationMs);

// After a load with shaders: each script problem, then the counts and the totals
// TexturesWithoutImage and FacesWithoutImage. Nothing for a plain load.
void PrintShadingSummary(const TQuake3BSP& level);

// How much of each budget of the run the load used (nothing without a budget).
void PrintBudgetSummary(const platform::TBudget* budget);

// With --fast, when the GL lacks two texture units: one line naming what is missing and that the
// frames are drawn in two passes. Nothing when the one pass can be drawn. Needs the context.
void PrintFastSummary();

}  // namespace app
