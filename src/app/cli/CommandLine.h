#pragma once
// The program's command line. With no arguments the viewer starts exactly as it always has (the
// fixed level path, full screen at 1024 x 768); the options below open it to other levels and
// to runs without anybody at the keyboard: level statistics, visibility queries, screenshots and
// a benchmark flight.
#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/runs/RunOptions.h"

namespace app {

// The parsed command line is the options of the run it asks for (app/runs/RunOptions.h).
using TCommandLine = TRunOptions;

// --full: every opt-in fidelity option at once. The one place that lists them.
void ApplyFullFidelity(TCommandLine& options);


// Whether the line asks for --fast: its own value when given (--fast, --fast=off), else --full's.
bool FastAsked(bool given, bool value, bool full);

// The --at values in order: X,Y,Z, or with --fast also X,Y,Z,YAW,PITCH (the direction the faces
// drawn after culling are counted for; level along +Y when not given). Raises
// std::invalid_argument naming the first that is wrong.
void AddAtPositions(const std::vector<std::string>& texts, bool fast, TCommandLine& options);

// Bounds of --fov, in degrees (both excluded values would make no picture).
inline constexpr double kLeastFov = 1, kMostFov = 179;
// --tess takes 1 to this many segments.
inline constexpr int kMostTessellationSegments = kMostTessellation;

// Frames drawn when --frames is not given: a screenshot needs the second frame (the first one is
// drawn before the heads-up text has switched the alpha test on); a benchmark wants enough frames
// for stable percentiles.
inline constexpr int kDefaultScreenshotFrames = 2;
inline constexpr int kDefaultBenchmarkFrames = 300;

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

// A picture's name must end in ".png" (any letter case): a level or any other file named by a
// slip of the keyboard is never taken for the picture to write.
bool IsPictureName(const std::string& path);

// "WxH" with both sides from 1 to 8192; raises std::invalid_argument.
TWindowSize ParseSize(const std::string& text);

}  // namespace app
