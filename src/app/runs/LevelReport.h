#pragma once
// What --info prints: a level's statistics (what --at prints is app/runs/PositionReport.h). Needs
// no window and no GL context.
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
#include "level/LevelFile.h"
#include "level/Q3BSP.h"
#include "level/Q3BSP_surfaces.h"
#include "level/SpawnPoints.h"
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
// `bytes`: the file as the run read it already (app/runs/LevelFile.h).
std::optional<TLoadedRecords> LoadLevelRecords(const std::string& path, const TLevelBytes& bytes = nullptr);

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

// The records, with the time they took on standard error for --verbose. No image or lightmap is
// loaded in --info or --at, so that is the whole load.
std::optional<TLoadedRecords> LoadForReport(const TRunOptions& options);

// What the load would let the curved surfaces take: the run's budget, or the default figures.
std::uint64_t TessellationBytesFor(const TRunOptions& options, std::size_t fileSize);

// The whole run of --info: a load failure prints one line and gives exit code 1.
int RunInfo(const TRunOptions& options);

}  // namespace app
