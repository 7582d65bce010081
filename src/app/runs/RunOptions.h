#pragma once
// What a run of the program was asked to do: the command line's options as the runs read them.
// The command line fills them (app/CommandLine.h); the runs without anybody at the screen read
// them (app/runs/); the viewer gets its own start-up options from them (app/viewer/frmMain.h).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/viewer/ViewModes.h"
#include "camera/CameraClass.h"
#include "genom/genom.h"
#include "level/ExportGeometry.h"
#include "level/Q3BSP.h"

struct TBSPFile;  // level/BSPFile.h

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
  Entities,    // --entities: the entity list, no window
  Export,      // --export: the level as a glTF 2.0 file
  Drop,        // --drop: the player dropped until it rests, no window
  Trace,       // --trace: the player's box swept between two eye positions, no window
  WalkPath,    // --walk-path: moves read from a file walked from the start pose
  Gallery,     // --gallery: a web page of every level of the game data and an index
};

// A start pose as --camera gives it: the camera's own five values.
using TCameraPose = TCamera;

// A view direction of --at (with --fast): level along +Y unless given.
struct TAtDirection {
  float Yaw = 0, Pitch = 270;
};

struct TWindowSize {
  int Width, Height;
};

struct TRunOptions {
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
  // View modes and tools (app/viewer/ViewModes.h).
  std::string ModeList;                // --mode, checked: textures,lightmaps,wireframe,clusters
  std::optional<TVector> Freeze;       // --freeze
  bool NoHud = false;                  // --no-hud
  double FovDegrees = 80;              // --fov
  bool Watch = false;                  // --watch
  std::string OverviewPath;            // --overview
  bool AllSurfaces = false;            // --surfaces all: curved surfaces and meshes drawn too
  int Tessellation = kDefaultTessellation;  // --tess: segments per side of a curved-surface piece
  double Time = 0;                     // --time: the shaders' clock for the pictures, in seconds
  bool ExternalLightmaps = false;      // --external-lightmaps: lightmaps from lm_NNNN files
  bool VertexLight = false;            // --vertex-light: faces lit by their vertex colours
  std::vector<std::string> DataPaths;  // --data, absolute, in command-line order
  std::optional<int> Spawn;            // --spawn: 1-based spawn point to start at
  int StartSpawn = 0;                  // not an option: the 1-based spawn point the run starts at; 0: none
  // Entities, brush models and items (app/cli/EntityOptions.h).
  std::string EntityClass;             // --class: a shell pattern of class names for --entities
  bool BrushModels = false;            // --brush-models, or --full
  bool Items = false;                  // items drawn as their models: --full
  std::string Goto;                    // --goto ENTITY; empty: none
  std::string ExportPath;              // --export: FILE.glb or FILE.gltf
  float ExportScale = kMetresPerUnit;  // --export-scale: metres per level unit (an inch)
  std::string GalleryPath;             // --gallery: the folder of the pages
  std::vector<std::string> GalleryArgs;  // --gallery: the line's other options, given to each page's run
  bool Fast = false;                   // --fast, or --full: one pass, faces in view only
  std::vector<TAtDirection> AtDirections;  // with --fast: one per AtPositions entry
  // Walking (app/cli/WalkOptions.h).
  bool Walk = false;                   // --walk: the viewer starts walking
  TVector DropEye{0, 0, 0};            // --drop
  TVector TraceFrom{0, 0, 0}, TraceTo{0, 0, 0};  // --trace
  std::string WalkPathFile;            // --walk-path
  bool GameLight = false;              // --light game, or --full: light as the game shows it
  bool LightAsked = false;             // --light or --full was given: --info names the mode
  bool GreyscaleTGA = false;           // --greyscale-tga, or --full
  bool SkipNoDraw = false;             // --skip-nodraw, or --full: nodraw-flagged faces left out
  bool JoinedSky = false;              // --joined-sky, or --full: sky box sides as their edges join
  bool GameStages = false;             // --game-stages, or --full: stage rules as the game's scripts mean
  bool GridLight = false;              // --grid-light, or --full: items lit by the light grid
  bool ModelStages = false;            // --model-stages, or --full: item surfaces by their shaders' stages
  bool SkyInView = false;              // --sky-in-view, or --full: the sky of the sky faces in view
  bool VertexTurb = false;             // --vertex-turb, or --full: tcMod turb per vertex
  bool WorldFog = false;               // --world-fog, or --full: the worldspawn's haze
  bool GlowImages = false;             // --glow-images, or --full: NAME_glow added unlit
  bool ClampCoords = false;            // --clamp-coords, or --full: clampMap stages read their image
  bool FogLayers = false;              // --fog-layers, or --full: fog volumes by each pixel's ray inside
  bool Portals = false;                // --portals, or --full: portal surfaces show their camera's view
  // Not options: how the level is loaded and drawn, which the command line works out from the game
  // data (app/cli/GameData.cpp: the search path as the source, lightmap images optional) and the
  // fidelity options (app/cli/Fidelity.h) before the run starts. Their defaults are the plain
  // load and frame.
  TLevelOptions LevelOptions;
  TRenderOptions RenderOptions;
  // Not options either: the viewer's state at the start, from --mode, --freeze, --no-hud, --fov,
  // --watch and the kind of run (app/cli/Launch.h: ApplyViewOptions); the viewer and the runs
  // that draw its frames start from it.
  TViewerState Viewer;
  // The level file's bytes when the run has read them already (app/runs/LevelFile.h), so that
  // each step that reads the level takes them instead of reading the file again; none: each reads.
  std::shared_ptr<const std::vector<std::uint8_t>> LevelBytes;
  // The records parsed from LevelBytes by the window program's check of the level, so that its
  // first load does not parse them again; none: the load parses.
  std::shared_ptr<TBSPFile> LevelRecords;
};

// The size that --screenshot and --benchmark draw at, and a --windowed window's, unless --size.
inline constexpr TWindowSize kDefaultSize{1024, 768};

}  // namespace app
