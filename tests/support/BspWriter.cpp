#include "support/BspWriter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "support/TestSupport.h"

namespace testsupport {
namespace {

template <class T>
std::vector<std::uint8_t> AsBytes(const std::vector<T>& records) {
  std::vector<std::uint8_t> bytes(records.size() * sizeof(T));
  if (!bytes.empty()) std::memcpy(bytes.data(), records.data(), bytes.size());
  return bytes;
}

template <class T>
void Append(std::vector<std::uint8_t>& bytes, const T& value) {
  const auto* first = reinterpret_cast<const std::uint8_t*>(&value);
  bytes.insert(bytes.end(), first, first + sizeof(T));
}

}  // namespace

TBSPTexture TBspWriter::Texture(const std::string& name) {
  TBSPTexture texture{};
  std::memcpy(texture.Name, name.data(), std::min(name.size(), sizeof texture.Name));
  return texture;
}

TBSPVertex TBspWriter::Vertex(float x, float y, float z, float s, float t) {
  TBSPVertex vertex{};
  vertex.Position = {x, y, z};
  vertex.TexCoord = {s, t};
  return vertex;
}

void TBspWriter::AddQuad(std::int32_t texture, std::int32_t lightmap, float x, float y0, float y1, float z0,
                         float z1, std::array<std::uint8_t, 4> colour, bool clockwise) {
  const std::int32_t first = static_cast<std::int32_t>(Vertices.size());
  const float corners[4][2] = {{y1, z0}, {y1, z1}, {y0, z1}, {y0, z0}};
  for (const auto& [y, z] : corners) {
    TBSPVertex v = Vertex(x, y, z, (y1 - y) / (y1 - y0), (z - z0) / (z1 - z0));
    v.LightmapCoord = {(y1 - y) / (y1 - y0), (z1 - z) / (z1 - z0)};
    std::copy(colour.begin(), colour.end(), v.Color);
    Vertices.push_back(v);
  }
  if (!clockwise) std::swap(Vertices[static_cast<std::size_t>(first) + 1], Vertices.back());
  Faces.push_back(Face(texture, first, 4, lightmap));
  LeafFaces.push_back(static_cast<std::int32_t>(Faces.size()) - 1);
}

TBSPFace TBspWriter::Face(std::int32_t textureIndex, std::int32_t firstVertex,
                          std::int32_t numVertices, std::int32_t lightmapIndex,
                          std::int32_t faceType) {
  TBSPFace face{};
  face.TextureIndex = textureIndex;
  face.FaceType = faceType;
  face.FirstVertex = firstVertex;
  face.NumVertices = numVertices;
  face.LightmapIndex = lightmapIndex;
  return face;
}

TBSPNode TBspWriter::Node(std::int32_t planeIndex, std::int32_t front, std::int32_t back) {
  TBSPNode node{};
  node.PlaneIndex = planeIndex;
  node.Front = front;
  node.Back = back;
  return node;
}

TBSPLeaf TBspWriter::Leaf(std::int32_t cluster, std::int32_t firstLeafFace,
                          std::int32_t numLeafFaces) {
  TBSPLeaf leaf{};
  leaf.Cluster = cluster;
  leaf.FirstLeafFace = firstLeafFace;
  leaf.NumLeafFaces = numLeafFaces;
  return leaf;
}

TBSPLightmap TBspWriter::Lightmap(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  TBSPLightmap lightmap{};
  for (auto& row : lightmap.ImageBits)
    for (auto& pixel : row) {
      pixel[0] = r;
      pixel[1] = g;
      pixel[2] = b;
    }
  return lightmap;
}

TBspWriter TBspWriter::SmallLevel(const std::string& textureName) {
  TBspWriter writer;
  writer.Textures = {Texture(textureName)};
  writer.Vertices = {Vertex(0, 0, 0, 0, 0), Vertex(64, 0, 0, 1, 0), Vertex(64, 64, 0, 1, 1),
                     Vertex(0, 64, 0, 0, 1)};
  for (std::size_t i = 0; i < writer.Vertices.size(); ++i) {
    writer.Vertices[i].LightmapCoord = writer.Vertices[i].TexCoord;
    writer.Vertices[i].Normal = {0, 0, 1};
    std::memset(writer.Vertices[i].Color, 255, sizeof writer.Vertices[i].Color);
  }
  writer.MeshVertices = {0, 1, 2, 0, 2, 3};
  TBSPFace face = Face(0, 0, 4, 0);
  face.FirstMeshVertex = 0;
  face.NumMeshVertices = 6;
  face.Normal = {0, 0, 1};
  writer.Faces = {face};
  writer.Lightmaps = {Lightmap(40, 40, 40)};
  writer.Planes = {TBSPPlane{{0, 0, 1}, 0}};
  writer.Nodes = {Node(0, -1, -2)};
  writer.Leaves = {Leaf(0, 0, 1), Leaf(1, 1, 0)};
  writer.LeafFaces = {0};
  writer.VisData = TBSPVisData{2, 1, {0x03, 0x03}};
  return writer;
}

void TBspWriter::SetRawLump(int index, std::vector<std::uint8_t> bytes) {
  RawLumps.at(index) = std::move(bytes);
}

void TBspWriter::SetLumpOffset(int index, std::int32_t offset) { OffsetOverrides.at(index) = offset; }

void TBspWriter::SetLumpLength(int index, std::int32_t length) { LengthOverrides.at(index) = length; }

std::vector<std::uint8_t> TBspWriter::Bytes() const {
  std::array<std::vector<std::uint8_t>, kLumpCount> lumps;
  lumps[kEntities].assign(Entities.begin(), Entities.end());
  lumps[kTextures] = AsBytes(Textures);
  lumps[kPlanes] = AsBytes(Planes);
  lumps[kNodes] = AsBytes(Nodes);
  lumps[kLeaves] = AsBytes(Leaves);
  lumps[kLeafFaces] = AsBytes(LeafFaces);
  lumps[kVertices] = AsBytes(Vertices);
  lumps[kMeshVertices] = AsBytes(MeshVertices);
  lumps[kFaces] = AsBytes(Faces);
  lumps[kLightmaps] = AsBytes(Lightmaps);
  if (VisData) {
    Append(lumps[kVisData], VisData->ClusterCount);
    Append(lumps[kVisData], VisData->BytesPerCluster);
    lumps[kVisData].insert(lumps[kVisData].end(), VisData->Bits.begin(), VisData->Bits.end());
  }
  for (int i = 0; i < kLumpCount; ++i)
    if (RawLumps[i]) lumps[i] = *RawLumps[i];

  std::vector<std::uint8_t> bytes(sizeof(TBSPHeader) + sizeof(TBSPLump) * kLumpCount);
  std::memcpy(bytes.data(), &Header, sizeof Header);
  for (int i = 0; i < kLumpCount; ++i) {
    LastDirectory[i].Offset = static_cast<std::int32_t>(bytes.size());
    LastDirectory[i].Length = static_cast<std::int32_t>(lumps[i].size());
    bytes.insert(bytes.end(), lumps[i].begin(), lumps[i].end());
  }
  bytes.insert(bytes.end(), Trailer.begin(), Trailer.end());
  for (int i = 0; i < kLumpCount; ++i) {
    if (OffsetOverrides[i]) LastDirectory[i].Offset = *OffsetOverrides[i];
    if (LengthOverrides[i]) LastDirectory[i].Length = *LengthOverrides[i];
  }
  std::memcpy(bytes.data() + sizeof(TBSPHeader), LastDirectory.data(), sizeof LastDirectory);
  return bytes;
}

void TBspWriter::WriteTo(const std::string& path) const {
  std::string slashed = path;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  const std::filesystem::path parent = std::filesystem::path(slashed).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent);
  WriteFile(slashed, Bytes());
}

}  // namespace testsupport
