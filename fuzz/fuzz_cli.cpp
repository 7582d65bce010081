// The command line's own readers over arbitrary input. First byte even: the rest is a level file
// for the level checks, --info's statistics, --at's queries and the benchmark's flight (texture
// names are looked up as files, which only asks whether they exist). Odd: the rest is a command
// line, arguments separated by NUL bytes. Nothing may crash or read outside a buffer; refusals
// are the readers' own exceptions or exit codes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"
#include "app/runs/Benchmark.h"
#include "app/runs/LevelReport.h"
#include "app/runs/PositionReport.h"
#include "level/BSPFile.h"
#include "level/LevelFile.h"
#include "level/SpawnPoints.h"

namespace {

void LevelReports(const std::uint8_t* data, std::size_t size) {
  try {
    const TLevelFile file("fuzz.bsp", std::vector<std::uint8_t>(data, data + size));
    const std::vector<TSpawnPoint> spawns = LevelSpawnPoints(file);
    file.TextureNames();
    const TBSPFile records = ParseBSP(file.Data());
    const app::TLevelInfo info = app::GatherLevelInfo(file, records);
    app::LevelInfoText(info);
    app::LevelInfoJson(info);
    TQuake3BSP level = app::VisibilityModel(records);
    std::vector<TVector> points{{0, 0, 0}, {NAN, 1, -1}, {INFINITY, -INFINITY, 0}};
    for (const TSpawnPoint& spawn : spawns) points.push_back(spawn.Origin);
    for (const TVector& point : points) app::ReportAt(level, point);
    app::FlightPath(points, 7);
    app::FlightPath(app::LeafWaypoints(level, 16), 5);
  } catch (const std::exception&) {
    // ELevelFile, EBSPFormatError and the reader's "Read beyond end of file" are the refusals.
  }
}

void CommandLine(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args{"bspwalk"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  args.push_back(current);
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out, err;
  const app::TParseResult result =
      app::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  if (!result.Options && result.ExitCode != 0 && result.ExitCode != 2) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] % 2 == 0)
    LevelReports(data + 1, size - 1);
  else
    CommandLine(data + 1, size - 1);
  return 0;
}
