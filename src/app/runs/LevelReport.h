#pragma once
// What --info and --at print: a level's statistics, and what the visibility pass makes of a
// camera position. Neither needs a window or a GL context.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/runs/EntityReport.h"
#include "app/runs/LevelFile.h"
#include "app/runs/LightmapReport.h"
#include "app/runs/RunOptions.h"
#include "level/BSPFile.h"
#include "level/Q3BSP.h"
#include "level/Q3BSP_surfaces.h"
#include "level/Things.h"

namespace app {

struct TTextureReport {
  std::string Name;
  std::string Image;  // ".jpg", ".tga" (the one the level ends up with when both exist) or ""
  std::int32_t FaceCount = 0;
  // With --shaders: where the image came from ("file", "shader", "editorimage", "none") and the
  // shader flags bspwalk honours (shaders::FlagsText).
  std::string Origin;
  std::string Flags;
};

struct TLevelInfo {
  std::string Path;
  std::size_t FileSize = 0;
  TBSPHeader Header{};
  std::int32_t VertexCount = 0, FaceCount = 0, TextureCount = 0, LightmapCount = 0;
  std::int32_t NodeCount = 0, LeafCount = 0, LeafFaceCount = 0, PlaneCount = 0;
  std::int32_t MeshVertexCount = 0;
  std::int32_t ClusterCount = 0, BytesPerCluster = 0;
  bool HasVisData = false;
  std::int64_t VisiblePairs = 0;  // set bits among ClusterCount x ClusterCount
  std::int32_t Polygons = 0, Patches = 0, Meshes = 0, Billboards = 0, OtherFaces = 0;
  std::int32_t ClusteredLeaves = 0;  // leaves whose Cluster is not negative
  std::int32_t SpawnPoints = 0;
  std::vector<TSpawnPoint> Spawns;
  std::vector<bool> SpawnDuplicates;  // standing where an earlier spawn point stands
  std::optional<TLevelFile::TBounds> WorldBounds;
  std::vector<TTextureReport> Textures;
  bool Shaders = false;  // the textures were described through shader scripts
  std::int32_t TexturesWithoutImage = 0, FacesWithoutImage = 0;
  // With --surfaces all: triangles per face type in the file and after tessellation.
  struct TSurfaceTriangles {
    std::int32_t Tessellation = 0;
    TTriangleCounts Before, After;
    std::int32_t PatchesNotDrawn = 0;
  };
  std::optional<TSurfaceTriangles> Surfaces;
  TEntityInfo Entities;  // entities per class, brush models
  // With a fidelity option (--brush-models too): what a frame draws over the whole level, as
  // --export writes it (no sky, no nodraw; materials are pairs of surface texture and lightmap
  // atlas).
  struct TDrawn {
    std::int32_t Faces = 0;
    std::int64_t Triangles = 0;
    std::size_t Materials = 0;
  };
  std::optional<TDrawn> Drawn;
  // With --external-lightmaps: where the lightmaps come from, how many, their sizes.
  std::optional<TLightmapReport> Lightmaps;
  // With --light or --full: true for the game's light, false for the design's.
  std::optional<bool> GameLight;
};

// The level file checked and parsed into its records, for every mode but the viewer; a refusal
// prints one line naming the file and the problem on standard error and gives nothing.
struct TLoadedRecords {
  TLevelFile File;
  TBSPFile Records;
};
std::optional<TLoadedRecords> LoadLevelRecords(const std::string& path);

// Gathers the statistics; image files are looked up relative to the working directory, as the
// loader looks them up.
TLevelInfo GatherLevelInfo(const TLevelFile& file, const TBSPFile& records);

// The textures described through the shader table as a load with --shaders describes them: origin,
// flags and the totals of textures and faces (of any type) whose texture has no image.
void DescribeShadedTextures(TLevelInfo& info, const shaders::TShaderTable& table,
                            const std::function<bool(const std::string&)>& imageExists);

// Adds the triangle counts of --surfaces all at `tessellation` segments per piece side, the
// curved surfaces kept within `mostBytes` as the load keeps them.
void AddSurfaceTriangles(TLevelInfo& info, const TBSPFile& records, std::int32_t tessellation,
                         std::uint64_t mostBytes = UINT64_MAX);

std::string LevelInfoText(const TLevelInfo& info);
std::string LevelInfoJson(const TLevelInfo& info);

// The part of the level model that the visibility pass and the face count read, built from the
// checked records with the loader's rules: tree, planes, leaves, leaf faces, visibility data,
// faces, the FaceVisible flags and the texture groups (face f in group t when its TextureIndex is
// t, ascending). No textures, lightmaps or vertex arrays.
TQuake3BSP VisibilityModel(const TBSPFile& records);

struct TPositionReport {
  std::int32_t Leaf = -1;
  std::int32_t Cluster = -1;
  std::int32_t MarkedFaces = 0;       // faces whose FaceVisible flag the marking pass set
  std::int32_t VisibleFaceCount = 0;  // what the frame would count: marked faces in a texture group
  // With --surfaces all: marked faces by type (polygon, patch, mesh, billboard, other).
  std::optional<std::array<std::int32_t, 5>> MarkedByType;
  // With --fast: of the faces a frame batches (polygons; with --surfaces all every drawn face),
  // those whose box the view from the position reaches (CullAt).
  std::optional<std::int32_t> DrawnAfterCulling;
  // With --brush-models: the brush models marked visible and their faces (in MarkedFaces too).
  std::optional<TBrushModelMarks> BrushModels;
};

// With --fast, after ReportAt: counts the report's DrawnAfterCulling for a view in `direction`
// at the default field of view and the aspect of the run's picture, each face's box taken from
// its vertices in the records (a curved surface's control points hold the whole surface).
void CullAt(TPositionReport& report, const TQuake3BSP& level, const TBSPFile& records,
            const TVector& position, TAtDirection direction, double aspect,
            const std::vector<std::uint8_t>* drawn = nullptr);

// Runs the marking pass of a frame at the position (FaceVisible is rewritten).
// With `drawn` (PlanSurfaces' flags, --surfaces all) the marked faces are also counted by type and
// VisibleFaceCount counts only the faces such a frame draws. With `brushModels` the level's brush
// models (AddBrushModels) are marked too, as a frame with --brush-models marks them.
TPositionReport ReportAt(TQuake3BSP& level, const TVector& position,
                         const std::vector<std::uint8_t>* drawn = nullptr, bool brushModels = false);

std::string PositionText(const TVector& position, const TPositionReport& report);
// One line of JSON Lines per queried position: the four counts, then "Position": [x, y, z]
// (and "MarkedByType" with --surfaces all).
std::string PositionJson(const TVector& position, const TPositionReport& report);

// The whole runs of --info and --at: load failures print one line and give exit code 1.
int RunInfo(const TRunOptions& options);
int RunAt(const TRunOptions& options);

}  // namespace app
