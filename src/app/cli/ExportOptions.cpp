#include "app/cli/ExportOptions.h"

#include <stdexcept>
#include <vector>

#include "app/runs/GltfWriter.h"
#include "app/runs/WebPage.h"

namespace app {

void ApplyExportFile(const std::string& file, bool otherRun, TCommandLine& options) {
  if (otherRun)
    throw std::invalid_argument(
        "--export cannot be combined with --info, --at, --screenshot, --benchmark, --list or --overview");
  if (file.empty()) throw std::invalid_argument("--export needs a file name");
  if (!IsGltfName(file) && !IsPageName(file))
    throw std::invalid_argument("--export: '" + file + "' does not end in .glb, .gltf or .html");
  options.Mode = TRunMode::Export;
  options.ExportPath = file;
}

void ApplyExportScale(const std::string& metres, TCommandLine& options) {
  if (options.Mode != TRunMode::Export) throw std::invalid_argument("--export-scale applies to --export only");
  float value = 0;
  try {
    value = ParseFloatList(metres, 1).front();
  } catch (const std::invalid_argument&) {
    // Told as any other value out of range.
  }
  if (!(value > 0 && value <= kMostExportScale))
    throw std::invalid_argument("--export-scale: '" + metres + "' is not a number above 0 and at most 1000 (metres)");
  options.ExportScale = value;
}

}  // namespace app
