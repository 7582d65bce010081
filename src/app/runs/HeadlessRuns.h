#pragma once
// The runs that need nobody at the screen: --info, --at, --screenshot, --benchmark, --overview,
// --entities and --export, each on a loaded level and without a window (and --list, on none).
#include "app/runs/RunOptions.h"

namespace app {

// The run of options.Mode, with the loaders' messages on standard error (there is nobody to close
// a box). Returns the exit code.
int RunHeadless(const TRunOptions& options);

// The whole run for --screenshot; returns the exit code.
int RunScreenshot(const TRunOptions& options);

}  // namespace app
