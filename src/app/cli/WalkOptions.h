#pragma once
// The options of walking: --walk for the viewer, and the runs that answer without a window:
// --drop X,Y,Z, --trace X1,Y1,Z1:X2,Y2,Z2 and --walk-path FILE.
#include <string>

#include "app/cli/CommandLine.h"

namespace app {

// What the command line gave for them, before any check.
struct TWalkOptionsGiven {
  bool Walk = false;
  bool DropGiven = false, TraceGiven = false, PathGiven = false;
  std::string Drop, Trace, Path;
};

// Checks their values against the run chosen (ChooseRun has already made --drop, --trace or
// --walk-path the run) and applies them; the one-line usage message when they do not fit, empty
// when they do.
std::string ApplyWalkOptions(const TWalkOptionsGiven& given, TCommandLine& options);

}  // namespace app
