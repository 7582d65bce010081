// --drop, --trace and --walk-path: the level read for walking (physics/WalkLevel.h), the player
// moved, and what happened printed.
#include "app/runs/WalkRuns.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "app/runs/HeadlessRuns.h"
#include "app/runs/Json.h"
#include "app/runs/LevelFile.h"
#include "physics/VectorMath.h"
#include "physics/WalkLevel.h"

namespace app {
namespace {

using physics::operator+;
using physics::operator-;
using physics::TPlayer;
using physics::TWalkLevel;

// How long a dropped player may fall before the run gives up on it (it left the level).
constexpr float kMostFallSeconds = 30;
// A walk-path file is a few lines; a bigger one is refused before it is read.
constexpr std::streamoff kMostPathBytes = 1 << 20;

// 3 decimals at most, without trailing zeros: 74.125, 50, -3.5.
std::string Number(float value) {
  if (!std::isfinite(value)) return "nan";
  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(3);
  out << (std::fabs(value) < 0.0005f ? 0.0f : value);
  std::string text = out.str();
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}

std::string Numbers(const TVector& v) { return Number(v.X) + " " + Number(v.Y) + " " + Number(v.Z); }

TJson JsonVector(const TVector& v) { return TJson::array({JsonRounded(v.X), JsonRounded(v.Y), JsonRounded(v.Z)}); }

std::optional<TWalkLevel> ReadLevel(const TRunOptions& options) {
  const std::optional<TLevelFile> file = OpenLevelFile(options.LevelPath, options.LevelBytes);
  if (!file) return std::nullopt;
  try {
    return physics::ReadWalkLevel(*file);
  } catch (const std::exception& e) {
    std::cerr << "bspwalk: " << options.LevelPath << ": not a usable BSP file: " << e.what() << "\n";
  }
  return std::nullopt;
}

std::string SurfaceText(const TWalkLevel& level, std::int32_t texture, std::int32_t contents) {
  const std::string name = level.World.TextureName(texture);
  return (name.empty() ? "(no texture)" : name) + " (" + physics::ContentsText(contents) + ")";
}

// The one line told when the player's box starts inside the level's solid; nothing when it is free.
std::optional<std::string> InsideSolid(const TWalkLevel& level, const TPlayer& player, const std::string& what) {
  const physics::TTrace trace = level.World.Trace(player.Origin, player.Origin, physics::BodyBox(player));
  if (!trace.StartSolid) return std::nullopt;
  return what + " " + Numbers(physics::EyeOf(player)) + " is inside solid: the player's box there overlaps a brush (" +
         physics::ContentsText(trace.Contents) + ")";
}

}  // namespace

int RunDrop(const TRunOptions& options) {
  const std::optional<TWalkLevel> level = ReadLevel(options);
  if (!level) return 1;
  TPlayer player = physics::PlayerAtEye(options.DropEye);
  if (const std::optional<std::string> solid = InsideSolid(*level, player, "the start")) {
    std::cerr << "bspwalk: " << *solid << "\n";
    return 1;
  }
  physics::TStepReport report;
  if (!physics::SettlePlayer(*level, player, kMostFallSeconds, report)) {
    std::cerr << "bspwalk: the player dropped at " << Numbers(options.DropEye)
              << " did not come to rest within 30 s (at " << Numbers(physics::EyeOf(player))
              << "): it may have fallen out of the level\n";
    return 1;
  }
  const TVector eye = physics::EyeOf(player);
  const float fell = options.DropEye.Z - eye.Z;
  const bool ground = player.OnGround;
  const std::string name = ground ? level->World.TextureName(player.Ground.Texture) : "";
  if (options.Json) {
    TJson json;
    json["Start"] = JsonVector(options.DropEye);
    json["Eye"] = JsonVector(eye);
    json["Fell"] = JsonRounded(fell);
    json["Ground"] = ground ? JsonText(name) : TJson("water");
    json["Contents"] = physics::ContentsText(ground ? player.Ground.Contents : physics::kContentsWater);
    std::cout << JsonLine(json);
    return 0;
  }
  std::cout << "start " << Numbers(options.DropEye) << "\neye " << Numbers(eye) << "\nfell " << Number(fell)
            << "\nground "
            << (ground ? SurfaceText(*level, player.Ground.Texture, player.Ground.Contents) : "none: floating in water")
            << "\n";
  return 0;
}

int RunTrace(const TRunOptions& options) {
  const std::optional<TWalkLevel> level = ReadLevel(options);
  if (!level) return 1;
  const TPlayer start = physics::PlayerAtEye(options.TraceFrom);
  if (const std::optional<std::string> solid = InsideSolid(*level, start, "the start")) {
    std::cerr << "bspwalk: " << *solid << "\n";
    return 1;
  }
  const TVector lift{0, 0, physics::kStandingEye};
  const physics::TTrace trace =
      level->World.Trace(start.Origin, options.TraceTo - lift, physics::kStandingBox);
  const bool hit = trace.Fraction < 1;
  const TVector stopped = trace.End + lift;
  if (options.Json) {
    TJson json;
    json["Start"] = JsonVector(options.TraceFrom);
    json["End"] = JsonVector(options.TraceTo);
    json["Fraction"] = JsonRounded(trace.Fraction, 4);
    json["Stopped"] = JsonVector(stopped);
    json["Plane"] = hit ? TJson{{"Normal", JsonVector(trace.Plane.Normal)}, {"Distance", JsonRounded(trace.Plane.Distance)}}
                        : TJson(nullptr);
    json["Surface"] = hit ? JsonText(level->World.TextureName(trace.Texture)) : TJson(nullptr);
    json["Contents"] = hit ? TJson(physics::ContentsText(trace.Contents)) : TJson(nullptr);
    std::cout << JsonLine(json);
    return 0;
  }
  std::cout << "fraction " << Number(trace.Fraction) << "\nstopped " << Numbers(stopped) << "\n";
  if (!hit) {
    std::cout << "nothing hit\n";
    return 0;
  }
  std::cout << "plane " << Numbers(trace.Plane.Normal) << " distance " << Number(trace.Plane.Distance)
            << "\nsurface " << SurfaceText(*level, trace.Texture, trace.Contents) << "\n";
  return 0;
}

namespace {

std::optional<std::vector<physics::TWalkMove>> ReadPath(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(0, std::ios::end);
  const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
  if (size < 0) {
    std::cerr << "bspwalk: --walk-path " << path << ": cannot be read\n";
    return std::nullopt;
  }
  if (size > kMostPathBytes) {
    std::cerr << "bspwalk: --walk-path " << path << ": larger than 1 MB, no walk path\n";
    return std::nullopt;
  }
  in.seekg(0);
  std::string text(static_cast<std::size_t>(size), '\0');
  in.read(text.data(), size);
  try {
    return physics::ParseWalkPath(text);
  } catch (const std::invalid_argument& e) {
    std::cerr << "bspwalk: --walk-path " << path << ": " << e.what() << "\n";
  }
  return std::nullopt;
}

}  // namespace

int RunWalkPath(const TRunOptions& options) {
  const std::optional<std::vector<physics::TWalkMove>> moves = ReadPath(options.WalkPathFile);
  if (!moves) return 1;
  if (!options.Camera) {
    std::cerr << "bspwalk: " << options.LevelPath << ": the level has no spawn point to start from: give --camera\n";
    return 1;
  }
  const std::optional<TWalkLevel> level = ReadLevel(options);
  if (!level) return 1;
  // The camera turns from +Y towards +X; the player's heading from +X towards +Y.
  TPlayer player = physics::PlayerAtEye({options.Camera->X, options.Camera->Y, options.Camera->Z},
                                        90 - options.Camera->Yaw);
  // Lifted as the game lifts a player put at a spawn point, when it starts touching a brush.
  if (InsideSolid(*level, player, "")) player.Origin.Z += physics::kSpawnLift;
  if (const std::optional<std::string> solid = InsideSolid(*level, player, "the start")) {
    std::cerr << "bspwalk: " << *solid << "\n";
    return 1;
  }
  TJson json;
  json["Start"] = JsonVector(physics::EyeOf(player));
  json["Heading"] = JsonRounded(player.Yaw);
  json["Moves"] = TJson::array();
  if (!options.Json) std::cout << "start: eye " << Numbers(physics::EyeOf(player)) << " heading " << Number(player.Yaw) << "\n";
  bool crouching = false;
  for (const physics::TWalkMove& move : *moves) {
    physics::TStepReport report;
    physics::RunWalkMove(*level, player, crouching, move, report);
    const TVector eye = physics::EyeOf(player);
    if (options.Json) {
      json["Moves"].push_back({{"Move", move.Text}, {"Eye", JsonVector(eye)}, {"Heading", JsonRounded(player.Yaw)},
                               {"OnGround", player.OnGround},
                               {"Touched", report.Touched.empty() ? TJson(nullptr) : TJson(report.Touched)}});
      continue;
    }
    std::cout << move.Text << ": eye " << Numbers(eye) << (player.OnGround ? "" : ", in the air")
              << (report.Touched.empty() ? "" : ", touched " + report.Touched) << "\n";
  }
  if (options.Json) std::cout << JsonLine(json);
  std::cout << std::flush;
  if (options.ScreenshotPath.empty()) return 0;
  TRunOptions last = options;
  const TVector eye = physics::EyeOf(player);
  last.Camera = TCameraPose{eye.X, eye.Y, eye.Z, 90 - player.Yaw, 270};
  last.Mode = TRunMode::Screenshot;
  return RunScreenshot(last);
}

}  // namespace app
