#pragma once
// How a --fast frame splits between its passes, for the benchmark (--benchmark --json with --fast):
// the GL is finished at every boundary and the processor time of the whole process (the driver's
// render threads included) since the previous boundary goes to the pass just drawn. Only a frame
// whose options ask for it (TRenderOptions::TimePasses) makes a call more than before: finishing
// the GL between passes costs the overlap a frame otherwise has, so such frames are not timed as
// frames.
#include <array>
#include <cstdint>

struct TRenderOptions;

enum class TFramePass : std::uint8_t {
  Visibility,  // the processor's share before the first draw: faces marked, stages brought up to date
  OnePass,  // the opaque batches, image and lightmap in one pass
  Stages,   // the opaque surfaces drawn stage by stage (--shaders), the vertex-lit faces with them
  Sky,
  Fog,      // the level's fog and the fog volumes
  Blended,  // the blended surfaces, then the billboards
  Things,   // items, markers, wireframe
};
inline constexpr std::size_t kFramePassCount = 7;

// The names the benchmark's JSON gives the passes, in TFramePass order.
extern const std::array<const char*, kFramePassCount> kFramePassNames;

struct TPassTimes {
  bool Timing = false;
  double Last = 0;                               // processor seconds at the previous boundary
  std::array<double, kFramePassCount> Ms{};      // processor milliseconds per pass
};

// Finishes the GL and starts the clock when the options ask for it (with Fast); otherwise leaves
// `times` off, and MarkPass then does nothing.
void StartPassTimes(const TRenderOptions& options, TPassTimes& times);
// Finishes the GL and adds the processor time since the previous boundary to `pass`.
void MarkPass(TPassTimes& times, TFramePass pass);
