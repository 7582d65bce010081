// Loading a level, the model's side: the file is read in one go and checked as a whole (BSPFile),
// then turned into the level model: per-face arrays ready for OpenGL's client arrays, and the
// groups of faces by texture and by lightmap. The textures are render/'s (Q3BSP_upload.cpp).
#include "level/Q3BSP_load.h"

#include <cstring>
#include <utility>

#include "level/LightmapFiles.h"
#include "level/NoDraw.h"
#include "level/Q3BSP_shading.h"
#include "level/Q3BSP_surfaces.h"
#include "level/VertexLight.h"
#include "platform/Messages.h"

namespace {

// Each face's vertices copied into its own arrays, so that the renderer can hand them to
// OpenGL's client arrays as they are. The texture's t is negated: the level's images are stored
// top row first, the textures bottom row first.
void BuildFaceArrays(TQuake3BSP& level, const TBSPFile& file) {
  const std::size_t faceCount = level.Faces.size();
  level.FaceVertices.resize(faceCount);
  level.FaceNormals.resize(faceCount);
  level.FaceTexCoords.resize(faceCount);
  level.FaceLightmapCoords.resize(faceCount);
  level.FaceColors.resize(faceCount);
  level.FaceIndices.resize(faceCount);
  for (std::size_t i = 0; i < faceCount; ++i) {
    const TBSPFace& face = level.Faces[i];
    const std::size_t count = static_cast<std::size_t>(face.NumVertices);
    AGLNrf3& positions = level.FaceVertices[i];
    AGLNrf3& normals = level.FaceNormals[i];
    AGLNrf2& texCoords = level.FaceTexCoords[i];
    AGLNrf2& lightmapCoords = level.FaceLightmapCoords[i];
    AGLbyt4& colors = level.FaceColors[i];
    positions.resize(count);
    normals.resize(count);
    texCoords.resize(count);
    lightmapCoords.resize(count);
    colors.resize(count);
    for (std::size_t j = 0; j < count; ++j) {
      const TBSPVertex& vertex = file.Vertices[static_cast<std::size_t>(face.FirstVertex) + j];
      positions[j] = vertex.Position;
      normals[j] = vertex.Normal;
      texCoords[j] = {vertex.TexCoord.S, -vertex.TexCoord.T};
      lightmapCoords[j] = vertex.LightmapCoord;
      std::memcpy(colors[j].data(), vertex.Color, 4);
    }
    level.FaceIndices[i] = FaceTriangleIndices(face, file.MeshVertices);
  }
}

// The faces of each group in ascending order. One pass over the faces gives the same lists as
// scanning every face once per group, without its cost on a level with many groups.
template <class TGroupOf>
void GroupFaces(const std::vector<TBSPFace>& faces, std::int32_t groupCount,
                std::vector<std::int32_t>& counts, std::vector<std::vector<std::int32_t>>& lists,
                TGroupOf groupOf) {
  counts.assign(static_cast<std::size_t>(groupCount), 0);
  lists.assign(static_cast<std::size_t>(groupCount), {});
  for (std::size_t f = 0; f < faces.size(); ++f) {
    const std::int32_t group = groupOf(faces[f]);
    // A group index outside the level's groups (a face without lightmap has -1) joins no group.
    if (group < 0 || group >= groupCount) continue;
    ++counts[static_cast<std::size_t>(group)];
    lists[static_cast<std::size_t>(group)].push_back(static_cast<std::int32_t>(f));
  }
}

// Every image file the surfaces may load, in the order the plain load asks for them.
std::vector<std::string> SurfaceImageNames(const std::vector<TBSPTexture>& textures) {
  std::vector<std::string> names;
  for (const TBSPTexture& texture : textures)
    for (const char* extension : {".jpg", ".tga"}) names.push_back(TextureBaseName(texture) + extension);
  return names;
}

}  // namespace

TReadAheadScope::TReadAheadScope(const TLevelOptions& options,
                                 const std::vector<TBSPTexture>& textures)
    : Files(options.Files && options.Files->ReadAhead ? options.Files : nullptr) {
  if (Files && !options.Shaders) Files->ReadAhead(SurfaceImageNames(textures));
}

TLevelLoad::TLevelLoad(const TLevelOptions& options)
    : Options(options), Budget(options.Budget ? *options.Budget : OwnBudget) {
  // Game data: the level and its images come from the search path for the whole load.
  if (options.Files) Source.emplace(*options.Files);
}

bool ReadLevelFile(TLevelLoad& load, const std::string& fileName) {
  load.Bytes = platform::ReadWholeFile(fileName);
  if (!load.Bytes) {
    platform::ShowMessage("Could not find the BSP file!", "Error", platform::TMessageIcon::Error);
    return false;
  }
  // Everything is read and checked before the level is touched: a refused file leaves it as it was.
  load.File = ParseBSP(*load.Bytes);
  return true;
}

void BuildLevelModel(TQuake3BSP& level, TLevelLoad& load) {
  const TLevelOptions& options = load.Options;
  TBSPFile& file = load.File;
  // Built from scratch, so that loading into a level that already holds one keeps nothing of it.
  level = TQuake3BSP{};
  level.LightmapFilesWritten = !options.LightmapFilesOptional || platform::DirectoryExists("lgmp");
  level.Lighting.GameLight = options.GameLight;
  level.Shading.JoinedSky = options.JoinedSky;
  level.Shading.GameStages = options.GameStages;
  level.Shading.FogLayers = options.FogLayers;
  level.Shading.Portals = options.Portals;
  level.Shading.SkyInView = options.SkyInView;
  level.Shading.VertexTurb = options.VertexTurb;
  level.Shading.GlowImages = options.GlowImages;
  level.Shading.ClampCoords = options.ClampCoords;
  level.Header = file.Header;
  level.VertexCount = static_cast<std::int32_t>(file.Vertices.size());
  level.FaceCount = static_cast<std::int32_t>(file.Faces.size());
  level.TextureCount = static_cast<std::int32_t>(file.Textures.size());
  level.LightmapCount = static_cast<std::int32_t>(file.Lightmaps.size());
  level.Faces = std::move(file.Faces);
  level.FaceVisible.assign(level.Faces.size(), 0);
  level.MeshVertexCount = static_cast<std::int32_t>(file.MeshVertices.size());
  BuildFaceArrays(level, file);
  if (options.Surfaces == TSurfaceSet::All) {
    load.Timings.ReadingMs = load.Stopwatch.LapMs();
    TessellatePatches(level, file, options.Tessellation, &load.Budget, load.Bytes ? load.Bytes->size() : 0,
                      options.SkipNoDraw);
    load.Timings.TessellationMs = load.Stopwatch.LapMs();
  }
  if (options.VertexLight) BuildVertexLightColours(level, file);
  level.MeshVertices = std::move(file.MeshVertices);
  file.Vertices = {};
  load.Timings.ReadingMs += load.Stopwatch.LapMs();
}

void PrepareSurfaceImages(TQuake3BSP& level, TLevelLoad& load) {
  level.SurfaceTextures.assign(load.File.Textures.size(), 0);
  load.ReadAhead.emplace(load.Options, load.File.Textures);
}

void GroupTextureFaces(TQuake3BSP& level) {
  GroupFaces(level.Faces, level.TextureCount, level.TextureFaceCounts, level.TextureFaces,
             [](const TBSPFace& face) { return face.TextureIndex; });
}

void FinishLevelModel(TQuake3BSP& level, TLevelLoad& load) {
  TBSPFile& file = load.File;
  GroupFaces(level.Faces, level.LightmapCount, level.LightmapFaceCounts, level.LightmapFaces,
             [](const TBSPFace& face) { return face.LightmapIndex; });
  if (level.Lighting.FromFiles) LeaveOutUnusableLightmaps(level);
  if (load.Options.SkipNoDraw) LeaveOutNoDrawFaces(level, file.Textures);
  if (load.Options.Shaders && load.Bytes) GroupShadedFaces(level, *load.Bytes, file.Lumps, file.Planes);
  if (load.Options.VertexLight) GroupVertexLitFaces(level, load.Options.Shaders);

  level.LeafCount = static_cast<std::int32_t>(file.Leaves.size());
  level.NodeCount = static_cast<std::int32_t>(file.Nodes.size());
  level.LeafFaceCount = static_cast<std::int32_t>(file.LeafFaces.size());
  level.PlaneCount = static_cast<std::int32_t>(file.Planes.size());
  level.Leaves = std::move(file.Leaves);
  level.Nodes = std::move(file.Nodes);
  level.LeafFaces = std::move(file.LeafFaces);
  level.Planes = std::move(file.Planes);
  if (file.HasVisData) level.VisData = std::move(file.VisData);
  load.Timings.ReadingMs += load.Stopwatch.LapMs();
  level.LoadTimings = load.Timings;
  load.Budget.Report();
}
