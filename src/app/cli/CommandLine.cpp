// The command line: every option in one table in the order --help lists them, read by CLI11 into
// their raw texts, then checked and applied group by group (headless runs, level and data, view,
// fidelity). A new option is a row of the table and a few lines in its group.
#include "app/cli/CommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <system_error>
#include <variant>

#include "app/cli/EntityOptions.h"
#include "app/cli/ExportOptions.h"
#include "app/cli/Fidelity.h"
#include "app/cli/Help.h"
#include "app/cli/OptionValues.h"
#include "app/cli/RawOptions.h"
#include "app/cli/WalkOptions.h"
#include "level/EditorView.h"
#include "app/viewer/ViewModes.h"
#include "app/viewer/frmMain.h"

namespace app {
namespace {

using options::kOptions;
using options::TOptionRow;
using options::TRawOptions;

constexpr int kMostFrames = 10'000'000;

// A one-line usage error: the text names the option and what is wrong with its value.
class EUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void AddOption(CLI::App& cli, const TOptionRow& row, bool& flag) {
  cli.add_flag(row.Name, flag, row.Help);
}

void AddOption(CLI::App& cli, const TOptionRow& row, std::string& value) {
  CLI::Option* option = cli.add_option(row.Name, value, row.Help);
  if (*row.Value) option->type_name(row.Value);
}

// Repeatable: one value each time the option is given.
void AddOption(CLI::App& cli, const TOptionRow& row, std::vector<std::string>& values) {
  cli.add_option(row.Name, values, row.Help)->type_name(row.Value)->allow_extra_args(false);
}

void AddOptions(CLI::App& cli, TRawOptions& raw) {
  for (const TOptionRow& row : kOptions)
    std::visit([&](auto field) { AddOption(cli, row, raw.*field); }, row.Field);
}

// ---- Headless runs. ----

// Which run the line asks for (at most one of --info, --at, --screenshot, --benchmark, --list and
// --entities; --overview and --export are checked apart), the picture names, and whether --json
// applies to it.
void ChooseRun(const CLI::App& cli, const TRawOptions& raw, TCommandLine& options) {
  const bool walkPath = cli.count("--walk-path") > 0;  // its --screenshot is its last view
  const std::pair<bool, TRunMode> modes[] = {{raw.Info, TRunMode::Info},
                                             {!raw.At.empty(), TRunMode::At},
                                             {cli.count("--screenshot") > 0 && !walkPath, TRunMode::Screenshot},
                                             {cli.count("--drop") > 0, TRunMode::Drop},
                                             {cli.count("--trace") > 0, TRunMode::Trace},
                                             {walkPath, TRunMode::WalkPath},
                                             {raw.Benchmark, TRunMode::Benchmark},
                                             {raw.List, TRunMode::List},
                                             {raw.Entities, TRunMode::Entities}};
  int chosen = 0;
  for (const auto& [asked, mode] : modes) {
    if (!asked) continue;
    options.Mode = mode;
    ++chosen;
  }
  if (chosen > 1 && (cli.count("--drop") || cli.count("--trace") || walkPath))
    throw EUsage("--drop, --trace and --walk-path cannot be combined with each other or with --info, --at, "
                 "--screenshot, --benchmark, --list or --entities");
  if (chosen > 1 && raw.Entities)
    throw EUsage("--entities cannot be combined with --info, --at, --screenshot, --benchmark or --list");
  if (chosen > 1)
    throw EUsage(raw.List
                     ? "--list cannot be combined with --info, --at, --screenshot or --benchmark"
                     : "--info, --at, --screenshot and --benchmark cannot be combined");
  if (cli.count("--overview")) {
    if (chosen > 0)
      throw EUsage("--overview cannot be combined with --info, --at, --screenshot or --benchmark");
    if (raw.Overview.empty()) throw EUsage("--overview needs a file name");
    if (!IsPictureName(raw.Overview))
      throw EUsage("--overview: '" + raw.Overview + "' does not end in .png");
    options.Mode = TRunMode::Overview;
    options.OverviewPath = raw.Overview;
  }
  try {
    if (cli.count("--export")) ApplyExportFile(raw.Export, chosen > 0 || options.Mode == TRunMode::Overview, options);
  } catch (const std::invalid_argument& e) {
    throw EUsage(e.what());
  }
  if (cli.count("--gallery")) {
    if (options.Mode != TRunMode::Viewer)
      throw EUsage("--gallery cannot be combined with --info, --at, --screenshot, --benchmark, --list, --overview or --export");
    if (raw.Gallery.empty()) throw EUsage("--gallery needs a folder name");
    options.Mode = TRunMode::Gallery;
    options.GalleryPath = raw.Gallery;
  }
  if (cli.count("--screenshot") && raw.Screenshot.empty())
    throw EUsage("--screenshot needs a file name");
  if (cli.count("--screenshot") && !IsPictureName(raw.Screenshot))
    throw EUsage("--screenshot: '" + raw.Screenshot + "' does not end in .png");
  if (raw.Json && options.Mode != TRunMode::Info && options.Mode != TRunMode::At &&
      options.Mode != TRunMode::Benchmark && options.Mode != TRunMode::List &&
      options.Mode != TRunMode::Entities && options.Mode != TRunMode::Drop &&
      options.Mode != TRunMode::Trace && options.Mode != TRunMode::WalkPath)
    throw EUsage("--json applies to --info, --at, --benchmark, --list, --entities, --drop, --trace and --walk-path only");
}

// The positions of --at, the screenshot's file, the frames to draw, --json and --verbose.
void ApplyRunValues(const CLI::App& cli, const TRawOptions& raw, TCommandLine& options) {
  options.Fast = FastAsked(cli.count("--fast") > 0, raw.Fast, raw.Full);  // --full's too
  try {
    AddAtPositions(raw.At, options.Fast, options);
  } catch (const std::invalid_argument& e) {
    throw EUsage(std::string("--at: ") + e.what());
  }
  options.ScreenshotPath = raw.Screenshot;
  if (options.Mode == TRunMode::Screenshot) options.Frames = kDefaultScreenshotFrames;
  if (options.Mode == TRunMode::Benchmark) options.Frames = kDefaultBenchmarkFrames;
  if (cli.count("--frames")) {
    if (options.Mode != TRunMode::Screenshot && options.Mode != TRunMode::Benchmark)
      throw EUsage("--frames applies to --screenshot and --benchmark only");
    try {
      options.Frames = ParsePositiveInt(raw.Frames, kMostFrames, "frame count");
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--frames: ") + e.what());
    }
  }
  options.Json = raw.Json;
  options.Verbose = raw.Verbose;
  try {
    if (cli.count("--export-scale")) ApplyExportScale(raw.ExportScale, options);
  } catch (const std::invalid_argument& e) {
    throw EUsage(e.what());
  }
}

// ---- Level and data. ----

// LEVEL and --base.
void ApplyLevel(const CLI::App& cli, const TRawOptions& raw, TCommandLine& options) {
  if (!raw.Level.empty()) {
    options.LevelPath = raw.Level;
    options.LevelGiven = true;
  }
  if (cli.count("--base")) {
    if (raw.Base.empty()) throw EUsage("--base needs a folder");
    options.BaseDir = raw.Base;
  }
}

// --data folders and archives, and --spawn (after --camera, which it cannot be combined with).
void ApplyDataAndSpawn(const CLI::App& cli, const TRawOptions& raw, TCommandLine& options) {
  for (const std::string& path : raw.Data) {
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
      options.Spawn = ParsePositiveInt(raw.Spawn, 1'000'000, "spawn point");
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--spawn: ") + e.what());
    }
  }
}

// ---- View. ----

// --windowed, --size, --camera and --view.
void ApplyWindowAndPose(const CLI::App& cli, const TRawOptions& raw, TCommandLine& options) {
  options.Windowed = raw.Windowed;
  if (cli.count("--size")) {
    try {
      options.Size = ParseSize(raw.Size);
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--size: ") + e.what());
    }
    options.Windowed = true;
  }
  if (cli.count("--camera")) {
    try {
      const std::vector<float> v = ParseFloatList(raw.Camera, 5);
      options.Camera = TCameraPose{v[0], v[1], v[2], v[3], v[4]};
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--camera: ") + e.what());
    }
  }
  if (cli.count("--view")) {
    if (options.Camera) throw EUsage("--view and --camera cannot be combined");
    try {
      const std::vector<float> v = ParseFloatList(raw.View, 5);
      options.Camera = TCameraPose{v[0], v[1], v[2], CameraYawOfAngle(v[3]), CameraPitchOfEditor(v[4])};
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--view: ") + e.what());
    }
  }
}

// --frame-times, --mode, --freeze, --no-hud, --fov and --watch: the viewer's tools and their
// headless twins.
void ApplyViewTools(const CLI::App& cli, const TRawOptions& raw, TCommandLine& options) {
  if (raw.FrameTimes && options.Mode != TRunMode::Viewer)
    throw EUsage("--frame-times applies to the viewer only");
  options.FrameTimes = raw.FrameTimes;
  const bool drawing = options.Mode == TRunMode::Viewer || options.Mode == TRunMode::Screenshot ||
                       options.Mode == TRunMode::Benchmark ||
                       (options.Mode == TRunMode::WalkPath && cli.count("--screenshot"));
  for (const char* name : {"--mode", "--freeze", "--no-hud", "--fov"})
    if (cli.count(name) && !drawing &&
        !(options.Mode == TRunMode::Overview && std::string(name) == "--mode"))
      throw EUsage(std::string(name) + " applies to the viewer, --screenshot and --benchmark only");
  if (raw.Watch && options.Mode != TRunMode::Viewer)
    throw EUsage("--watch applies to the viewer only");
  if (cli.count("--mode")) {
    try {
      TRenderOptions render;
      ApplyModeList(raw.ModeList, render);
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--mode: ") + e.what());
    }
    options.ModeList = raw.ModeList;
  }
  if (cli.count("--freeze")) {
    try {
      const std::vector<float> v = ParseFloatList(raw.Freeze, 3);
      options.Freeze = TVector{v[0], v[1], v[2]};
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--freeze: ") + e.what());
    }
  }
  if (cli.count("--fov")) {
    float degrees = 0;
    try {
      degrees = ParseFloat(raw.Fov);
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--fov: ") + e.what());
    }
    if (!(degrees >= kLeastFov && degrees <= kMostFov))
      throw EUsage("--fov: '" + raw.Fov + "' is not from 1 to 179 degrees");
    options.FovDegrees = degrees;
  }
  options.NoHud = raw.NoHud;
  options.Watch = raw.Watch;
}

// ---- Fidelity. ----

// --shaders, --external-lightmaps, --vertex-light, --full, then --surfaces (which may take back
// what --full gave) and --tess.
void ApplyFidelity(const CLI::App& cli, const TRawOptions& raw, TCommandLine& options) {
  options.Shaders = raw.Shaders;
  options.ExternalLightmaps = raw.ExternalLightmaps;
  options.VertexLight = raw.VertexLight;
  options.GreyscaleTGA = raw.GreyTGA;
  options.SkipNoDraw = raw.SkipNoDraw;
  options.JoinedSky = raw.JoinedSky;
  options.GameStages = raw.GameStages;
  options.GridLight = raw.GridLight;
  options.ModelStages = raw.ModelStages;
  options.SkyInView = raw.SkyInView;
  options.VertexTurb = raw.VertexTurb;
  options.WorldFog = raw.WorldFog;
  options.GlowImages = raw.GlowImages;
  options.ClampCoords = raw.ClampCoords;
  options.FogLayers = raw.FogLayers;
  options.Portals = raw.Portals;
  if (raw.Full) ApplyFullFidelity(options);
  if (cli.count("--surfaces")) {
    if (raw.Surfaces != "polygons" && raw.Surfaces != "all")
      throw EUsage("--surfaces: '" + raw.Surfaces + "' is not polygons or all");
    options.AllSurfaces = raw.Surfaces == "all";
  }
  if (cli.count("--tess")) {
    if (!options.AllSurfaces) throw EUsage("--tess applies with --surfaces all only");
    try {
      options.Tessellation = ParsePositiveInt(raw.Tess, kMostTessellationSegments, "segment count");
    } catch (const std::invalid_argument& e) {
      throw EUsage(std::string("--tess: ") + e.what());
    }
  }
  if (cli.count("--light")) try { ApplyLight(raw.Light, options); }
    catch (const std::invalid_argument& e) { throw EUsage(e.what()); }
  if (cli.count("--time")) try { ApplyTime(raw.Time, options); }
    catch (const std::invalid_argument& e) { throw EUsage(e.what()); }
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

// What each level's run of a gallery is given: the line less --gallery and --data (the runs get
// the game data's folders as found, BSPWALK_DATA's too); a LEVEL makes no sense there.
std::vector<std::string> GalleryArgsOf(int argc, const char* const argv[], const std::string& level) {
  if (!level.empty()) throw EUsage("--gallery makes a page of every level of the game data; it takes no LEVEL");
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--gallery" || arg == "--data") {
      ++i;
    } else if (!arg.starts_with("--gallery=") && !arg.starts_with("--data=")) {
      args.push_back(arg);
    }
  }
  return args;
}

}  // namespace

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
  TRawOptions raw;
  AddOptions(cli, raw);

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
    // The groups take turns in the order the checks have always run, which decides which of two
    // mistakes on one line is named.
    ChooseRun(cli, raw, options);
    ApplyLevel(cli, raw, options);
    ApplyWindowAndPose(cli, raw, options);
    ApplyRunValues(cli, raw, options);
    ApplyViewTools(cli, raw, options);
    ApplyFidelity(cli, raw, options);
    ApplyDataAndSpawn(cli, raw, options);
    const TEntityOptionsGiven given{cli.count("--class") > 0, raw.Class, raw.BrushModels, cli.count("--goto") > 0, raw.Goto};
    if (const std::string problem = ApplyEntityOptions(given, options); !problem.empty()) throw EUsage(problem);
    const TWalkOptionsGiven walk{raw.Walk, cli.count("--drop") > 0, cli.count("--trace") > 0,
                                 cli.count("--walk-path") > 0, raw.Drop, raw.Trace, raw.WalkPath};
    if (const std::string problem = ApplyWalkOptions(walk, options); !problem.empty()) throw EUsage(problem);
    if (options.Mode == TRunMode::Gallery) options.GalleryArgs = GalleryArgsOf(argc, argv, raw.Level);
  } catch (const EUsage& e) {
    err << "bspwalk: " << e.what() << " (see bspwalk --help)\n";
    return {std::nullopt, 2};
  }
  return {std::move(options), 0};
}

}  // namespace app
