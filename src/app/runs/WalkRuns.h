#pragma once
// The answers about walking that need no window: --drop, --trace and --walk-path (whose last
// view --screenshot saves), as text or with --json as JSON.
#include "app/runs/RunOptions.h"

namespace app {

// Each returns the exit code: 0, or 1 after a one-line message on standard error (a level that
// cannot be read, a start inside solid, a player that never comes to rest, a path file refused).
int RunDrop(const TRunOptions& options);
int RunTrace(const TRunOptions& options);
int RunWalkPath(const TRunOptions& options);

}  // namespace app
