// Loading a level: the file is read in one go and checked as a whole (BSPFile), then turned into
// the level model: per-face arrays ready for OpenGL's client arrays, surface textures, lightmap
// textures, and the groups of faces by texture and by lightmap.
#include <chrono>
#include <cstring>
#include <optional>
#include <utility>

#include "level/BSPFile.h"
#include "level/Q3BSP.h"
#include "level/Q3BSP_images.h"
#include "level/Q3BSP_shaders.h"
#include "level/Q3BSP_surfaces.h"
#include "platform/ByteReader.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "textures/Textures.h"

namespace {

class TStopwatch {
 public:
  double LapMs() {
    const auto now = std::chrono::steady_clock::now();
    const double ms = std::chrono::duration<double, std::milli>(now - Start).count();
    Start = now;
    return ms;
  }

 private:
  std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
};

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

// Every image file the surfaces may load, in the order the loop below asks for them.
std::vector<std::string> SurfaceImageNames(const std::vector<TBSPTexture>& textures) {
  std::vector<std::string> names;
  for (const TBSPTexture& texture : textures)
    for (const char* extension : {".jpg", ".tga"}) names.push_back(TextureBaseName(texture) + extension);
  return names;
}

// A source that inflates its files (game-data archives) reads the images ahead on a thread of its
// own while this one decodes and uploads (with --shaders the shader loader says what it reads);
// what nobody asked for is dropped when the load ends.
class TReadAheadScope {
 public:
  TReadAheadScope(const TLevelOptions& options, const std::vector<TBSPTexture>& textures)
      : Files(options.Files && options.Files->ReadAhead ? options.Files : nullptr) {
    if (Files && !options.Shaders) Files->ReadAhead(SurfaceImageNames(textures));
  }
  ~TReadAheadScope() {
    if (Files) Files->ReadAhead({});
  }
  TReadAheadScope(const TReadAheadScope&) = delete;
  TReadAheadScope& operator=(const TReadAheadScope&) = delete;

 private:
  const platform::TFileSource* Files;
};

// Game data holds thousands of files from many archives: there an image that is named but cannot
// be had at all (an entry over the size limit, a read error; the search path has said which)
// costs only itself, with one message naming it, and its surfaces go without an image. Bytes that
// are had but end too early, and the plain load, keep the loaders' end.
void LoadSurfaceImage(TImageOnce& images, const std::string& name, GLuint& slot, bool gameData) {
  if (!gameData) return images.Load(name, slot);
  try {
    images.Load(name, slot);
  } catch (const platform::EUnreadableFile& e) {
    platform::ShowMessage("Couldn't load \"" + name + "\": " + e.what(), "Surface image");
  }
}

}  // namespace

bool TQuake3BSP::LoadBSP(const std::string& fileName, const TLevelOptions& options) {
  TStopwatch stopwatch;
  TLoadTimings timings;
  // Game data: the level and its images come from the search path for the whole load.
  std::optional<platform::TScopedFileSource> source;
  if (options.Files) source.emplace(*options.Files);
  const std::optional<std::vector<std::uint8_t>> bytes = platform::ReadWholeFile(fileName);
  if (!bytes) {
    platform::ShowMessage("Could not find the BSP file!", "Error", platform::TMessageIcon::Error);
    return false;
  }
  // Everything is read and checked before the level is touched: a refused file leaves it as it was.
  TBSPFile file = ParseBSP(*bytes);

  // Built from scratch, so that loading into a level that already holds one keeps nothing of it.
  *this = TQuake3BSP{};
  LightmapFilesWritten = !options.LightmapFilesOptional || platform::DirectoryExists("lgmp");
  Header = file.Header;
  VertexCount = static_cast<std::int32_t>(file.Vertices.size());
  FaceCount = static_cast<std::int32_t>(file.Faces.size());
  TextureCount = static_cast<std::int32_t>(file.Textures.size());
  LightmapCount = static_cast<std::int32_t>(file.Lightmaps.size());
  Faces = std::move(file.Faces);
  FaceVisible.assign(Faces.size(), 0);
  MeshVertexCount = static_cast<std::int32_t>(file.MeshVertices.size());
  BuildFaceArrays(*this, file);
  if (options.Surfaces == TSurfaceSet::All) {
    timings.ReadingMs = stopwatch.LapMs();
    TessellatePatches(*this, file, options.Tessellation);
    timings.TessellationMs = stopwatch.LapMs();
  }
  MeshVertices = std::move(file.MeshVertices);
  file.Vertices = {};
  timings.ReadingMs += stopwatch.LapMs();

  SurfaceTextures.assign(file.Textures.size(), 0);
  const TReadAheadScope readAhead(options, file.Textures);
  if (options.Shaders) LoadShadedSurfaces(*this, file.Textures, options.ShaderSource);
  TImageOnce images;
  for (std::size_t t = 0; t < file.Textures.size() && !options.Shaders; ++t) {
    const std::string baseName = TextureBaseName(file.Textures[t]);
    // Both images load when both exist; the .tga one, loaded last, ends up in the slot. The .jpg
    // texture it replaces stays with the context, as every texture does.
    for (const char* extension : {".jpg", ".tga"})
      if (platform::FileExists(baseName + extension))
        LoadSurfaceImage(images, baseName + extension, SurfaceTextures[t], options.Files != nullptr);
  }
  timings.SurfaceImagesMs = stopwatch.LapMs();
  GroupFaces(Faces, TextureCount, TextureFaceCounts, TextureFaces,
             [](const TBSPFace& face) { return face.TextureIndex; });

  // Each lightmap is exported and uploaded before the next is taken; a failed export ends the
  // load at that lightmap.
  LightmapTextures.assign(static_cast<std::size_t>(LightmapCount), 0);
  for (std::int32_t m = 0; m < LightmapCount; ++m)
    CreateLightmapTexture(LightmapTextures[static_cast<std::size_t>(m)],
                          file.Lightmaps[static_cast<std::size_t>(m)], 127, 127, m);
  timings.LightmapsMs = stopwatch.LapMs();
  GroupFaces(Faces, LightmapCount, LightmapFaceCounts, LightmapFaces,
             [](const TBSPFace& face) { return face.LightmapIndex; });
  if (options.Shaders) GroupShadedFaces(*this);

  LeafCount = static_cast<std::int32_t>(file.Leaves.size());
  NodeCount = static_cast<std::int32_t>(file.Nodes.size());
  LeafFaceCount = static_cast<std::int32_t>(file.LeafFaces.size());
  PlaneCount = static_cast<std::int32_t>(file.Planes.size());
  Leaves = std::move(file.Leaves);
  Nodes = std::move(file.Nodes);
  LeafFaces = std::move(file.LeafFaces);
  Planes = std::move(file.Planes);
  if (file.HasVisData) VisData = std::move(file.VisData);
  timings.ReadingMs += stopwatch.LapMs();
  LoadTimings = timings;
  return true;
}
