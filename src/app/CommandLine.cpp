#include "app/CommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <system_error>

#include "app/Help.h"
#include "app/viewer/ViewModes.h"
#include "app/viewer/frmMain.h"

namespace app {
namespace {

float ParseFloat(const std::string& text) {
  float value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  // from_chars takes "nan", "inf" and exponents, and rounds straight to the 32-bit value (no
  // detour through double, which could round twice). It does not take a leading '+'.
  if (!text.empty() && text[0] == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (end != last || first == last || (error != std::errc() && error != std::errc::result_out_of_range))
    throw std::invalid_argument("'" + text + "' is not a number");
  if (error == std::errc::result_out_of_range) {
    // Too small for a float rounds to zero or a subnormal, as the conversion of any float does;
    // too large has no float to stand for it.
    const float rounded = std::strtof(std::string(first, last).c_str(), nullptr);
    if (std::isinf(rounded))
      throw std::invalid_argument("'" + text + "' is out of range for a 32-bit float");
    return rounded;
  }
  return value;
}

int ParsePositiveInt(const std::string& text, int highest, const std::string& what) {
  int value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last || value < 1 || value > highest)
    throw std::invalid_argument(what + " '" + text + "' is not a whole number from 1 to " +
                                std::to_string(highest));
  return value;
}

// A side of 8192 is 256 MB of colour and depth each; the GL's own bound is checked once a
// context exists.
constexpr int kLargestSide = 8192;
constexpr int kMostFrames = 10'000'000;

// A one-line usage error: the text names the option and what is wrong with its value.
class EUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// --mode, --freeze, --no-hud, --fov and --watch: the viewer's tools and their headless twins.
void ParseViewOptions(const CLI::App& cli, const std::string& modeList, const std::string& freeze,
                      bool noHud, const std::string& fov, bool watch, TCommandLine& options) {
  const bool drawing = options.Mode == TRunMode::Viewer || options.Mode == TRunMode::Screenshot ||
                       options.Mode == TRunMode::Benchmark;
  for (const char* name : {"--mode", "--freeze", "--no-hud", "--fov"})
    if (cli.count(name) && !drawing &&
        !(options.Mode == TRunMode::Overview && std::string(name) == "--mode"))
      throw EUsage(std::string(name) + " applies to the viewer, --screenshot and --benchmark only");
  if (watch && options.Mode != TRunMode::Viewer) throw EUsage("--watch applies to the viewer only");
  if (cli.count("--mode")) {
    try {
      TRenderOptions render;
      ApplyModeList(modeList, render);
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--mode: ") + e.what());
    }
    options.ModeList = modeList;
  }
  if (cli.count("--freeze")) {
    try {
      const std::vector<float> v = ParseFloatList(freeze, 3);
      options.Freeze = TVector{v[0], v[1], v[2]};
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--freeze: ") + e.what());
    }
  }
  if (cli.count("--fov")) {
    float degrees = 0;
    try {
      degrees = ParseFloat(fov);
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--fov: ") + e.what());
    }
    if (!(degrees >= kLeastFov && degrees <= kMostFov))
      throw EUsage("--fov: '" + fov + "' is not from 1 to 179 degrees");
    options.FovDegrees = degrees;
  }
  options.NoHud = noHud;
  options.Watch = watch;
}

// Arguments the parser took for no option or LEVEL. An unknown option is named, with the nearest
// option when one is close; it is told first, since the values after it were taken for LEVEL or
// for arguments nobody asked for.
void CheckExtras(const CLI::App& cli) {
  const std::vector<std::string> extras = cli.remaining();
  if (extras.empty()) return;
  const auto option = std::find_if(extras.begin(), extras.end(), [](const std::string& argument) {
    return argument.size() > 1 && argument[0] == '-';
  });
  if (option == extras.end()) throw EUsage(CLI::ExtrasError(extras).what());
  const std::string name = option->substr(0, option->find('='));
  std::vector<std::string> known;
  for (const CLI::Option* knownOption : cli.get_options())
    for (const std::string& longName : knownOption->get_lnames()) known.push_back(longName);
  const std::size_t letters = name.find_first_not_of('-');
  const std::vector<std::string> near =
      CloseNames(letters == std::string::npos ? "" : name.substr(letters), known, 1);
  throw EUsage("unknown option " + name + (near.empty() ? "" : "; did you mean --" + near[0] + "?"));
}

}  // namespace

bool IsPictureName(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return tail == ".png";
}

std::vector<float> ParseFloatList(const std::string& text, std::size_t expectedCount) {
  std::vector<float> values;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    values.push_back(ParseFloat(text.substr(start, comma == std::string::npos ? comma : comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (values.size() != expectedCount)
    throw std::invalid_argument("'" + text + "' has " + std::to_string(values.size()) +
                                " values, expected " + std::to_string(expectedCount) +
                                " separated by commas");
  return values;
}

TWindowSize ParseSize(const std::string& text) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos)
    throw std::invalid_argument("'" + text + "' is not WIDTHxHEIGHT");
  return {ParsePositiveInt(text.substr(0, x), kLargestSide, "width"),
          ParsePositiveInt(text.substr(x + 1), kLargestSide, "height")};
}

TParseResult ParseCommandLine(int argc, const char* const argv[], std::ostream& out,
                              std::ostream& err) {
  CLI::App cli{"Flies through a Quake 3 BSP level: a level file, or a level of the game data "
               "named as oa_dm4 or maps/oa_dm4.bsp. The keys of the viewer are listed below.",
               "bspwalk"};
  cli.set_version_flag("--version", std::string("bspwalk ") + kProgramVersion);
  constexpr std::size_t kHelpColumn = 30;
  cli.get_formatter()->column_width(kHelpColumn);
  std::string footer = HelpFooter(kHelpColumn);
  footer.pop_back();  // the formatter ends the help with its own line break
  cli.footer(footer);
  // Arguments nobody asked for are checked below, where an unknown option can be named first.
  cli.allow_extras();

  std::string level, base, size, camera, screenshot, frames;
  std::vector<std::string> at;
  bool windowed = false, info = false, benchmark = false, json = false, verbose = false;

  cli.add_option("LEVEL", level,
                 "Level file to load, or the name of a level of the game data (--data) such as "
                 "oa_dm4 (default: maps\\testmap.BSP in the base folder)");
  cli.add_option("--base", base,
                 "Folder the surface images, font.tga and lgmp/ are looked up in "
                 "(default: the working directory); font.tga is then looked up in the installed "
                 "share/bspwalk/")
      ->type_name("DIR");
  cli.add_flag("--windowed", windowed, "A normal window instead of full screen; the display mode "
                                       "is not changed");
  cli.add_option("--size", size, "Window or picture size (default 1024x768); implies --windowed")
      ->type_name("WxH");
  cli.add_option("--camera", camera,
                 "Start pose instead of 200,500,700,0,180; negative values as "
                 "--camera=-64,128,40,90,270")
      ->type_name("X,Y,Z,YAW,PITCH");
  cli.add_option("--screenshot", screenshot,
                 "Draw --frames frames (default 2), save the last as a PNG file, exit")
      ->type_name("FILE.png");
  cli.add_option("--frames", frames, "Frames to draw for --screenshot or --benchmark")
      ->type_name("N");
  cli.add_flag("--info", info, "Print the level's statistics, open no window");
  cli.add_option("--at", at,
                 "Print leaf, cluster, marked faces and visible faces at a position; repeatable")
      ->type_name("X,Y,Z")
      ->allow_extra_args(false);
  cli.add_flag("--benchmark", benchmark,
               "Fly a fixed path without the frame limit and print load and frame times "
               "(default 300 frames)");
  cli.add_flag("--json", json,
               "Print --info, --at or --benchmark results as JSON; --at prints JSON Lines: one "
               "object per position, on its own line, holding the position asked");
  cli.add_flag("--verbose", verbose, "Print a load summary on standard error");
  bool shaders = false, full = false;
  cli.add_flag("--shaders", shaders,
               "Draw surfaces as the shader scripts (scripts/*.shader) describe them: images, "
               "transparency, two-sided surfaces, sky");
  cli.add_flag("--full", full, "Every fidelity option at once (today: --shaders, --surfaces all)");
  bool frameTimes = false;
  cli.add_flag("--frame-times", frameTimes,
               "Viewer only: print each frame's time in milliseconds on standard output, one "
               "line per frame");
  std::string modeList, freeze, fov;
  bool noHud = false, watch = false;
  cli.add_option("--mode", modeList,
                 "View modes to start with or draw: textures, lightmaps or clusters, and "
                 "wireframe, comma separated")
      ->type_name("LIST");
  cli.add_option("--freeze", freeze, "Mark the visible faces from this position, not the camera")
      ->type_name("X,Y,Z");
  cli.add_flag("--no-hud", noHud, "No heads-up text");
  cli.add_option("--fov", fov, "Vertical field of view in degrees (default 80, 1 to 179)")
      ->type_name("DEGREES");
  cli.add_flag("--watch", watch, "Reload the level when its file changes (viewer)");
  std::string overview;
  cli.add_option("--overview", overview,
                 "Draw the whole level from above (--size, default 1024x768) with spawn points "
                 "and a scale bar, save it as PNG, exit")
      ->type_name("FILE.png");
  std::string surfaces, tess;
  cli.add_option("--surfaces", surfaces,
                 "polygons (default) or all: also curved surfaces and meshes")
      ->type_name("polygons|all");
  cli.add_option("--tess", tess, "Segments per side of a curved-surface piece, 1 to 64 "
                                 "(default 8); with --surfaces all")
      ->type_name("N");
  std::vector<std::string> data;
  std::string spawn;
  bool list = false;
  cli.add_option("--data", data,
                 "Game-data folder (its loose files and *.pk3 archives) or one .pk3 file; "
                 "repeatable, later over earlier (default: BSPWALK_DATA, colon-separated)")
      ->type_name("DIR")
      ->allow_extra_args(false);
  cli.add_flag("--list", list, "List the levels (maps/*.bsp) of the game data and exit");
  cli.add_option("--spawn", spawn, "Start at this spawn point of the level (1 is the first)")
      ->type_name("N");

  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << cli.help();
    return {std::nullopt, 0};
  } catch (const CLI::CallForVersion&) {
    out << "bspwalk " << kProgramVersion << "\n";
    return {std::nullopt, 0};
  } catch (const CLI::ParseError& e) {
    err << "bspwalk: " << e.what() << " (see bspwalk --help)\n";
    return {std::nullopt, 2};
  }

  TCommandLine options;
  try {
    CheckExtras(cli);
    const std::pair<bool, TRunMode> modes[] = {{info, TRunMode::Info},
                                               {!at.empty(), TRunMode::At},
                                               {cli.count("--screenshot") > 0, TRunMode::Screenshot},
                                               {benchmark, TRunMode::Benchmark},
                                               {list, TRunMode::List}};
    int chosen = 0;
    for (const auto& [asked, mode] : modes) {
      if (!asked) continue;
      options.Mode = mode;
      ++chosen;
    }
    if (chosen > 1)
      throw EUsage(list ? "--list cannot be combined with --info, --at, --screenshot or --benchmark"
                        : "--info, --at, --screenshot and --benchmark cannot be combined");
    if (cli.count("--overview")) {
      if (chosen > 0)
        throw EUsage("--overview cannot be combined with --info, --at, --screenshot or --benchmark");
      if (overview.empty()) throw EUsage("--overview needs a file name");
      if (!IsPictureName(overview))
        throw EUsage("--overview: '" + overview + "' does not end in .png");
      options.Mode = TRunMode::Overview;
      options.OverviewPath = overview;
    }
    if (cli.count("--screenshot") && screenshot.empty())
      throw EUsage("--screenshot needs a file name");
    if (cli.count("--screenshot") && !IsPictureName(screenshot))
      throw EUsage("--screenshot: '" + screenshot + "' does not end in .png");
    if (json && options.Mode != TRunMode::Info && options.Mode != TRunMode::At &&
        options.Mode != TRunMode::Benchmark && options.Mode != TRunMode::List)
      throw EUsage(list ? "--json applies to --info, --at, --benchmark and --list only"
                        : "--json applies to --info, --at and --benchmark only");

    if (!level.empty()) {
      options.LevelPath = level;
      options.LevelGiven = true;
    }
    if (cli.count("--base")) {
      if (base.empty()) throw EUsage("--base needs a folder");
      options.BaseDir = base;
    }
    options.Windowed = windowed;
    if (cli.count("--size")) {
      try {
        options.Size = ParseSize(size);
      } catch (const std::invalid_argument& e) {
        throw EUsage(std::string("--size: ") + e.what());
      }
      options.Windowed = true;
    }
    if (cli.count("--camera")) {
      try {
        const std::vector<float> v = ParseFloatList(camera, 5);
        options.Camera = TCameraPose{v[0], v[1], v[2], v[3], v[4]};
      } catch (const std::invalid_argument& e) {
        throw EUsage(std::string("--camera: ") + e.what());
      }
    }
    for (const std::string& position : at) {
      try {
        const std::vector<float> v = ParseFloatList(position, 3);
        options.AtPositions.push_back(TVector{v[0], v[1], v[2]});
      } catch (const std::invalid_argument& e) {
        throw EUsage(std::string("--at: ") + e.what());
      }
    }
    options.ScreenshotPath = screenshot;
    if (options.Mode == TRunMode::Screenshot) options.Frames = kDefaultScreenshotFrames;
    if (options.Mode == TRunMode::Benchmark) options.Frames = kDefaultBenchmarkFrames;
    if (cli.count("--frames")) {
      if (options.Mode != TRunMode::Screenshot && options.Mode != TRunMode::Benchmark)
        throw EUsage("--frames applies to --screenshot and --benchmark only");
      try {
        options.Frames = ParsePositiveInt(frames, kMostFrames, "frame count");
      } catch (const std::invalid_argument& e) {
        throw EUsage(std::string("--frames: ") + e.what());
      }
    }
    options.Json = json;
    options.Verbose = verbose;
    options.Shaders = shaders;
    if (full) ApplyFullFidelity(options);
    if (frameTimes && options.Mode != TRunMode::Viewer)
      throw EUsage("--frame-times applies to the viewer only");
    options.FrameTimes = frameTimes;
    ParseViewOptions(cli, modeList, freeze, noHud, fov, watch, options);
    if (cli.count("--surfaces")) {
      if (surfaces != "polygons" && surfaces != "all")
        throw EUsage("--surfaces: '" + surfaces + "' is not polygons or all");
      options.AllSurfaces = surfaces == "all";
    }
    if (cli.count("--tess")) {
      if (!options.AllSurfaces) throw EUsage("--tess applies with --surfaces all only");
      try {
        options.Tessellation = ParsePositiveInt(tess, kMostTessellationSegments, "segment count");
      } catch (const std::invalid_argument& e) {
        throw EUsage(std::string("--tess: ") + e.what());
      }
    }
    for (const std::string& path : data) {
      std::error_code ec;
      const std::filesystem::file_status status = std::filesystem::status(path, ec);
      if (path.empty() || (!std::filesystem::is_directory(status) &&
                           !std::filesystem::is_regular_file(status)))
        throw EUsage("--data " + path + ": no such folder or .pk3 file");
      options.DataPaths.push_back(std::filesystem::absolute(path, ec).lexically_normal().string());
    }
    if (cli.count("--spawn")) {
      if (!options.LevelGiven) throw EUsage("--spawn needs a LEVEL");
      if (options.Camera) throw EUsage("--spawn and --camera cannot be combined");
      try {
        options.Spawn = ParsePositiveInt(spawn, 1'000'000, "spawn point");
      } catch (const std::invalid_argument& e) {
        throw EUsage(std::string("--spawn: ") + e.what());
      }
    }
  } catch (const EUsage& e) {
    err << "bspwalk: " << e.what() << " (see bspwalk --help)\n";
    return {std::nullopt, 2};
  }
  return {std::move(options), 0};
}

void ApplyFullFidelity(TCommandLine& options) {
  options.Shaders = true;
  options.AllSurfaces = true;
}

}  // namespace app
