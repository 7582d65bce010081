#pragma once
// The opt-in fidelity options (--shaders, --full, --surfaces, --tess) turned into the level's load
// and render options.
#include "app/CommandLine.h"
#include "level/Q3BSP.h"

namespace app {

// The load options of the command line. The shader scripts and images come from the base folder;
// a search path over archives plugs in here by setting ShaderSource.
TLevelOptions LevelOptionsFor(const TCommandLine& options);
TRenderOptions RenderOptionsFor(const TCommandLine& options);

}  // namespace app
