#pragma once
// --list: the levels of the game data.
#include "app/runs/RunOptions.h"
#include "data/SearchPath.h"

namespace app {

// Every level (maps/*.bsp) of the search path with its size and where it comes from, sorted by
// name, as text or (--json) one JSON array; returns the exit code: 2 when there is no game data
// and the working folder holds no level either.
int PrintList(const TRunOptions& options, const data::TSearchPath& path);

}  // namespace app
