#pragma once
// A private X server for tests that need a real display, and what the tests ask of it: shell tools
// run against it and the windows it holds.
#include <sys/types.h>

#include <string>

namespace testsupport {

class TXvfbServer {
 public:
  // Starts Xvfb with one screen of width x height at depth 24 and waits until it accepts
  // clients. Raises std::runtime_error when it cannot be started. In sanitizer builds it also
  // keeps Mesa's GL driver loaded in this process (see KeepGLDriverLoaded).
  TXvfbServer(int width, int height);
  ~TXvfbServer();
  TXvfbServer(const TXvfbServer&) = delete;
  TXvfbServer& operator=(const TXvfbServer&) = delete;

  // ":N", for DISPLAY.
  const std::string& Display() const { return Name; }

 private:
  pid_t Pid = -1;
  std::string Name;
};

// Sets DISPLAY while it lives.
class TScopedDisplay {
 public:
  explicit TScopedDisplay(const std::string& display);
  ~TScopedDisplay();
  TScopedDisplay(const TScopedDisplay&) = delete;
  TScopedDisplay& operator=(const TScopedDisplay&) = delete;

 private:
  std::string Previous;
  bool HadPrevious = false;
};

// Mesa unloads its X11 software driver (swrast_dri and the libraries it pulls in) when a display
// closes; a leak checker reporting at exit can then neither name nor suppress the driver's own
// allocations. Loaded before any display opens and never unloaded, the driver keeps its names.
// Only sanitizer builds check leaks: elsewhere nothing is done and nothing is preloaded.
void KeepGLDriverLoaded();
// The same for a program started from a test: "LD_PRELOAD=<driver>", or empty.
std::string GLDriverPreload();

// Runs a shell command with DISPLAY set and returns its standard output.
std::string Shell(const std::string& display, const std::string& command);

// The id of the window with exactly this title, as xwininfo lists it (mapped or not); empty if
// there is none.
std::string WindowId(const std::string& display, const std::string& title);

// What a window asks of the window manager, as its properties say.
struct TWindowManagerHints {
  bool Decorated = true;  // title bar and border (no Motif hint saying otherwise)
  bool Above = false;     // kept above other windows
  std::string Properties; // all of them, as xprop prints them
};

// A window manager makes the atom of the Motif decoration hints known, and SDL states a window's
// decorations only when it is. A bare Xvfb has none: this makes it known, for windows made later.
void DeclareDecorationHints(const std::string& display);

TWindowManagerHints ReadWindowManagerHints(const std::string& display, const std::string& window);

}  // namespace testsupport
