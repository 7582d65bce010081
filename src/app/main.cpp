// bspwalk: fly through a Quake 3 level. W, S, A, D and the mouse fly; Esc quits.
// Without arguments it is the viewer as it always was: the fixed level, full screen. The command
// line adds other levels, a window, a start pose, and modes that need nobody at the screen.
#include <cstdlib>
#include <iostream>

#include "app/cli/CommandLine.h"
#include "app/cli/GameData.h"
#include "app/cli/Launch.h"
#include "gl/OpenGL.h"
#include "window/MessageBox.h"

int main(int argc, char* argv[]) {
  // The program's messages are boxes; the libraries alone write them to standard error.
  platform::UseMessageBoxes();
  app::TParseResult parsed = app::ParseCommandLine(argc, argv, std::cout, std::cerr);
  if (!parsed.Options) return parsed.ExitCode;
  app::TCommandLine& options = *parsed.Options;
  // The run without arguments is the fixed one, whatever the environment holds.
  if (argc > 1 && !app::AddEnvironmentData(options, std::getenv("BSPWALK_DATA"), std::cerr))
    return 2;
  if (!app::EnterBaseFolder(options, std::cerr)) return 2;
  app::ApplyViewOptions(options);
  if (options.Mode == app::TRunMode::Viewer) InitOpenGLEntryPoints();
  if (app::UsesGameData(options)) return app::RunWithGameData(options);
  if (options.Mode != app::TRunMode::Viewer) return app::RunHeadlessFor(options);
  return app::RunViewerFor(options);
}
