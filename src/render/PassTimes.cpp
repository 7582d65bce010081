#include "render/PassTimes.h"

#include <ctime>

#include "gl/OpenGL.h"
#include "level/Q3BSP.h"

const std::array<const char*, kFramePassCount> kFramePassNames = {"visibility", "one_pass", "stages", "sky",
                                                                  "fog",        "blended",  "things"};

namespace {

// std::clock is the process's processor time on the systems this runs on: a frame on a machine
// shared with other work is then measured by what it costs, not by how long it waited.
double ProcessorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

void StartPassTimes(const TRenderOptions& options, TPassTimes& times) {
  times = {};
  if (!options.Fast || !options.TimePasses) return;
  OpenGL.glFinish();
  times.Timing = true;
  times.Last = ProcessorSeconds();
}

void MarkPass(TPassTimes& times, TFramePass pass) {
  if (!times.Timing) return;
  OpenGL.glFinish();
  const double now = ProcessorSeconds();
  times.Ms[static_cast<std::size_t>(pass)] += (now - times.Last) * 1000.0;
  times.Last = now;
}
