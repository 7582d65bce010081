#include "level/BSPFile.h"

#include <bit>
#include <cstring>
#include <type_traits>

#include "platform/ByteReader.h"

// The records are copied from the file as they lie; that is only right on a little-endian host.
static_assert(std::endian::native == std::endian::little, "the level file is little-endian");

namespace {

using platform::TByteReader;

const char* LumpName(int index) {
  static constexpr const char* kNames[kLumpCount] = {
      "entities", "textures", "planes", "nodes", "leaves", "leaf faces", "leaf brushes", "models",
      "brushes", "brush sides", "vertices", "mesh vertices", "effects", "faces", "lightmaps",
      "light volumes", "visibility data"};
  return kNames[index];
}

std::string LumpTitle(int index) {
  return "Lump " + std::to_string(index) + " (" + LumpName(index) + ")";
}

// A range first .. first + count - 1 as the messages print it (64-bit: first + count may overflow).
std::string RangeText(std::int64_t first, std::int64_t count) {
  return std::to_string(first) + ".." + std::to_string(first + count - 1);
}

bool RangeInside(std::int64_t first, std::int64_t count, std::int64_t size) {
  return first >= 0 && count >= 0 && first + count <= size;
}

void CheckLength(const std::array<TBSPLump, kLumpCount>& lumps, int index) {
  if (lumps[index].Length < 0)
    throw EBSPFormatError(LumpTitle(index) + ": negative length " +
                          std::to_string(lumps[index].Length));
}

// Reads `count` records of lump `index` in one block. The extent is checked against the bytes
// before anything is allocated, so a length that asks for more than the file holds costs nothing.
template <class TRecord>
std::vector<TRecord> ReadRecords(TByteReader& reader, const std::array<TBSPLump, kLumpCount>& lumps,
                                 int index, std::int32_t count) {
  static_assert(std::is_trivially_copyable_v<TRecord>);
  std::vector<TRecord> records;
  if (count <= 0) return records;  // an empty lump reads nothing, whatever its offset
  if (lumps[index].Offset < 0)
    throw EBSPFormatError(LumpTitle(index) + ": negative offset " +
                          std::to_string(lumps[index].Offset));
  reader.Seek(lumps[index].Offset);
  const std::span<const std::uint8_t> block =
      reader.Take(static_cast<std::size_t>(count) * sizeof(TRecord));
  records.resize(static_cast<std::size_t>(count));
  std::memcpy(records.data(), block.data(), block.size());
  return records;
}

// Faces may share vertex or mesh-vertex runs, so what the per-face arrays and triangle lists take
// is not bounded by the lumps themselves. On the OpenArena levels it is below two thirds of the
// file's size; a file whose runs would take more than this many times its size is refused rather
// than allowed to exhaust memory (or time: every mesh vertex of every face is checked).
constexpr std::int64_t kFaceDataPerFileByte = 16;

void CheckFaces(const TBSPFile& file, std::size_t fileSize) {
  const std::int64_t vertexCount = static_cast<std::int64_t>(file.Vertices.size());
  const std::int64_t meshVertexCount = static_cast<std::int64_t>(file.MeshVertices.size());
  std::int64_t faceVertices = 0;
  std::int64_t faceMeshVertices = 0;
  for (std::size_t i = 0; i < file.Faces.size(); ++i) {
    const TBSPFace& face = file.Faces[i];
    const std::string title = "Face " + std::to_string(i);
    if (face.NumVertices < 0)
      throw EBSPFormatError(title + ": negative vertex count " + std::to_string(face.NumVertices));
    if (face.NumVertices > 0 && !RangeInside(face.FirstVertex, face.NumVertices, vertexCount))
      throw EBSPFormatError(title + ": vertices " + RangeText(face.FirstVertex, face.NumVertices) +
                            " outside the " + std::to_string(vertexCount) +
                            " vertices of the level");
    if (face.NumMeshVertices < 0)
      throw EBSPFormatError(title + ": negative mesh vertex count " +
                            std::to_string(face.NumMeshVertices));
    if (face.NumMeshVertices > 0 &&
        !RangeInside(face.FirstMeshVertex, face.NumMeshVertices, meshVertexCount))
      throw EBSPFormatError(title + ": mesh vertices " +
                            RangeText(face.FirstMeshVertex, face.NumMeshVertices) + " outside the " +
                            std::to_string(meshVertexCount) + " mesh vertices of the level");
    faceVertices += face.NumVertices;
    faceMeshVertices += face.NumMeshVertices;
  }
  const std::int64_t faceDataBytes = faceVertices * 44 + faceMeshVertices * 4;
  if (faceDataBytes > kFaceDataPerFileByte * static_cast<std::int64_t>(fileSize))
    throw EBSPFormatError("Faces: their runs of " + std::to_string(faceVertices) + " vertices and " +
                          std::to_string(faceMeshVertices) + " mesh vertices would take " +
                          std::to_string(faceDataBytes) + " bytes, more than " +
                          std::to_string(kFaceDataPerFileByte) + " times the file's " +
                          std::to_string(fileSize) + " bytes");
  for (std::size_t i = 0; i < file.Faces.size(); ++i) {
    const TBSPFace& face = file.Faces[i];
    for (std::int32_t k = 0; k < face.NumMeshVertices; ++k) {
      const std::int32_t offset = file.MeshVertices[static_cast<std::size_t>(face.FirstMeshVertex + k)];
      if (offset < 0 || offset >= face.NumVertices)
        throw EBSPFormatError("Face " + std::to_string(i) + ": mesh vertex " +
                              std::to_string(face.FirstMeshVertex + k) + " points to vertex " +
                              std::to_string(offset) + " outside the face's " +
                              std::to_string(face.NumVertices) + " vertices");
    }
  }
}

void CheckLeaves(const TBSPFile& file, std::size_t fileSize) {
  const std::int64_t leafFaceCount = static_cast<std::int64_t>(file.LeafFaces.size());
  std::int64_t leafFaceRuns = 0;
  for (std::size_t i = 0; i < file.Leaves.size(); ++i) {
    const TBSPLeaf& leaf = file.Leaves[i];
    if (leaf.NumLeafFaces < 0)
      throw EBSPFormatError("Leaf " + std::to_string(i) + ": negative leaf face count " +
                            std::to_string(leaf.NumLeafFaces));
    if (leaf.NumLeafFaces > 0 &&
        !RangeInside(leaf.FirstLeafFace, leaf.NumLeafFaces, leafFaceCount))
      throw EBSPFormatError("Leaf " + std::to_string(i) + ": leaf faces " +
                            RangeText(leaf.FirstLeafFace, leaf.NumLeafFaces) + " outside the " +
                            std::to_string(leafFaceCount) + " leaf faces of the level");
    leafFaceRuns += leaf.NumLeafFaces;
  }
  // Leaves may share runs too; the visibility pass walks every visible leaf's run each frame.
  if (leafFaceRuns * 4 > kFaceDataPerFileByte * static_cast<std::int64_t>(fileSize))
    throw EBSPFormatError("Leaves: their runs of " + std::to_string(leafFaceRuns) +
                          " leaf faces would take " + std::to_string(leafFaceRuns * 4) +
                          " bytes, more than " + std::to_string(kFaceDataPerFileByte) +
                          " times the file's " + std::to_string(fileSize) + " bytes");
  const std::size_t faceCount = file.Faces.size();
  for (std::size_t i = 0; i < file.LeafFaces.size(); ++i) {
    const std::int32_t face = file.LeafFaces[i];
    if (face < 0 || static_cast<std::size_t>(face) >= faceCount)
      throw EBSPFormatError("Leaf face " + std::to_string(i) + ": face " + std::to_string(face) +
                            " outside the " + std::to_string(faceCount) + " faces of the level");
  }
}

void CheckChild(const TBSPFile& file, std::size_t node, const char* side, std::int32_t child) {
  const std::string title = "Node " + std::to_string(node) + ": " + side + " child ";
  if (child >= 0) {
    if (static_cast<std::size_t>(child) >= file.Nodes.size())
      throw EBSPFormatError(title + "node " + std::to_string(child) + " outside the " +
                            std::to_string(file.Nodes.size()) + " nodes of the level");
    // Every level compiler writes a node's children after it (true of every OpenArena level), and
    // that is what guarantees that a descent from the root ends.
    if (static_cast<std::size_t>(child) <= node)
      throw EBSPFormatError(title + "node " + std::to_string(child) +
                            " does not come after its parent");
  } else {
    const std::int64_t leaf = -(static_cast<std::int64_t>(child) + 1);
    if (leaf >= static_cast<std::int64_t>(file.Leaves.size()))
      throw EBSPFormatError(title + "leaf " + std::to_string(leaf) + " outside the " +
                            std::to_string(file.Leaves.size()) + " leaves of the level");
  }
}

void CheckNodes(const TBSPFile& file) {
  for (std::size_t i = 0; i < file.Nodes.size(); ++i) {
    const TBSPNode& node = file.Nodes[i];
    if (node.PlaneIndex < 0 || static_cast<std::size_t>(node.PlaneIndex) >= file.Planes.size())
      throw EBSPFormatError("Node " + std::to_string(i) + ": plane " +
                            std::to_string(node.PlaneIndex) + " outside the " +
                            std::to_string(file.Planes.size()) + " planes of the level");
    CheckChild(file, i, "front", node.Front);
    CheckChild(file, i, "back", node.Back);
  }
}

void ReadVisData(TByteReader& reader, TBSPFile& file) {
  const TBSPLump& lump = file.Lumps[kVisData];
  if (lump.Length <= 0) return;  // not read at all: every cluster counts as visible
  if (lump.Offset < 0)
    throw EBSPFormatError(LumpTitle(kVisData) + ": negative offset " + std::to_string(lump.Offset));
  reader.Seek(lump.Offset);
  file.VisData.ClusterCount = reader.Read<std::int32_t>();
  file.VisData.BytesPerCluster = reader.Read<std::int32_t>();
  const std::int32_t clusters = file.VisData.ClusterCount;
  const std::int32_t rowBytes = file.VisData.BytesPerCluster;
  const std::int64_t bitsSize = static_cast<std::int64_t>(clusters) * rowBytes;
  if (clusters < 0 || rowBytes < 0 || 8 + bitsSize > lump.Length)
    throw EBSPFormatError("Visibility data: " + std::to_string(clusters) + " rows of " +
                          std::to_string(rowBytes) + " bytes do not fit in the lump's " +
                          std::to_string(lump.Length) + " bytes");
  const std::span<const std::uint8_t> bits = reader.Take(static_cast<std::size_t>(bitsSize));
  file.VisData.Bits.assign(bits.begin(), bits.end());
  file.HasVisData = true;
}

}  // namespace

std::int32_t TruncatedCount(std::int32_t length, std::int32_t recordSize) {
  return length / recordSize;
}

std::int32_t RoundedCount(std::int32_t length, std::int32_t recordSize) {
  // Integer form of rounding length / recordSize half to even; exact for every int32 length.
  std::int32_t quotient = length / recordSize;
  const std::int32_t twiceRemainder = 2 * (length % recordSize);
  if (twiceRemainder > recordSize || (twiceRemainder == recordSize && quotient % 2 != 0))
    ++quotient;
  else if (twiceRemainder < -recordSize || (twiceRemainder == -recordSize && quotient % 2 != 0))
    --quotient;
  return quotient;
}

std::string TextureBaseName(const TBSPTexture& texture) {
  const void* nul = std::memchr(texture.Name, '\0', sizeof texture.Name);
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - texture.Name)
          : sizeof texture.Name;
  return std::string(texture.Name, length);
}

std::vector<std::uint32_t> FaceTriangleIndices(const TBSPFace& face,
                                               std::span<const std::int32_t> meshVertices) {
  std::vector<std::uint32_t> indices;
  if (face.NumMeshVertices <= 0) return indices;
  const auto run = meshVertices.subspan(static_cast<std::size_t>(face.FirstMeshVertex),
                                        static_cast<std::size_t>(face.NumMeshVertices));
  indices.assign(run.begin(), run.end());
  return indices;
}

std::optional<std::string> CutShortText(std::span<const std::uint8_t> bytes) {
  std::array<TBSPLump, kLumpCount> lumps;
  if (bytes.size() < sizeof(TBSPHeader) + sizeof lumps) return std::nullopt;
  std::memcpy(lumps.data(), bytes.data() + sizeof(TBSPHeader), sizeof lumps);
  const std::int64_t size = static_cast<std::int64_t>(bytes.size());
  // The lump that holds the file's end, else the nearest one past it.
  int inside = -1, after = -1;
  for (int i = 0; i < kLumpCount; ++i) {
    const std::int64_t offset = lumps[i].Offset, end = offset + lumps[i].Length;
    if (lumps[i].Length <= 0 || offset < 0 || end <= size) continue;
    if (offset < size && (inside < 0 || offset < lumps[inside].Offset)) inside = i;
    if (offset >= size && (after < 0 || offset < lumps[after].Offset)) after = i;
  }
  const int lump = inside >= 0 ? inside : after;
  if (lump < 0) return std::nullopt;
  return std::string("cut short ") + (inside >= 0 ? "inside" : "before") + " lump " +
         std::to_string(lump) + " (" + LumpName(lump) + "), which ends at byte " +
         std::to_string(std::int64_t{lumps[lump].Offset} + lumps[lump].Length);
}

TBSPFile ParseBSP(std::span<const std::uint8_t> bytes) {
  TByteReader reader(bytes);
  TBSPFile file;
  file.Header = reader.Read<TBSPHeader>();  // neither ID nor Version is checked
  reader.Read(file.Lumps.data(), sizeof file.Lumps);
  const auto& lumps = file.Lumps;

  for (int index : {kTextures, kPlanes, kNodes, kLeaves, kLeafFaces, kVertices, kMeshVertices,
                    kFaces, kLightmaps})
    CheckLength(lumps, index);

  // The loader's order of reading, so that a short file fails at the same lump as it would there.
  file.Vertices = ReadRecords<TBSPVertex>(reader, lumps, kVertices,
                                          TruncatedCount(lumps[kVertices].Length, 44));
  file.Faces = ReadRecords<TBSPFace>(reader, lumps, kFaces, TruncatedCount(lumps[kFaces].Length, 104));
  file.Textures = ReadRecords<TBSPTexture>(reader, lumps, kTextures,
                                           TruncatedCount(lumps[kTextures].Length, 72));
  file.Lightmaps = ReadRecords<TBSPLightmap>(reader, lumps, kLightmaps,
                                             TruncatedCount(lumps[kLightmaps].Length, 49152));
  // Leaves before nodes, as the loader reads them. These counts round: a lump of 1.5 records
  // reads 2, past its end, which is harmless as long as the bytes are in the file.
  file.Leaves = ReadRecords<TBSPLeaf>(reader, lumps, kLeaves, RoundedCount(lumps[kLeaves].Length, 48));
  file.Nodes = ReadRecords<TBSPNode>(reader, lumps, kNodes, RoundedCount(lumps[kNodes].Length, 36));
  file.LeafFaces = ReadRecords<std::int32_t>(reader, lumps, kLeafFaces,
                                             RoundedCount(lumps[kLeafFaces].Length, 4));
  file.Planes = ReadRecords<TBSPPlane>(reader, lumps, kPlanes, RoundedCount(lumps[kPlanes].Length, 16));
  ReadVisData(reader, file);
  file.MeshVertices = ReadRecords<std::int32_t>(reader, lumps, kMeshVertices,
                                                TruncatedCount(lumps[kMeshVertices].Length, 4));

  CheckFaces(file, bytes.size());
  CheckLeaves(file, bytes.size());
  CheckNodes(file);
  return file;
}
