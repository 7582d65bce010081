#pragma once
// The program's command line. With no arguments the viewer starts exactly as it always has (the
// fixed level path, full screen at 1024 x 768); the options below open it to other levels and
// to runs without anybody at the keyboard: level statistics, visibility queries, screenshots and
// a benchmark flight.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "genom/genom.h"

namespace app {

// The level path of a run without a LEVEL argument.
inline constexpr const char* kDefaultLevelPath = "maps\\testmap.BSP";

enum class TRunMode {
  Viewer,      // the interactive walk-through
  Info,        // --info: level statistics, no window
  At,          // --at: leaf, cluster and visible faces at positions, no window
  Screenshot,  // --screenshot: draw a few frames, save the last as PNG
  Benchmark,   // --benchmark: a timed flight through the level
  List,        // --list: the levels of the game data
  Overview,    // --overview: a top-down picture of the whole level as PNG
};

struct TCameraPose {
  float X, Y, Z, Yaw, Pitch;
};

struct TWindowSize {
  int Width, Height;
};

struct TCommandLine {
  TRunMode Mode = TRunMode::Viewer;
  std::string LevelPath = kDefaultLevelPath;
  bool LevelGiven = false;             // LEVEL was on the command line
  std::string BaseDir;                 // --base; empty: the working directory
  bool Windowed = false;               // --windowed, or implied by --size
  std::optional<TWindowSize> Size;     // --size
  std::optional<TCameraPose> Camera;   // --camera
  std::string ScreenshotPath;          // --screenshot
  int Frames = 0;                      // --frames, or the mode's default
  bool Json = false;                   // --json
  bool Verbose = false;                // --verbose
  std::vector<TVector> AtPositions;    // --at, in command-line order
  bool Shaders = false;                // --shaders, or --full
  bool FrameTimes = false;             // --frame-times
  // View modes and tools (app/ViewModes.h).
  std::string ModeList;                // --mode, checked: textures,lightmaps,wireframe,clusters
  std::optional<TVector> Freeze;       // --freeze
  bool NoHud = false;                  // --no-hud
  double FovDegrees = 80;              // --fov
  bool Watch = false;                  // --watch
  std::string OverviewPath;            // --overview
  bool AllSurfaces = false;            // --surfaces all: curved surfaces and meshes drawn too
  int Tessellation = 8;                // --tess: segments per side of a curved-surface piece
  std::vector<std::string> DataPaths;  // --data, absolute, in command-line order
  std::optional<int> Spawn;            // --spawn: 1-based spawn point to start at
  // Not an option: set for runs with LEVEL or game data, where lgmp/ may be missing (the lightmaps
  // are then used without writing their images).
  bool LightmapFilesOptional = false;
};

// --full: every opt-in fidelity option at once. The one place that lists them.
void ApplyFullFidelity(TCommandLine& options);


// Bounds of --fov, in degrees (both excluded values would make no picture).
inline constexpr double kLeastFov = 1, kMostFov = 179;
// --tess takes 1 to this many segments.
inline constexpr int kMostTessellationSegments = 64;

// Frames drawn when --frames is not given: a screenshot needs the second frame (the first one is
// drawn before the heads-up text has switched the alpha test on); a benchmark wants enough frames
// for stable percentiles.
inline constexpr int kDefaultScreenshotFrames = 2;
inline constexpr int kDefaultBenchmarkFrames = 300;

// The size that --screenshot and --benchmark draw at, and a --windowed window's, unless --size.
inline constexpr TWindowSize kDefaultSize{1024, 768};

struct TParseResult {
  std::optional<TCommandLine> Options;  // set when the program should go on and run
  int ExitCode = 0;                     // otherwise: 0 after --help/--version, 2 on a usage error
};

// Parses the arguments (argv[0] is the program name). --help and --version print to `out`; a
// usage error prints one line naming the problem to `err`.
TParseResult ParseCommandLine(int argc, const char* const argv[], std::ostream& out,
                              std::ostream& err);

// "X,Y,Z" or "X,Y,Z,YAW,PITCH" style lists of 32-bit floats; accepts exponents, "nan" and "inf".
// Raises std::invalid_argument naming what is wrong.
std::vector<float> ParseFloatList(const std::string& text, std::size_t expectedCount);

// "WxH" with both sides from 1 to 8192; raises std::invalid_argument.
TWindowSize ParseSize(const std::string& text);

}  // namespace app
