#pragma once
// The opt-in fidelity options (--shaders, --full) turned into the level's load and render options,
// and what --verbose prints about them.
#include "app/CommandLine.h"
#include "level/Q3BSP.h"

namespace app {

// The load options of the command line. The shader scripts and images come from the base folder;
// a search path over archives plugs in here by setting ShaderSource.
TLevelOptions LevelOptionsFor(const TCommandLine& options);
TRenderOptions RenderOptionsFor(const TCommandLine& options);

// For --verbose after a load with shaders: each script problem, then the counts and the totals
// TexturesWithoutImage and FacesWithoutImage, on standard error. Nothing for a plain load.
void PrintShadingSummary(const TQuake3BSP& level);

}  // namespace app
