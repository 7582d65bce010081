#pragma once
// The opt-in fidelity options (--shaders, --full, --surfaces, --tess, --time) turned into the level's load
// and render options.
#include "app/cli/CommandLine.h"
#include "level/Q3BSP.h"

namespace app {

// The load options of the command line: options.LevelOptions (the game data's part, when the run
// reads game data) with the fidelity options. Without game data the shader scripts and images come
// from the base folder.
TLevelOptions LevelOptionsFor(const TCommandLine& options);
TRenderOptions RenderOptionsFor(const TCommandLine& options);

// --time SECONDS into options.Time: with --shaders and a run that draws pictures without anybody
// watching only, 0 to 1e6. Raises std::invalid_argument with the usage error's text.
void ApplyTime(const std::string& text, TCommandLine& options);

// --light design|game into options.GameLight (after --full, which it may take back); marks the
// mode as asked so that --info names it. Raises std::invalid_argument with the usage error's text.
void ApplyLight(const std::string& text, TCommandLine& options);

}  // namespace app
