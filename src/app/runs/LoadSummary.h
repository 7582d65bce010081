#pragma once
// What --verbose prints about a load on standard error, for the viewer and the runs alike.
#include "app/runs/RunOptions.h"
#include "level/Q3BSP.h"

namespace app {

// The parts of the whole summary a run asks for (VerbosePartsOf: --shaders, --fast, --brush-models
// or the items, the run's budget).
struct TVerboseParts {
  bool Shaders = false, Fast = false, Things = false;
  const platform::TBudget* Budget = nullptr;
  // The runs without a screen print the --fast line before the things' lines, the viewer after.
  bool FastBeforeThings = true;
};
TVerboseParts VerbosePartsOf(const TRunOptions& options);

// The whole --verbose summary after a load, in one order for every run: the load, the shaders,
// the budgets, then the things and --fast's line in the order `parts` says. `loadMs` is the load's
// time as PrintLoadSummary takes it.
void PrintVerboseSummary(const TQuake3BSP& level, double loadMs, const TVerboseParts& parts);

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
