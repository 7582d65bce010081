#include "app/cli/WalkOptions.h"

#include <cmath>
#include <stdexcept>
#include <vector>

namespace app {
namespace {

// X,Y,Z of finite numbers; raises std::invalid_argument.
TVector ParsePoint(const std::string& text) {
  const std::vector<float> v = ParseFloatList(text, 3);
  for (const float value : v)
    if (!std::isfinite(value)) throw std::invalid_argument("'" + text + "' holds a number that is not finite");
  return {v[0], v[1], v[2]};
}

}  // namespace

std::string ApplyWalkOptions(const TWalkOptionsGiven& given, TCommandLine& options) {
  if (given.Walk && options.Mode != TRunMode::Viewer) return "--walk applies to the viewer only";
  options.Walk = given.Walk;
  try {
    if (given.DropGiven) options.DropEye = ParsePoint(given.Drop);
  } catch (const std::invalid_argument& e) {
    return std::string("--drop: ") + e.what();
  }
  if (given.TraceGiven) {
    const std::size_t colon = given.Trace.find(':');
    if (colon == std::string::npos)
      return "--trace: '" + given.Trace + "' is not two eye positions X1,Y1,Z1:X2,Y2,Z2";
    try {
      options.TraceFrom = ParsePoint(given.Trace.substr(0, colon));
      options.TraceTo = ParsePoint(given.Trace.substr(colon + 1));
    } catch (const std::invalid_argument& e) {
      return std::string("--trace: ") + e.what();
    }
  }
  if (given.PathGiven) {
    if (given.Path.empty()) return "--walk-path needs a file name";
    options.WalkPathFile = given.Path;
    // The last view is drawn as --screenshot draws its picture.
    if (!options.ScreenshotPath.empty()) options.Frames = kDefaultScreenshotFrames;
  }
  return {};
}

}  // namespace app
