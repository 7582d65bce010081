#pragma once
// The command line as CLI11 fills it in, before any check, and the table of every option: its
// name, the field it fills, the name of its value and its help text. Read by CommandLine.cpp
// alone; apart from it so that the checks stay readable as options are added.
#include <string>
#include <variant>
#include <vector>

namespace app::options {

// What CLI11 fills in, option by option, before any check.
struct TRawOptions {
  // Level and data.
  std::string Level, Base, Spawn;
  std::vector<std::string> Data;
  bool List = false;
  // View.
  bool Windowed = false, FrameTimes = false, NoHud = false, Watch = false;
  std::string Size, Camera, View, ModeList, Freeze, Fov;
  // Headless runs.
  std::string Screenshot, Frames, Overview, Export, ExportScale, Gallery;
  std::vector<std::string> At;
  bool Info = false, Benchmark = false, Json = false, Verbose = false;
  // Fidelity.
  bool Shaders = false, Full = false, ExternalLightmaps = false, VertexLight = false, Fast = false, GreyTGA = false,
       SkipNoDraw = false, JoinedSky = false, GameStages = false,
       GridLight = false, ModelStages = false, SkyInView = false, VertexTurb = false,
       WorldFog = false, GlowImages = false, ClampCoords = false, FogLayers = false,
       Portals = false;
  std::string Surfaces, Tess, Time, Light;
  bool Entities = false, BrushModels = false;  // entities, brush models and items
  std::string Class, Goto;
  bool Walk = false;  // walking
  std::string Drop, Trace, WalkPath;
};

// One option: its name, the raw field it fills (a flag, a value, or one value per use), the name
// of its value in --help (empty: CLI11's own) and its help text.
struct TOptionRow {
  using TFlag = bool TRawOptions::*;
  using TValue = std::string TRawOptions::*;
  using TValues = std::vector<std::string> TRawOptions::*;
  const char* Name;
  std::variant<TFlag, TValue, TValues> Field;
  const char* Value;
  const char* Help;
};

// Every option in the order --help lists them; the comment names its group.
inline constexpr TOptionRow kOptions[] = {
    {"LEVEL", &TRawOptions::Level, "",  // level and data
     "Level file to load, or the name of a level of the game data (--data) such as "
     "oa_dm4 (default: maps\\testmap.BSP in the base folder)"},
    {"--base", &TRawOptions::Base, "DIR",  // level and data
     "Folder the surface images, font.tga and lgmp/ are looked up in "
     "(default: the working directory); font.tga is then looked up in the installed "
     "share/bspwalk/"},
    {"--windowed", &TRawOptions::Windowed, "",  // view
     "A normal window instead of full screen; the display mode is not changed"},
    {"--size", &TRawOptions::Size, "WxH",  // view
     "Window or picture size (default 1024x768); implies --windowed"},
    {"--camera", &TRawOptions::Camera, "X,Y,Z,YAW,PITCH",  // view
     "Start pose instead of 200,500,700,0,180; negative values as --camera=-64,128,40,90,270"},
    {"--view", &TRawOptions::View, "X,Y,Z,ANGLE,PITCH",  // view
     "Start pose as the level editor gives it: ANGLE 0 along +X, 90 along +Y; PITCH 0 level, "
     "positive looking down (--view=-64,128,40,0,0 is --camera=-64,128,40,90,270)"},
    {"--screenshot", &TRawOptions::Screenshot, "FILE.png",  // headless runs
     "Draw --frames frames (default 2), save the last as a PNG file, exit"},
    {"--frames", &TRawOptions::Frames, "N",  // headless runs
     "Frames to draw for --screenshot or --benchmark"},
    {"--info", &TRawOptions::Info, "",  // headless runs
     "Print the level's statistics, open no window"},
    {"--at", &TRawOptions::At, "X,Y,Z",  // headless runs
     "Print leaf, cluster, marked faces and visible faces at a position; repeatable"},
    {"--benchmark", &TRawOptions::Benchmark, "",  // headless runs
     "Fly a fixed path without the frame limit and print load and frame times "
     "(default 300 frames)"},
    {"--json", &TRawOptions::Json, "",  // headless runs
     "Print --info, --at or --benchmark results as JSON; --at prints JSON Lines: one "
     "object per position, on its own line, holding the position asked"},
    {"--verbose", &TRawOptions::Verbose, "",  // headless runs
     "Print a load summary on standard error"},
    {"--shaders", &TRawOptions::Shaders, "",  // fidelity
     "Draw surfaces as the shader scripts (scripts/*.shader) describe them: images, "
     "transparency, two-sided surfaces, sky"},
    {"--full", &TRawOptions::Full, "",  // fidelity
     "Every fidelity option at once (today: --shaders, --surfaces all, --external-lightmaps, "
     "--vertex-light, --brush-models, items, --fast, --light game, --greyscale-tga, --skip-nodraw, --joined-sky, --game-stages, --grid-light, --model-stages, --sky-in-view, --vertex-turb, --world-fog, --glow-images, --clamp-coords, --fog-layers, --portals)"},
    {"--frame-times", &TRawOptions::FrameTimes, "",  // view
     "Viewer only: print each frame's time in milliseconds on standard output, one "
     "line per frame"},
    {"--mode", &TRawOptions::ModeList, "LIST",  // view
     "View modes to start with or draw: textures, lightmaps or clusters, and "
     "wireframe and entities, comma separated"},
    {"--freeze", &TRawOptions::Freeze, "X,Y,Z",  // view
     "Mark the visible faces from this position, not the camera"},
    {"--no-hud", &TRawOptions::NoHud, "",  // view
     "No heads-up text"},
    {"--fov", &TRawOptions::Fov, "DEGREES",  // view
     "Vertical field of view in degrees (default 80, 1 to 179)"},
    {"--watch", &TRawOptions::Watch, "",  // view
     "Reload the level when its file changes (viewer)"},
    {"--overview", &TRawOptions::Overview, "FILE.png",  // headless runs
     "Draw the whole level from above (--size, default 1024x768) with spawn points "
     "and a scale bar, save it as PNG, exit"},
    {"--surfaces", &TRawOptions::Surfaces, "polygons|all",  // fidelity
     "polygons (default) or all: also curved surfaces and meshes"},
    {"--tess", &TRawOptions::Tess, "N",  // fidelity
     "Segments per side of a curved-surface piece, 1 to 64 (default 8); with --surfaces all"},
    {"--time", &TRawOptions::Time, "SECONDS",  // fidelity
     "Clock of moving surfaces (--shaders) for --screenshot, --benchmark, --overview: 0 to 1e6 s"},
    {"--external-lightmaps", &TRawOptions::ExternalLightmaps, "",  // fidelity
     "A level whose lightmap lump is empty takes its lightmaps from the files "
     "maps/LEVEL/lm_0000.tga (.png, .jpg), lm_0001, ... beside it"},
    {"--vertex-light", &TRawOptions::VertexLight, "",  // fidelity
     "Faces lit by their vertices (lightmap index -3) drawn with their vertex colours, "
     "not full bright"},
    {"--data", &TRawOptions::Data, "DIR",  // level and data
     "Game-data folder (its loose files and *.pk3 archives) or one .pk3 file; "
     "repeatable, later over earlier (default: BSPWALK_DATA, colon-separated)"},
    {"--list", &TRawOptions::List, "",  // level and data
     "List the levels (maps/*.bsp) of the game data and exit"},
    {"--spawn", &TRawOptions::Spawn, "N",  // level and data
     "Start at this spawn point of the level (1 is the first)"},
    {"--entities", &TRawOptions::Entities, "",  // headless runs
     "Print every entity of the level with its keys and values, open no window"},
    {"--class", &TRawOptions::Class, "PATTERN",  // headless runs
     "With --entities: only classes matching a shell pattern such as 'item_*'"},
    {"--brush-models", &TRawOptions::BrushModels, "",  // fidelity
     "Draw doors, platforms and other brush models wherever their boxes are visible"},
    {"--goto", &TRawOptions::Goto, "ENTITY",  // level and data
     "Start looking at an entity: its index, its class, or class:N (item_quad:2)"},
    {"--export", &TRawOptions::Export, "FILE.glb|FILE.gltf|FILE.html",  // headless runs
     "Write the level with images, lightmaps and spawn points as glTF 2.0, with --shaders its sky "
     "and stages, with --full its items too (.gltf: files beside it; .html: a page that flies "
     "through it, opened from disk)"},
    {"--gallery", &TRawOptions::Gallery, "DIR",  // headless runs
     "Write a web page (as --export FILE.html) of every level of the game data into DIR, with an "
     "index page linking them"},
    {"--export-scale", &TRawOptions::ExportScale, "METRES",  // headless runs
     "Metres per level unit in the --export file (default 0.0254, an inch)"},
    {"--fast", &TRawOptions::Fast, "", "One pass, faces in view only; --fast=off: two passes"},  // fidelity
    {"--walk", &TRawOptions::Walk, "", "Start walking (collision, gravity) instead of flying; V switches"},  // view
    {"--drop", &TRawOptions::Drop, "X,Y,Z",  // headless runs
     "Drop the player whose eye is at X,Y,Z until it rests: print the eye, the fall and the ground"},
    {"--trace", &TRawOptions::Trace, "X1,Y1,Z1:X2,Y2,Z2",  // headless runs
     "Sweep the player's box between two eye positions: print how far it got and what it hit"},
    {"--walk-path", &TRawOptions::WalkPath, "FILE",  // headless runs
     "Walk the moves of FILE (forward/back/left/right SECONDS, jump, crouch, turn DEGREES, wait "
     "SECONDS) from the spawn point; print the eye after each; --screenshot saves the last view"},
    {"--light", &TRawOptions::Light, "design|game",  // fidelity
     "design (default): lightmaps brightened, twice the product; game: light x4 kept in hue, once"},
    {"--greyscale-tga", &TRawOptions::GreyTGA, "",  // fidelity
     "8-bit greyscale TGA images decoded; runs without a window tell TGA problems as warnings"},
    {"--skip-nodraw", &TRawOptions::SkipNoDraw, "",  // fidelity
     "Leave out faces whose texture record is flagged nodraw, curved surfaces untessellated"},
    {"--joined-sky", &TRawOptions::JoinedSky, "",  // fidelity
     "Sky box sides placed so that their images' edges meet (rt, ft, lf, bk turning right)"},
    {"--game-stages", &TRawOptions::GameStages, "",  // fidelity
     "With --shaders: a $lightmap stage without blendFunc after an opaque image multiplies it; "
     "blended surfaces far to near"},
    {"--grid-light", &TRawOptions::GridLight, "",  // fidelity
     "Items lit by the level's light grid at their place, by their normals"},
    {"--model-stages", &TRawOptions::ModelStages, "",  // fidelity
     "Every surface of an item's model drawn with its shader's stages, blended ones after the opaque ones"},
    {"--sky-in-view", &TRawOptions::SkyInView, "",  // fidelity
     "With several sky shaders, the sky of the sky faces in view (the most of them)"},
    {"--vertex-turb", &TRawOptions::VertexTurb, "",  // fidelity
     "With --shaders: tcMod turb ripples each vertex's coordinates by its place instead of moving the whole picture"},
    {"--world-fog", &TRawOptions::WorldFog, "",  // fidelity
     "With --shaders: the worldspawn's fog key (density, red, green, blue, alpha) as a haze thickening with distance, over the sky too"},
    {"--glow-images", &TRawOptions::GlowImages, "",  // fidelity
     "With --shaders: a surface no script describes gets its image NAME_glow, where there is one, added on top unlit"},
    {"--clamp-coords", &TRawOptions::ClampCoords, "",  // fidelity
     "With --shaders: clampMap stages of the level's surfaces read their image where the script points, not its edge"},
    {"--fog-layers", &TRawOptions::FogLayers, "",  // fidelity
     "With --shaders: fog volumes tint each pixel by the distance its ray travels inside them, seen from outside "
     "and inside, instead of per vertex"},
    {"--portals", &TRawOptions::Portals, "",  // fidelity
     "With --shaders: a portal surface shows the level from its misc_portal_camera (a mirror without one), "
     "under the surface's own stages"},
};

}  // namespace app::options
