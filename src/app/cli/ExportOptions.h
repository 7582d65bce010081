#pragma once
// --export and --export-scale on the command line. A mistake raises std::invalid_argument with the
// one-line text the command line prints.
#include <string>

#include "app/cli/CommandLine.h"

namespace app {

// Metres per level unit: at most this many keeps every level's coordinates well within a float.
inline constexpr float kMostExportScale = 1000;

// --export FILE, after the other runs were chosen (`otherRun`: one of them was).
void ApplyExportFile(const std::string& file, bool otherRun, TCommandLine& options);

// --export-scale METRES, once the run is known.
void ApplyExportScale(const std::string& metres, TCommandLine& options);

}  // namespace app
