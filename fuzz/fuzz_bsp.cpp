// The level-file reader over arbitrary bytes: it may refuse them, but only with its two errors,
// and whatever it accepts must be safe to walk, which the walk below makes the sanitizers check.
// What it accepts is then built into the level model with every surface, the vertex colours of
// the vertex pass and the list of lightmap files (the input's first byte says how many exist).
#include <cstddef>
#include <cstdint>
#include <span>

#include "level/BSPFile.h"
#include "level/LightmapFiles.h"
#include "level/Q3BSP_load.h"
#include "platform/ByteReader.h"

namespace {

void Walk(const TBSPFile& file) {
  volatile std::uint64_t sink = 0;
  for (const TBSPFace& face : file.Faces) {
    for (std::int32_t j = 0; j < face.NumVertices; ++j)
      sink = sink + file.Vertices[static_cast<std::size_t>(face.FirstVertex) + j].Color[0];
    for (std::uint32_t index : FaceTriangleIndices(face, file.MeshVertices))
      sink = sink + file.Vertices[static_cast<std::size_t>(face.FirstVertex) + index].Color[1];
  }
  for (const TBSPLeaf& leaf : file.Leaves)
    for (std::int32_t k = 0; k < leaf.NumLeafFaces; ++k)
      sink = sink + file.Faces[static_cast<std::size_t>(
                        file.LeafFaces[static_cast<std::size_t>(leaf.FirstLeafFace) + k])]
                        .FaceType;
  // Every descent from the root ends in a leaf within a node count of steps.
  if (!file.Nodes.empty()) {
    for (int side = 0; side < 2; ++side) {
      std::int32_t index = 0;
      std::size_t steps = 0;
      while (index >= 0) {
        const TBSPNode& node = file.Nodes[static_cast<std::size_t>(index)];
        sink = sink + (file.Planes[static_cast<std::size_t>(node.PlaneIndex)].Distance > 0);
        index = side == 0 ? node.Front : node.Back;
        if (++steps > file.Nodes.size()) __builtin_trap();
      }
      sink = sink + static_cast<std::uint64_t>(file.Leaves[static_cast<std::size_t>(-(index + 1))].Cluster);
    }
  }
  if (file.HasVisData &&
      file.VisData.Bits.size() != static_cast<std::size_t>(file.VisData.ClusterCount) *
                                      static_cast<std::size_t>(file.VisData.BytesPerCluster))
    __builtin_trap();
  for (const TBSPTexture& texture : file.Textures) sink = sink + TextureBaseName(texture).size();
  for (const TBSPLightmap& lightmap : file.Lightmaps) sink = sink + lightmap.ImageBits[127][127][2];
}

// The model's side of --surfaces all and --vertex-light: every colour of the pass has its vertex.
void BuildModel(TBSPFile file, std::span<const std::uint8_t> bytes, std::size_t filesThatExist) {
  TLevelOptions options;
  options.Surfaces = TSurfaceSet::All;
  options.Tessellation = 2;  // every curved surface still evaluated, at a fuzzer's pace
  options.VertexLight = true;
  TLevelLoad load(options);
  load.File = std::move(file);
  load.Bytes.emplace(bytes.begin(), bytes.end());  // the curved surfaces' allowance goes by its size
  const TLightmapFileList list = FindLightmapFiles("maps/x/", load.File.Faces, [&](const std::string& name) {
    return name.ends_with(".png") && std::stoul(name.substr(name.size() - 8, 4)) < filesThatExist;
  });
  if (list.Names.size() > filesThatExist) __builtin_trap();
  TQuake3BSP level;
  BuildLevelModel(level, load);
  GroupTextureFaces(level);
  FinishLevelModel(level, load);
  volatile std::uint64_t sink = 0;
  for (const std::int32_t f : level.Lighting.VertexLitFaces) {
    const std::size_t face = static_cast<std::size_t>(f);
    if (level.Lighting.FaceColours[face].size() != level.FaceVertices[face].size()) __builtin_trap();
    for (const std::uint32_t index : level.FaceIndices[face]) sink = sink + level.Lighting.FaceColours[face][index][0];
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    TBSPFile file = ParseBSP(std::span<const std::uint8_t>(data, size));
    Walk(file);
    BuildModel(std::move(file), {data, size}, size > 0 ? data[0] % 8 : 0);
  } catch (const EBSPFormatError&) {
  } catch (const platform::EInOutError&) {
  }
  return 0;
}
