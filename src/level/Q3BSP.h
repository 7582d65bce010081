#pragma once
// One Quake 3 BSP level: its file records, the in-memory model built from them, and the
// operations that load, query and draw it. The model makes no GL call and includes no GL header:
// texture names are the GL's unsigned 32-bit names, held as std::uint32_t. The operations that
// talk to the GL (LoadBSP's uploads, CreateLightmapTexture, RenderLevel) are defined in render/.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "genom/genom.h"
#include "level/LevelThings.h"
#include "level/Portals.h"
#include "level/Q3BSP_lighting.h"
#include "level/WorldFog.h"
#include "shaders/Shaders.h"
#include "shaders/StagePlan.h"
#include "platform/Budget.h"
#include "platform/Files.h"

// ---- File records: little-endian, packed, exactly as stored in the file. ----
#pragma pack(push, 1)

struct TBSPHeader {
  char ID[4];
  std::int32_t Version;
};

struct TBSPLump {
  std::int32_t Offset;
  std::int32_t Length;
};

struct TBSPTexture {
  char Name[64];
  std::int32_t Flags;
  std::int32_t Contents;
};

struct TBSPPlane {
  TVector Normal;
  float Distance;
};

struct TBSPNode {
  std::int32_t PlaneIndex;
  std::int32_t Front;  // >= 0: node index; < 0: leaf -(Front + 1)
  std::int32_t Back;
  std::int32_t Mins[3];
  std::int32_t Maxs[3];
};

struct TBSPLeaf {
  std::int32_t Cluster;
  std::int32_t Area;
  std::int32_t Mins[3];
  std::int32_t Maxs[3];
  std::int32_t FirstLeafFace;
  std::int32_t NumLeafFaces;
  std::int32_t FirstLeafBrush;
  std::int32_t NumLeafBrushes;
};

struct TBSPVertex {
  TVector Position;
  TTexCoord TexCoord;
  TTexCoord LightmapCoord;
  TVector Normal;
  std::uint8_t Color[4];
};

struct TBSPFace {
  std::int32_t TextureIndex;
  std::int32_t EffectIndex;
  std::int32_t FaceType;  // 1 polygon, 2 patch, 3 mesh, 4 billboard
  std::int32_t FirstVertex;
  std::int32_t NumVertices;
  std::int32_t FirstMeshVertex;
  std::int32_t NumMeshVertices;
  std::int32_t LightmapIndex;  // -1: none
  std::int32_t LightmapCorner[2];
  std::int32_t LightmapSize[2];
  TVector LightmapOrigin;
  TVector LightmapVectors[2];
  TVector Normal;
  std::int32_t PatchSize[2];
};

// 128 x 128 RGB pixels, first row first.
struct TBSPLightmap {
  std::uint8_t ImageBits[128][128][3];
};

#pragma pack(pop)

static_assert(sizeof(TBSPHeader) == 8);
static_assert(sizeof(TBSPLump) == 8);
static_assert(sizeof(TBSPTexture) == 72 && offsetof(TBSPTexture, Flags) == 64);
static_assert(sizeof(TBSPPlane) == 16 && offsetof(TBSPPlane, Distance) == 12);
static_assert(sizeof(TBSPNode) == 36 && offsetof(TBSPNode, Mins) == 12 &&
              offsetof(TBSPNode, Maxs) == 24);
static_assert(sizeof(TBSPLeaf) == 48 && offsetof(TBSPLeaf, FirstLeafFace) == 32 &&
              offsetof(TBSPLeaf, NumLeafFaces) == 36 && offsetof(TBSPLeaf, NumLeafBrushes) == 44);
static_assert(sizeof(TBSPVertex) == 44 && offsetof(TBSPVertex, TexCoord) == 12 &&
              offsetof(TBSPVertex, LightmapCoord) == 20 && offsetof(TBSPVertex, Normal) == 28 &&
              offsetof(TBSPVertex, Color) == 40);
static_assert(sizeof(TBSPFace) == 104 && offsetof(TBSPFace, FaceType) == 8 &&
              offsetof(TBSPFace, FirstMeshVertex) == 20 && offsetof(TBSPFace, LightmapIndex) == 28 &&
              offsetof(TBSPFace, LightmapOrigin) == 48 && offsetof(TBSPFace, LightmapVectors) == 60 &&
              offsetof(TBSPFace, Normal) == 84 && offsetof(TBSPFace, PatchSize) == 96);
static_assert(sizeof(TBSPLightmap) == 49152);

// Lump indices of the directory.
enum TBSPLumpIndex : int {
  kEntities = 0, kTextures = 1, kPlanes = 2, kNodes = 3, kLeaves = 4, kLeafFaces = 5,
  kLeafBrushes = 6, kModels = 7, kBrushes = 8, kBrushSides = 9, kVertices = 10,
  kMeshVertices = 11, kEffects = 12, kFaces = 13, kLightmaps = 14, kLightVolumes = 15,
  kVisData = 16, kLumpCount = 17
};

// Potentially-visible-set rows: row c lists, one bit per cluster, what cluster c may see.
struct TBSPVisData {
  std::int32_t ClusterCount = 0;
  std::int32_t BytesPerCluster = 0;
  std::vector<std::uint8_t> Bits;
};

// A level file whose records contradict each other: an index outside its array, a negative count,
// a range past the end of what it indexes. The text names the bad record, for instance
// "Face 12: vertices 400..409 outside the 405 vertices of the level". LoadBSP raises it before any
// texture is made, so a refused file leaves the level as it was.
class EBSPFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The file-creation error of the runtime: "Cannot create file " + the file name as the program
// spelt it (for instance "Cannot create file lgmp\lgmp0.jpg").
class EFCreateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How long the stages of the last LoadBSP took, in milliseconds (for the load benchmark).
struct TLoadTimings {
  double ReadingMs = 0;        // reading the file, checking it and building the level model
  double SurfaceImagesMs = 0;  // LoadTexture of every surface image
  double LightmapsMs = 0;      // brightening, exporting and uploading every lightmap
  double TessellationMs = 0;   // curved surfaces turned into triangles (--surfaces all only)
};

// Which faces a frame draws: the polygons alone (the plain frame), or every polygon, curved
// surface and mesh (billboards stay undrawn).
enum class TSurfaceSet { Polygons, All };

// Segments per side of a curved-surface piece: --tess's default and its largest value.
inline constexpr std::int32_t kDefaultTessellation = 8;
inline constexpr std::int32_t kMostTessellation = 64;

// How a level is built from its file beyond the plain load. The default value is the plain load,
// call for call; each extension adds its own fields here, off by default.
struct TLevelOptions {
  // --shaders: each texture's image chosen through the shader scripts and its draw state decided
  // from them (TQuake3BSP::Shading). The source gives the scripts and says which images exist;
  // left empty, it is the base folder's (shaders::BaseFolderSource).
  bool Shaders = false;
  shaders::TShaderSource ShaderSource;
  // All: curved surfaces are tessellated at load time into their faces' arrays and FaceIndices,
  // at Tessellation segments per piece side (1 to kMostTessellation).
  TSurfaceSet Surfaces = TSurfaceSet::Polygons;
  std::int32_t Tessellation = kDefaultTessellation;
  // Game data: the level file and its surface images are read from here instead of the working
  // directory (null: the working directory, as the plain load does). An image named here that
  // cannot be read at all costs only itself (a message naming it), not the load.
  const platform::TFileSource* Files = nullptr;
  // When lgmp/ does not exist, the lightmaps are uploaded without writing their images (the plain
  // load fails with "Cannot create file" instead).
  bool LightmapFilesOptional = false;
  // --external-lightmaps: a level whose lightmap lump is empty while its faces name lightmaps takes
  // them from the files lm_0000.tga (.png, .jpg), lm_0001... in LightmapFolder (empty: the folder
  // beside the level file named after its stem). --vertex-light: the brightened vertex colours of
  // the faces with lightmap index -3 made ready for their pass (level/Q3BSP_lighting.h).
  bool ExternalLightmaps = false;
  std::string LightmapFolder;
  bool VertexLight = false;
  // --light game: lightmaps, vertex colours and the light grid by the game's rule (level/GameLight.h),
  // multiplied into the images once; false: the design's brightening, twice the product.
  bool GameLight = false;
  // --joined-sky: the sky box's sides placed so that their images' edges meet (render/Q3BSP_sky.cpp).
  bool JoinedSky = false;
  // --game-stages: a $lightmap stage without blendFunc after an opaque image multiplies it
  // (shaders/StagePlan.h).
  bool GameStages = false;
  // --grid-light: items lit by the level's light grid at their place (render/ItemLight.h).
  bool GridLight = false;
  // --model-stages: every surface of an item's model drawn by its shader's stages (render/ItemStages.h).
  bool ModelStages = false;
  // --sky-in-view: a level of several sky shaders draws the one whose faces are in view.
  bool SkyInView = false;
  // --vertex-turb: tcMod turb ripples each vertex by its place (render/TurbCoords.h).
  bool VertexTurb = false;
  // --world-fog: the worldspawn's "fog" key as a haze over the frame (render/WorldFog.h).
  bool WorldFog = false;
  // --glow-images: a surface no script describes gets its image NAME_glow, where there is one,
  // added on top unlit (level/Q3BSP_shading.cpp).
  bool GlowImages = false;
  // --clamp-coords: clampMap stages read their image, not its edge (shaders/StagePlan.h).
  bool ClampCoords = false;
  // --fog-layers: fog volumes drawn as layers clipped to their brushes (render/FogLayers.h).
  bool FogLayers = false;
  // --portals: portal surfaces show the level from their camera, or mirror it (render/Portals.h).
  bool Portals = false;
  // --skip-nodraw: faces of textures flagged nodraw in their records left out (level/NoDraw.h).
  bool SkipNoDraw = false;
  // --brush-models: models 1..N placed in the tree (TQuake3BSP::Things.BrushModels) so that a frame
  // with TRenderOptions::BrushModels can mark their faces where their boxes are visible.
  bool BrushModels = false;
  // Items drawn as their models (--full): the item entities' MD3 models and images read through
  // the search path into Things.ItemModels.
  bool Items = false;
  // The run's budget (platform/Budget.h): the shaders kept and the curved surfaces' memory are
  // taken from it, and what it left out is reported when the load ends. Null: the load keeps a
  // budget of its own with the default figures.
  platform::TBudget* Budget = nullptr;
};

// How a frame is drawn beyond the plain two passes. The default value is the plain frame, call for
// call; each extension (surfaces, per-texture draw state, view modes) adds its own fields here, off
// by default, and the renderer looks them up per texture group, never per face.
struct TRenderOptions {
  // --shaders: each texture group drawn with its state from TQuake3BSP::Shading, blended groups
  // after the opaque ones, and the sky box behind everything. Without a load that filled Shading,
  // the plain frame is drawn.
  bool Shaders = false;
  // The shaders' clock: seconds since the level started (waves, tcMod, animMap, deforms).
  double Time = 0;

  // ---- View modes (the viewer's F1, F2, F4, F6, F3 keys; --mode and --freeze). ----
  // What the faces are coloured with. One at a time: each replaces the plain two passes.
  enum class TColouring : std::uint8_t {
    Plain,          // surface image, then lightmap at twice the product
    SurfaceImages,  // surface image only, no lightmap pass
    Lightmaps,      // white, with the lightmap multiplied in once: the texels as loaded
    Clusters,       // a flat colour per cluster of the leaf listing the face, no lightmap pass
  };
  TColouring Colouring = TColouring::Plain;
  // The outlines of the drawn faces' triangles over the picture; combines with every colouring.
  bool Wireframe = false;
  // Faces are marked from FreezePosition instead of the camera; combines with everything.
  bool FreezeVisibility = false;
  TVector FreezePosition{};
  // Every face marked, no visibility pass (the overview picture).
  bool AllFaces = false;
  // All: every face with triangles to draw is drawn and counted (level/Q3BSP_surfaces.h).
  TSurfaceSet Surfaces = TSurfaceSet::Polygons;
  // The faces with lightmap index -3 get a pass like the lightmap pass with their brightened
  // vertex colours (a load with TLevelOptions::VertexLight made them).
  bool VertexLight = false;
  // --fast: image and lightmap in one pass where the GL has two texture units, one draw per
  // (image, lightmap) pair, faces outside the view left out, the lists kept while the cluster
  // stays (render/FastPath.h). The picture is that of the two passes within rounding.
  bool Fast = false;
  // With Fast: the frame's depth complexity counted into the render cache (--benchmark --json).
  bool CountFragments = false;
  // With Fast: the GL finished between the frame's passes and each one's time kept in the render
  // cache (render/PassTimes.h; --benchmark --json, on frames of their own).
  bool TimePasses = false;
  // --brush-models: the faces of every visible brush model marked too (level/Things.h).
  bool BrushModels = false;
  // Markers (--mode entities, F7): a small box per point entity in its family's colour.
  bool Markers = false;
  // Items as models (--full), or as markers when their model was not found.
  bool Items = false;
};

// What loading with TSurfaceSet::All made of the curved surfaces; empty after a plain load.
struct TSurfaceSummary {
  std::int32_t Tessellation = 0;   // segments per piece side; 0: not tessellated
  std::int32_t Tessellated = 0;    // curved surfaces turned into triangles
  std::int32_t NotDrawn = 0;       // curved surfaces refused, each with a warning
  std::int64_t Triangles = 0;      // of all tessellated curved surfaces
  std::vector<std::string> Warnings;  // "Face 12: curved surface not drawn: ..."
};

// A texture's shader and how its stages are drawn (--shaders). A name no script defines has a
// default shader without a file: its own image, then its lightmap.
struct TShadedSurface {
  std::optional<shaders::TShader> Shader;
  shaders::TStagePlan Plan;
  // Per stage of the shader, per frame: the texture of the image (0: none, drawn white).
  std::vector<std::vector<std::uint32_t>> StageTextures;
};

// Every face's vertex arrays one after the other (--shaders): a frame draws a texture's visible
// faces through one pointer per array, with index lists kept while the visible set stays.
struct TShadedArrays {
  AGLNrf3 Positions, Normals;
  AGLNrf2 TexCoords, LightmapCoords;
  AGLbyt4 Colours;
  AGLbyt4 OneMinusColours;  // rgb 255 - stored, alpha as stored; only when a stage asks for it
  AGLbyt4 AlphaColours;     // rgb 255, alpha as stored; likewise
  std::vector<std::uint32_t> First;  // per face, where its vertices start; kNotJoined for a large face
  // A face of more vertices than this (a finely tessellated curved surface) is drawn from its own
  // arrays, not copied: the copies stay a small share of the level's vertices. Such a face is
  // neither deformed, environment-mapped nor fogged.
  static constexpr std::size_t kMostJoinedVertices = 1024;
  static constexpr std::uint32_t kNotJoined = ~0u;
};

// A fog volume of the level (level/FogVolumes.h reads them).
struct TFogVolume {
  std::string Shader;             // the fog's shader name as written in the lump
  std::vector<TBSPPlane> Planes;  // the brush's sides; inside is where every side's distance <= 0
  TVector Mins{0, 0, 0}, Maxs{0, 0, 0};  // bounds, from the brush's axial sides
  float Colour[3] = {0, 0, 0};    // the shader's fogparms
  float OpaqueDistance = 0;       // units of fog through which nothing behind shows any more
};

// What a load with TLevelOptions::Shaders decided, per texture and for the sky. Empty otherwise.
struct TLevelShading {
  std::vector<shaders::TDrawState> States;     // per texture
  std::vector<shaders::TImageOrigin> Origins;  // per texture
  // Per lightmap, the faces the lightmap pass covers: drawn, opaque, with a lightmap stage, apart
  // by culling so that the pass needs no per-face state.
  std::vector<std::vector<std::int32_t>> OneSidedLightmapFaces;
  std::vector<std::vector<std::int32_t>> TwoSidedLightmapFaces;
  std::vector<std::uint32_t> SkyBox;  // rt, bk, lf, ft, up, dn; empty without a complete far box
  // --sky-in-view: every sky texture's box and layers; a frame swaps the one most of whose faces are
  // in view into SkyBox, SkyClouds and Sky (render/SkyChoice.h), its own entry then holding nothing.
  struct TLevelSky {
    std::int32_t Texture = -1;
    std::vector<std::uint32_t> SkyBox;
    std::uint32_t SkyClouds = 0;
    TShadedSurface Sky;
  };
  std::vector<TLevelSky> Skies;
  std::size_t SkyShown = 0;
  bool SkyInView = false;
  std::uint32_t SkyClouds = 0;        // the first cloud image, when there is no far box
  bool JoinedSky = false;             // TLevelOptions::JoinedSky: the box's sides as their edges join
  bool GameStages = false;            // TLevelOptions::GameStages
  bool VertexTurb = false;            // TLevelOptions::VertexTurb
  bool GlowImages = false;            // TLevelOptions::GlowImages
  bool ClampCoords = false;           // TLevelOptions::ClampCoords
  bool FogLayers = false;             // TLevelOptions::FogLayers
  bool Portals = false;               // TLevelOptions::Portals
  std::vector<TPortalView> PortalViews;  // with Portals, the portal faces (level/Portals.h)
  TWorldFog WorldFog;                 // with TLevelOptions::WorldFog, the worldspawn's haze
  // The sky's cloud layers: its shader's stages drawn over the box as a dome.
  TShadedSurface Sky;
  std::vector<TShadedSurface> Surfaces;  // per texture
  std::vector<std::int32_t> DrawOrder;   // the textures by their plans' sort, stable
  TShadedArrays Arrays;
  std::vector<TFogVolume> Fogs;          // per fog record; no planes for one that is not drawn
  // The fogparms of every shader that has them (r, g, b, distance to opaque), by lower-case name.
  std::unordered_map<std::string, std::array<float, 4>> FogParms;
  std::uint32_t WhiteTexture = 0;        // $whiteimage
  std::int32_t TexturesWithoutImage = 0;
  std::int32_t FacesWithoutImage = 0;  // faces of any type whose drawn (or sky) texture has no image
  std::size_t ShaderCount = 0, ScriptCount = 0;
  // Script mistakes and images that failed to load ("file:line: text"), for --verbose.
  std::vector<shaders::TProblem> Problems;
};

// What the renderer keeps from one frame of a level to the next (render/RenderCache.h).
struct TRenderCache;

// ---- The level model. ----
struct TQuake3BSP {
  TBSPHeader Header{};
  std::int32_t NodeCount = 0;
  std::int32_t LeafCount = 0;
  std::int32_t LeafFaceCount = 0;
  std::int32_t PlaneCount = 0;
  std::vector<TBSPLeaf> Leaves;
  std::vector<TBSPNode> Nodes;
  std::vector<TBSPPlane> Planes;
  std::vector<std::int32_t> LeafFaces;
  TBSPVisData VisData;
  std::int32_t VertexCount = 0;
  std::int32_t FaceCount = 0;
  std::vector<TBSPFace> Faces;
  std::vector<std::int32_t> FaceVisible;  // 0 = hidden, -1 (all bits set) = visible this frame
  std::vector<AGLNrf3> FaceVertices;
  std::vector<AGLbyt4> FaceColors;
  std::vector<AGLNrf2> FaceTexCoords;
  std::vector<AGLNrf2> FaceLightmapCoords;
  std::vector<AGLNrf3> FaceNormals;
  std::int32_t TextureCount = 0;
  std::int32_t LightmapCount = 0;
  std::vector<std::int32_t> TextureFaceCounts;
  std::vector<std::int32_t> LightmapFaceCounts;
  std::vector<std::uint32_t> SurfaceTextures;
  std::vector<std::uint32_t> LightmapTextures;
  std::vector<std::vector<std::int32_t>> TextureFaces;
  std::vector<std::vector<std::int32_t>> LightmapFaces;

  // Mesh vertices (lump 11): offsets from a face's FirstVertex, three per triangle.
  std::int32_t MeshVertexCount = 0;
  std::vector<std::int32_t> MeshVertices;
  // Per face, the triangle list its mesh vertices describe, as indices into the face's own
  // vertex arrays, checked at load time; empty when the face has none (drawn as a fan then).
  std::vector<std::vector<std::uint32_t>> FaceIndices;

  // Filled by a load with TLevelOptions::Shaders (level/Q3BSP_shading.cpp and, for the images,
  // render/Q3BSP_shaders.cpp).
  TLevelShading Shading;

  // Stage times of the last successful LoadBSP.
  TLoadTimings LoadTimings;
  // False when the last load went without lgmp/ (TLevelOptions::LightmapFilesOptional): the
  // lightmaps were brightened and uploaded, but no image was written.
  bool LightmapFilesWritten = true;

  // With TSurfaceSet::All, a curved surface's per-face arrays hold its tessellated vertices (not
  // NumVertices control points) and its FaceIndices their triangles; a refused one keeps its
  // control points and has no FaceIndices.
  TSurfaceSummary Surfaces;

  // Lightmaps from files and vertex light (TLevelOptions::ExternalLightmaps, VertexLight); empty
  // after a plain load.
  TLevelLighting Lighting;
  // The entities, their places, the models lump, and what the brush models and items need
  // (level/Things.h, render/ItemModels.cpp).
  TLevelThings Things;

  // Fills the level from the file; false only when the file cannot be opened (after a message).
  // Any later failure is raised as an exception: platform::EInOutError("Read beyond end of file")
  // for a file shorter than its lumps, EBSPFormatError for contradicting records (both before the
  // level is touched), EFCreateError when a lightmap's image file cannot be created. Needs a
  // current GL context and the OpenGL entry-point table loaded. The model is built by
  // level/Q3BSP_load.cpp; the images and lightmaps are uploaded between its steps by
  // render/Q3BSP_upload.cpp, where this call is defined.
  bool LoadBSP(const std::string& fileName, const TLevelOptions& options = {});
  // The same load of a file its caller has read (`bytes`) and parsed (`records`, ParseBSP's of
  // those bytes) already, so that a run reads its level once; true, or raised as above.
  bool LoadBSP(const std::string& fileName, const TLevelOptions& options, std::vector<std::uint8_t> bytes,
               struct TBSPFile&& records);

  // The leaf holding the position, found by descending the tree from node 0; NoLeaf (-1,
  // level/Q3BSP_visibility.h) when the level has no nodes or its tree leaves its arrays.
  std::int32_t FindLeaf(const TVector& position) const;

  // Nonzero when cluster `test` may be seen from cluster `current`.
  std::int32_t IsClusterVisible(std::int32_t current, std::int32_t test) const;

  // Marks the faces visible from the position and draws them: texture pass, then lightmap pass
  // (render/Q3BSP_render.cpp). What the renderer keeps from frame to frame is the cache's, which
  // belongs to this level alone (render/RenderCache.h).
  void RenderLevel(const TVector& position, const TRenderOptions& options, TRenderCache& cache);

  // Brightens a copy of the lightmap, exports it as "lgmp\lgmp<number>.jpg" and uploads it
  // (render/Q3BSP_upload.cpp).
  void CreateLightmapTexture(std::uint32_t& textureSlot, const TBSPLightmap& lightmap,
                             std::int32_t highestX, std::int32_t highestY, std::int32_t number);

  // Brightens the pixels in place and writes the transposed image file of this lightmap.
  void ExportLightmap(std::uint8_t* pixels, std::int32_t highestX, std::int32_t highestY,
                      std::int32_t number);
};
