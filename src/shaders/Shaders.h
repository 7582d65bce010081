#pragma once
// Shader scripts (scripts/*.shader): the blocks that tell, for a texture name of a level, which
// image to use and how to draw it. Pure: script text in, a table of checked records out, plus the
// rules that pick a texture's image and its draw state. No GL, no file system of its own: the
// scripts and the existence of images come through TShaderSource.
//
// Every stage is kept with what it draws and how: its images (animMap's frames), blend, alpha
// test, depth, colour (rgbGen, alphaGen), coordinates (tcGen, tcMod); and of the shader its
// deforms, cull, sort, fog and sky parameters. The time-dependent values are evaluated elsewhere
// (Waves.h, TexMods.h, Deforms.h).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Budget.h"
#include "shaders/Deforms.h"
#include "shaders/TexMods.h"
#include "shaders/Waves.h"

namespace shaders {

// Blend factors, numbered as OpenGL numbers them so that the renderer can pass them on as they are.
enum class TBlendFactor : std::uint32_t {
  Zero = 0, One = 1,
  SrcColor = 0x300, OneMinusSrcColor = 0x301, SrcAlpha = 0x302, OneMinusSrcAlpha = 0x303,
  DstAlpha = 0x304, OneMinusDstAlpha = 0x305, DstColor = 0x306, OneMinusDstColor = 0x307,
  SrcAlphaSaturate = 0x308,
};

enum class TAlphaTest { None, GT0, LT128, GE128 };
enum class TCull { Front, Back, None };  // None: drawn from both sides

// Where a stage's colour and alpha come from. Lighting values are taken as identity: the lightmap
// stage is what lights a surface here.
enum class TColourGen : std::uint8_t { Identity, Vertex, OneMinusVertex, Const, Wave };
enum class TTcGen : std::uint8_t { Base, Lightmap, Environment };

struct TStage {
  // Lower case as written: "$lightmap", "$whiteimage", an image path (with or without extension),
  // the first frame of an animMap, or empty for a stage without any map (videoMap, a typo).
  std::string Map;
  // animMap: every frame (the first is Map) and the frames per second.
  std::vector<std::string> Frames;
  float FramesPerSecond = 0;
  bool Clamp = false;
  bool HasBlend = false;
  TBlendFactor BlendSource = TBlendFactor::One;
  TBlendFactor BlendDestination = TBlendFactor::Zero;
  TAlphaTest AlphaTest = TAlphaTest::None;
  bool DepthWrite = false;  // depthWrite: writes depth although it blends
  bool DepthEqual = false;  // depthFunc equal
  TColourGen RgbGen = TColourGen::Identity;
  TWave RgbWave;
  float RgbConst[3] = {1, 1, 1};
  TColourGen AlphaGen = TColourGen::Identity;
  TWave AlphaWave;
  float AlphaConst = 1;
  TTcGen TcGen = TTcGen::Base;  // $lightmap stages read the lightmap coordinates by default
  std::vector<TTcMod> TcMods;
  bool VertexColours = false;  // rgbGen vertex or exactVertex: lit by the vertices' colours
  // rgbGen lightingDiffuse and alphaGen lightingSpecular, which a model's stages follow
  // (render/ItemStages.h); a level's surfaces take them as identity.
  bool LightingDiffuse = false, LightingSpecular = false;
  // alphaGen portal RANGE (taken as identity above): with --portals the alpha grows with the eye's
  // distance, reaching 1 at RANGE (render/Portals.h); 0 for any other alphaGen.
  float PortalRange = 0;
};

// Bounds on what one shader keeps, whatever its script says (the game's scripts stay far below):
// more stages (kMostStages, below), frames, tcMods or deforms are read and dropped, each time with
// a problem.
inline constexpr std::size_t kMostFrames = 8;
inline constexpr std::size_t kMostTcMods = 8;
inline constexpr std::size_t kMostDeforms = 4;

struct TShader {
  std::string Name;  // lower case
  std::string File;  // the script it came from, and the line of its name there
  int Line = 0;
  std::vector<TStage> Stages;
  TCull Cull = TCull::Front;
  bool NoDraw = false, Sky = false, Trans = false, NoLightmap = false, Fog = false;
  bool PolygonOffset = false;
  bool Portal = false;  // portal, or sort portal: with --portals drawn over the view from its camera
  float Sort = 0;  // sort: 0 when not given
  std::vector<TDeform> Deforms;
  std::string SkyFarBox;  // skyparms' first value; empty for "-" or none
  float CloudHeight = 128;  // skyparms' second value
  bool HasFogParms = false;  // fogparms ( r g b ) distance
  float FogColour[3] = {0, 0, 0};
  float FogOpaqueDistance = 0;
  std::string EditorImage;
};

// One thing in a script that could not be read. Line counts from 1.
struct TProblem {
  std::string File;
  int Line = 0;
  std::string Text;
  std::string Describe() const { return File + ":" + std::to_string(Line) + ": " + Text; }
};

// At most this many problems are kept per script; a last one counts the rest.
inline constexpr std::size_t kProblemsPerScript = 50;
// Longer tokens are refused (no name or path of a level can be that long).
inline constexpr std::size_t kLongestToken = 1024;
// A shader keeps at most this many stages, and a directive at most this many words after it; the
// rest is read and dropped (the game's scripts have at most 7 stages and 9 words).
inline constexpr std::size_t kMostStages = 32;
inline constexpr std::size_t kMostArguments = 64;

// Every shader read, by lower-case name. When two scripts (or two blocks of one script) define the
// same name, the first definition read wins and the later one is only counted: scripts are read in
// ascending order of their lower-case names, so the outcome does not depend on the order a folder
// or archive lists them in.
struct TShaderTable {
  std::unordered_map<std::string, TShader> Shaders;
  std::vector<TProblem> Problems;
  std::size_t Duplicates = 0;
  std::size_t ScriptCount = 0;
  // At most this many shaders are kept. A new name past it makes the table Full, and reading
  // stops there: nothing after it could be kept.
  std::size_t MostShaders = SIZE_MAX;
  // ... and at most this many bytes of what they hold (ShaderBytes): a count alone lets 32
  // stages of 8 texture-coordinate changes each through in every one of them.
  std::size_t MostBytes = SIZE_MAX;
  std::size_t Bytes = 0;
  bool Full = false;
  bool FullOfBytes = false;  // Full by MostBytes rather than MostShaders

  const TShader* Find(std::string_view name) const;
};

// Reads one script's text into the table; never fails, problems are appended to table.Problems.
// Time and memory are linear in the text.
void ReadShaderScript(std::string_view fileName, std::string_view text, TShaderTable& table);

// Where scripts and images come from. The base folder (loose files under the working directory) is
// the default; a search path over archives gives the same three functions.
struct TShaderSource {
  std::function<std::vector<std::string>()> ScriptNames;                            // "scripts/x.shader"
  std::function<std::optional<std::vector<std::uint8_t>>(const std::string&)> Read;  // nothing: unreadable
  std::function<bool(const std::string&)> ImageExists;                              // a file, not a folder
  // Optional: a script's size before it is read (declared, for an archive entry), so that one
  // over kMaxScriptBytes is refused unread.
  std::function<std::optional<std::uint64_t>(const std::string&)> Size;
  // Optional: told the names about to be read, in order, so that a source that inflates them
  // (game-data archives) can start early.
  std::function<void(const std::vector<std::string>&)> ReadAhead;
};

// scripts/*.shader under the working directory (letter case ignored); images as platform::FileExists
// finds them.
TShaderSource BaseFolderSource();

// Every script of the source in ascending order of lower-case name. A script that cannot be read is
// a problem of the table, not a failure. With a budget, the shaders kept are taken from it: once
// it is spent, the rest of that script and the scripts after it are left out (and noted there).
TShaderTable LoadShaderTable(const TShaderSource& source, platform::TBudget* budget = nullptr);

// ---- What a texture of a level becomes. ----

enum class TImageOrigin { None, File, Shader, EditorImage };
const char* OriginName(TImageOrigin origin);  // "none", "file", "shader", "editorimage"

struct TDrawState {
  bool Drawn = true;       // false: nodraw, a shader drawing nothing, or sky (the sky box stands in)
  bool Sky = false;
  bool TwoSided = false;
  TAlphaTest AlphaTest = TAlphaTest::None;
  bool Blended = false;    // drawn after the opaque surfaces, without depth writes
  TBlendFactor BlendSource = TBlendFactor::One;
  TBlendFactor BlendDestination = TBlendFactor::Zero;
  bool Lightmap = true;    // the lightmap pass goes over it
  // The first stage takes its colour from the vertices (rgbGen vertex or exactVertex): with
  // --vertex-light, faces lit by their vertices get the vertex pass.
  bool VertexColours = false;
  bool operator==(const TDrawState&) const = default;
};

// Whether a surface in this state shows an image: drawn, or a sky (its faces stand for the box).
// Nodraw surfaces and fog volumes need none, so they never count as left without one.
inline bool NeedsImage(const TDrawState& state) { return state.Drawn || state.Sky; }

// The honoured flags as words separated by spaces ("nodraw", "sky", "twosided", "alpha-gt0",
// "blend-add", "nolightmap", ...); "" for a plain surface.
std::string FlagsText(const TDrawState& state);

struct TTextureSurface {
  const TShader* Shader = nullptr;  // the shader of the texture's name, if any
  TImageOrigin Origin = TImageOrigin::None;
  // Files to load into the texture's slot, in order (the last that loads wins). For File: name.jpg
  // and/or name.tga, as the plain load loads them; otherwise at most one.
  std::vector<std::string> Images;
  // Per stage of the shader, per frame (one for map and clampMap, animMap's frames), the image
  // file found; "" where none exists; no frame for $lightmap, $whiteimage and stages without map.
  std::vector<std::vector<std::string>> StageImages;
  TDrawState State;
};

// The image and draw state of a texture name. When a shader defines the name, the shader decides,
// even when an image file of that name exists: the slot takes the image of its first stage whose
// map is an image (its extension as stated, else the other of .jpg / .tga), else its
// qer_editorimage (same rule), else none; every stage's images are found the same way. Only a
// name no shader defines takes its own name.jpg / name.tga.
TTextureSurface DescribeTexture(const std::string& textureName, const TShaderTable& table,
                                const std::function<bool(const std::string&)>& imageExists);

// The draw state a shader asks for; a texture without a shader gets the plain state.
// The first stage decides whether the surface is opaque.
TDrawState DrawStateOf(const TShader* shader);

// The existing file for an image named in a script: as stated, then with the other of .jpg / .tga
// (both tried, .jpg first, when the name has neither); nothing when none exists.
std::optional<std::string> FindImage(const std::string& name,
                                     const std::function<bool(const std::string&)>& imageExists);

// The six far-box images of a sky, in the order rt, bk, lf, ft, up, dn; nothing unless all six exist.
std::optional<std::vector<std::string>> FindSkyBox(
    const TShader& shader, const std::function<bool(const std::string&)>& imageExists);

}  // namespace shaders
