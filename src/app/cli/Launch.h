#pragma once
// From a parsed command line to a run: the base folder, the viewer's start-up options, and the
// modes that need nobody at the screen.
#include <iosfwd>

#include "app/cli/CommandLine.h"
#include "app/viewer/frmMain.h"

namespace app {

// Makes the base folder the working directory, where the program looks up surface images,
// font.tga and lgmp/. A LEVEL and a screenshot file named on the command line stay relative to
// the folder the program was started in. False after a one-line message when the folder cannot
// be entered. Without --base nothing changes.
bool EnterBaseFolder(TCommandLine& options, std::ostream& err);

// Sets the viewer's state at the start (options.Viewer) from --mode, --freeze, --no-hud, --fov and
// --watch, and what kind of run it is.
void ApplyViewOptions(TCommandLine& options);

// The viewer's start-up: the fixed settings, changed only where an option says so.
TStartupOptions StartupOptionsFor(const TCommandLine& options);

// The interactive viewer for the command line (after InitOpenGLEntryPoints); returns the exit code.
int RunViewerFor(const TCommandLine& options);

// --info, --at, --screenshot, --benchmark, --overview, --list, --entities or --export
// (app/runs/HeadlessRuns.h), with the load and render options worked out from the command line
// first. Returns the exit code.
int RunHeadlessFor(TCommandLine& options);

}  // namespace app
