#pragma once
// From a parsed command line to a run: the base folder, the viewer's start-up options, and the
// modes that need nobody at the screen.
#include <iosfwd>

#include "app/CommandLine.h"
#include "app/viewer/frmMain.h"

namespace app {

// Makes the base folder the working directory, where the program looks up surface images,
// font.tga and lgmp/. A LEVEL and a screenshot file named on the command line stay relative to
// the folder the program was started in. False after a one-line message when the folder cannot
// be entered. Without --base nothing changes.
bool EnterBaseFolder(TCommandLine& options, std::ostream& err);

// Sets the modes from --mode, --freeze, --no-hud, --fov and --watch, and what kind of run it is.
void ApplyViewOptions(const TCommandLine& options);

// The viewer's start-up: the fixed settings, changed only where an option says so.
TStartupOptions StartupOptionsFor(const TCommandLine& options);

// "--verbose": images found and missing, lightmaps and load times of the level, on standard
// error. `totalMs` is the whole LoadBSP call.
void PrintLoadSummary(const TQuake3BSP& level, double totalMs);
// Its lines about curved surfaces (nothing after a plain load): each warning, and what
// tessellation made of them.
void PrintSurfaceSummary(const TSurfaceSummary& surfaces, double tessellationMs);

// The interactive viewer for the command line (after InitOpenGLEntryPoints); returns the exit code.
int RunViewerFor(const TCommandLine& options);

// --info, --at, --screenshot or --benchmark, with the loaders' messages on standard error (there
// is nobody to close a box). Returns the exit code.
int RunHeadless(const TCommandLine& options);

// The whole run for --screenshot; returns the exit code.
int RunScreenshot(const TCommandLine& options);

}  // namespace app
