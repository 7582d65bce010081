// The level-file reader on its own: counts, record layout, and every bound it enforces, each
// tested on both sides with the exact text of the refusal.
#include "level/BSPFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "platform/ByteReader.h"
#include "support/BspWriter.h"

using testsupport::TBspWriter;

namespace {

TBSPFile Parse(const TBspWriter& writer) {
  const std::vector<std::uint8_t> bytes = writer.Bytes();
  return ParseBSP(bytes);
}

// The text of the EBSPFormatError the level raises, or "" when it parses.
std::string Refusal(const TBspWriter& writer) {
  try {
    Parse(writer);
    return "";
  } catch (const EBSPFormatError& error) {
    return error.what();
  }
}

void ExpectReadBeyondEnd(const TBspWriter& writer) {
  try {
    Parse(writer);
    ADD_FAILURE() << "parsed";
  } catch (const platform::EInOutError& error) {
    EXPECT_STREQ(error.what(), "Read beyond end of file");
  }
}

template <class T>
std::vector<std::uint8_t> RecordBytes(const std::vector<T>& records) {
  std::vector<std::uint8_t> bytes(records.size() * sizeof(T));
  std::memcpy(bytes.data(), records.data(), bytes.size());
  return bytes;
}

}  // namespace

TEST(BSPCounts, VertexFaceTextureAndLightmapCountsTruncate) {
  EXPECT_EQ(TruncatedCount(150, 104), 1);
  EXPECT_EQ(TruncatedCount(103, 104), 0);
  EXPECT_EQ(TruncatedCount(208, 104), 2);
  EXPECT_EQ(TruncatedCount(87, 44), 1);
  EXPECT_EQ(TruncatedCount(49151, 49152), 0);
}

TEST(BSPCounts, NodeLeafLeafFaceAndPlaneCountsRoundHalfToEven) {
  EXPECT_EQ(RoundedCount(54, 36), 2);   // 1.5
  EXPECT_EQ(RoundedCount(18, 36), 0);   // 0.5
  EXPECT_EQ(RoundedCount(90, 36), 2);   // 2.5
  EXPECT_EQ(RoundedCount(126, 36), 4);  // 3.5
  EXPECT_EQ(RoundedCount(53, 36), 1);
  EXPECT_EQ(RoundedCount(55, 36), 2);
  EXPECT_EQ(RoundedCount(120, 48), 2);  // 2.5
  EXPECT_EQ(RoundedCount(72, 48), 2);   // 1.5
  EXPECT_EQ(RoundedCount(6, 4), 2);     // 1.5
  EXPECT_EQ(RoundedCount(10, 4), 2);    // 2.5
  EXPECT_EQ(RoundedCount(40, 16), 2);   // 2.5
  EXPECT_EQ(RoundedCount(INT_MAX, 4), 536870912);
}

TEST(BSPFile, ReadsTheRecordsAsStored) {
  TBspWriter writer = TBspWriter::SmallLevel("textures/base/floor");
  writer.Header = {{'X', 'Y', 'Z', 'W'}, 47};  // neither field is checked
  writer.Vertices[2].Color[1] = 77;
  const TBSPFile file = Parse(writer);
  EXPECT_EQ(std::memcmp(file.Header.ID, "XYZW", 4), 0);
  EXPECT_EQ(file.Header.Version, 47);
  ASSERT_EQ(file.Vertices.size(), 4u);
  EXPECT_EQ(std::memcmp(file.Vertices.data(), writer.Vertices.data(), 4 * sizeof(TBSPVertex)), 0);
  ASSERT_EQ(file.Faces.size(), 1u);
  EXPECT_EQ(std::memcmp(&file.Faces[0], &writer.Faces[0], sizeof(TBSPFace)), 0);
  ASSERT_EQ(file.Textures.size(), 1u);
  EXPECT_EQ(TextureBaseName(file.Textures[0]), "textures/base/floor");
  ASSERT_EQ(file.Lightmaps.size(), 1u);
  EXPECT_EQ(std::memcmp(&file.Lightmaps[0], &writer.Lightmaps[0], sizeof(TBSPLightmap)), 0);
  EXPECT_EQ(file.Nodes.size(), 1u);
  EXPECT_EQ(file.Nodes[0].Back, -2);
  ASSERT_EQ(file.Leaves.size(), 2u);
  EXPECT_EQ(file.Leaves[1].Cluster, 1);
  EXPECT_EQ(file.LeafFaces, std::vector<std::int32_t>{0});
  ASSERT_EQ(file.Planes.size(), 1u);
  EXPECT_EQ(file.Planes[0].Normal.Z, 1.0f);
  EXPECT_EQ(file.MeshVertices, (std::vector<std::int32_t>{0, 1, 2, 0, 2, 3}));
  EXPECT_TRUE(file.HasVisData);
  EXPECT_EQ(file.VisData.ClusterCount, 2);
  EXPECT_EQ(file.VisData.BytesPerCluster, 1);
  EXPECT_EQ(file.VisData.Bits, (std::vector<std::uint8_t>{3, 3}));
  EXPECT_EQ(FaceTriangleIndices(file.Faces[0], file.MeshVertices),
            (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
}

TEST(BSPFile, RoundedNodeCountReadsPastTheLumpAndTruncatedFaceCountReadsLess) {
  TBspWriter writer = TBspWriter::SmallLevel();
  // Two nodes on disk, the directory claiming 54 bytes: 1.5 rounds to 2, so both are read.
  writer.Nodes = {TBspWriter::Node(0, 1, -1), TBspWriter::Node(0, -1, -2)};
  writer.SetLumpLength(kNodes, 54);
  // 150 bytes of faces: one face and 46 bytes that belong to no record.
  std::vector<std::uint8_t> faces = RecordBytes(writer.Faces);
  faces.resize(150, 0xEE);
  writer.SetRawLump(kFaces, faces);
  const TBSPFile file = Parse(writer);
  ASSERT_EQ(file.Nodes.size(), 2u);
  EXPECT_EQ(std::memcmp(&file.Nodes[1], &writer.Nodes[1], sizeof(TBSPNode)), 0);
  EXPECT_EQ(file.Faces.size(), 1u);

  // The same 54-byte lump at the very end of the file: the second node is not there.
  TBspWriter atEnd = TBspWriter::SmallLevel();
  atEnd.Nodes.clear();
  const std::int32_t end = static_cast<std::int32_t>(atEnd.Bytes().size());
  const std::vector<TBSPNode> nodes = {TBspWriter::Node(0, -1, -2), TBspWriter::Node(0, -1, -2)};
  atEnd.Trailer = RecordBytes(nodes);
  atEnd.Trailer.resize(54);
  atEnd.SetLumpOffset(kNodes, end);
  atEnd.SetLumpLength(kNodes, 54);
  ExpectReadBeyondEnd(atEnd);
  atEnd.SetLumpLength(kNodes, 53);  // rounds to 1 node: fits
  EXPECT_EQ(Parse(atEnd).Nodes.size(), 1u);
}

TEST(BSPFile, EmptyAndNegativeVisibilityLumpsAreNotRead) {
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.VisData.reset();
  writer.SetLumpOffset(kVisData, -12345);  // never used: the lump is empty
  TBSPFile file = Parse(writer);
  EXPECT_FALSE(file.HasVisData);
  EXPECT_TRUE(file.VisData.Bits.empty());
  EXPECT_EQ(file.VisData.ClusterCount, 0);
  writer.SetLumpLength(kVisData, -8);
  file = Parse(writer);
  EXPECT_FALSE(file.HasVisData);
}

TEST(BSPFile, EmptyLumpsReadNothingWhateverTheirOffset) {
  TBspWriter writer;
  for (int lump = 0; lump < kLumpCount; ++lump) writer.SetLumpOffset(lump, lump % 2 ? -1 : INT_MAX);
  const TBSPFile file = Parse(writer);
  EXPECT_TRUE(file.Vertices.empty());
  EXPECT_TRUE(file.Faces.empty());
  EXPECT_TRUE(file.Nodes.empty());
  EXPECT_TRUE(file.Lightmaps.empty());
  EXPECT_FALSE(file.HasVisData);
}

TEST(BSPFile, TextureNameOfSixtyFourCharactersWithoutNulIsUsedWhole) {
  const std::string name(64, 'n');
  const TBSPTexture texture = TBspWriter::Texture(name + "tail");
  EXPECT_EQ(TextureBaseName(texture), name);
  EXPECT_EQ(TextureBaseName(TBspWriter::Texture("a\\b")), "a\\b");
  EXPECT_EQ(TextureBaseName(TBspWriter::Texture("")), "");
}

TEST(BSPFile, FileShorterThanItsHeaderOrLumpsReadsBeyondEnd) {
  const std::vector<std::uint8_t> bytes = TBspWriter::SmallLevel().Bytes();
  for (std::size_t size : {std::size_t{0}, std::size_t{7}, std::size_t{143}}) {
    const std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(size));
    EXPECT_THROW(ParseBSP(part), platform::EInOutError) << size;
  }
  // A file cut anywhere inside its lumps fails the same way.
  const std::vector<std::uint8_t> cut(bytes.begin(), bytes.end() - 1);
  EXPECT_THROW(ParseBSP(cut), platform::EInOutError);

  // Lengths that ask for far more than the file holds fail before anything is allocated.
  for (int lump : {kVertices, kFaces, kTextures, kLightmaps, kLeaves, kNodes, kLeafFaces, kPlanes,
                   kMeshVertices, kVisData}) {
    TBspWriter writer = TBspWriter::SmallLevel();
    writer.SetLumpLength(lump, INT_MAX);
    if (lump == kVisData) continue;  // its length only bounds the rows; tested below
    ExpectReadBeyondEnd(writer);
  }
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.SetLumpOffset(kFaces, INT_MAX);
  ExpectReadBeyondEnd(writer);
}

// A file shorter than its directory says is told where it ends: inside the lump that holds its
// last byte, or before the next lump when it ends between two.
TEST(BSPFile, AFileCutShortSaysAtWhichLumpItEnds) {
  const std::vector<std::uint8_t> whole = TBspWriter::SmallLevel().Bytes();
  const auto cut = [&whole](std::size_t size) {
    return CutShortText(std::span<const std::uint8_t>(whole.data(), size));
  };
  EXPECT_EQ(cut(200), "cut short inside lump 1 (textures), which ends at byte 216");
  EXPECT_EQ(cut(216), "cut short before lump 2 (planes), which ends at byte 232");
  EXPECT_EQ(cut(whole.size() - 1), "cut short inside lump 16 (visibility data), which ends at byte " +
                                       std::to_string(whole.size()));
  EXPECT_EQ(cut(whole.size()), std::nullopt);
  EXPECT_EQ(cut(143), std::nullopt) << "no whole directory";
}

TEST(BSPFile, NegativeLumpLengthsAndOffsetsAreRefused) {
  const std::pair<int, const char*> lumps[] = {
      {kTextures, "Lump 1 (textures)"},   {kPlanes, "Lump 2 (planes)"},
      {kNodes, "Lump 3 (nodes)"},         {kLeaves, "Lump 4 (leaves)"},
      {kLeafFaces, "Lump 5 (leaf faces)"}, {kVertices, "Lump 10 (vertices)"},
      {kMeshVertices, "Lump 11 (mesh vertices)"}, {kFaces, "Lump 13 (faces)"},
      {kLightmaps, "Lump 14 (lightmaps)"}};
  for (const auto& [lump, title] : lumps) {
    TBspWriter writer = TBspWriter::SmallLevel();
    writer.SetLumpLength(lump, -1);
    EXPECT_EQ(Refusal(writer), std::string(title) + ": negative length -1");
    writer = TBspWriter::SmallLevel();
    writer.SetLumpOffset(lump, -4);
    EXPECT_EQ(Refusal(writer), std::string(title) + ": negative offset -4");
  }
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.SetLumpOffset(kVisData, -4);
  EXPECT_EQ(Refusal(writer), "Lump 16 (visibility data): negative offset -4");
  // Lumps the level does not use are not looked at.
  writer = TBspWriter::SmallLevel();
  for (int lump : {kEntities, kLeafBrushes, kModels, kBrushes, kBrushSides, kEffects, kLightVolumes}) {
    writer.SetLumpOffset(lump, -7);
    writer.SetLumpLength(lump, -7);
  }
  EXPECT_EQ(Refusal(writer), "");
}

TEST(BSPFileBounds, FaceVertexRange) {
  TBspWriter writer = TBspWriter::SmallLevel();  // 4 vertices, the face uses 0..3
  writer.Faces[0].FirstVertex = 1;
  writer.Faces[0].NumVertices = 3;
  writer.Faces[0].NumMeshVertices = 0;
  EXPECT_EQ(Refusal(writer), "");
  writer.Faces[0].NumVertices = 4;
  EXPECT_EQ(Refusal(writer), "Face 0: vertices 1..4 outside the 4 vertices of the level");
  writer.Faces[0].FirstVertex = -1;
  writer.Faces[0].NumVertices = 2;
  EXPECT_EQ(Refusal(writer), "Face 0: vertices -1..0 outside the 4 vertices of the level");
  writer.Faces[0].FirstVertex = INT_MAX;
  writer.Faces[0].NumVertices = INT_MAX;
  EXPECT_EQ(Refusal(writer),
            "Face 0: vertices 2147483647..4294967293 outside the 4 vertices of the level");
  writer.Faces[0].FirstVertex = 0;
  writer.Faces[0].NumVertices = -1;
  EXPECT_EQ(Refusal(writer), "Face 0: negative vertex count -1");
  // A face without vertices reads none, wherever its first vertex would be.
  writer.Faces[0].FirstVertex = 99999;
  writer.Faces[0].NumVertices = 0;
  EXPECT_EQ(Refusal(writer), "");
  // The record is named by its index.
  writer = TBspWriter::SmallLevel();
  writer.Faces.push_back(TBspWriter::Face(0, 3, 2, 0));
  EXPECT_EQ(Refusal(writer), "Face 1: vertices 3..4 outside the 4 vertices of the level");
}

TEST(BSPFileBounds, FaceMeshVertices) {
  TBspWriter writer = TBspWriter::SmallLevel();  // 6 mesh vertices, all of them the face's
  writer.Faces[0].FirstMeshVertex = 3;
  writer.Faces[0].NumMeshVertices = 3;
  EXPECT_EQ(Refusal(writer), "");
  writer.Faces[0].NumMeshVertices = 4;
  EXPECT_EQ(Refusal(writer), "Face 0: mesh vertices 3..6 outside the 6 mesh vertices of the level");
  writer.Faces[0].FirstMeshVertex = -3;
  writer.Faces[0].NumMeshVertices = 3;
  EXPECT_EQ(Refusal(writer), "Face 0: mesh vertices -3..-1 outside the 6 mesh vertices of the level");
  writer.Faces[0].FirstMeshVertex = 0;
  writer.Faces[0].NumMeshVertices = -3;
  EXPECT_EQ(Refusal(writer), "Face 0: negative mesh vertex count -3");

  // Each offset must name one of the face's own vertices: 0 .. NumVertices - 1.
  writer = TBspWriter::SmallLevel();
  writer.MeshVertices[4] = 3;
  EXPECT_EQ(Refusal(writer), "");
  writer.MeshVertices[4] = 4;
  EXPECT_EQ(Refusal(writer), "Face 0: mesh vertex 4 points to vertex 4 outside the face's 4 vertices");
  writer.MeshVertices[4] = -1;
  EXPECT_EQ(Refusal(writer), "Face 0: mesh vertex 4 points to vertex -1 outside the face's 4 vertices");
}

TEST(BSPFileBounds, SharedRunsMayNotAskForMoreThanSixteenTimesTheFile) {
  // 1000 vertices, and faces that each use all of them: every face asks for 44,000 bytes of
  // per-face arrays while adding only its 104-byte record to the file.
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.Lightmaps.clear();
  writer.Vertices.assign(1000, TBspWriter::Vertex(1, 2, 3));
  const auto demand = [&] {
    std::int64_t bytes = 0;
    for (const TBSPFace& face : writer.Faces) bytes += 44 * face.NumVertices + 4 * face.NumMeshVertices;
    return bytes;
  };
  writer.Faces.assign(1, TBspWriter::Face(0, 0, 1000, -1));
  while (demand() + 44000 <= 16 * static_cast<std::int64_t>(writer.Bytes().size() + 104))
    writer.Faces.push_back(TBspWriter::Face(0, 0, 1000, -1));
  EXPECT_LE(demand(), 16 * static_cast<std::int64_t>(writer.Bytes().size()));
  EXPECT_EQ(Refusal(writer), "");
  writer.Faces.push_back(TBspWriter::Face(0, 0, 1000, -1));
  const std::string size = std::to_string(writer.Bytes().size());
  const std::string faces = std::to_string(writer.Faces.size());
  EXPECT_GT(demand(), 16 * static_cast<std::int64_t>(writer.Bytes().size()));
  EXPECT_EQ(Refusal(writer), "Faces: their runs of " + faces + "000 vertices and 0 mesh vertices would take " +
                                 std::to_string(demand()) + " bytes, more than 16 times the file's " +
                                 size + " bytes");
}

TEST(BSPFileBounds, SharedLeafFaceRunsMayNotAskForMoreThanSixteenTimesTheFile) {
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.Lightmaps.clear();
  writer.LeafFaces.assign(1000, 0);
  writer.Leaves.assign(2, TBspWriter::Leaf(0, 0, 1000));
  const auto runs = [&] { return 4 * 1000 * static_cast<std::int64_t>(writer.Leaves.size()); };
  while (runs() + 4000 <= 16 * static_cast<std::int64_t>(writer.Bytes().size() + 48))
    writer.Leaves.push_back(TBspWriter::Leaf(0, 0, 1000));
  EXPECT_EQ(Refusal(writer), "");
  writer.Leaves.push_back(TBspWriter::Leaf(0, 0, 1000));
  EXPECT_EQ(Refusal(writer), "Leaves: their runs of " + std::to_string(runs() / 4) +
                                 " leaf faces would take " + std::to_string(runs()) +
                                 " bytes, more than 16 times the file's " +
                                 std::to_string(writer.Bytes().size()) + " bytes");
}

TEST(BSPFileBounds, LeafFaceRangesAndFaceIndices) {
  TBspWriter writer = TBspWriter::SmallLevel();  // 1 leaf face
  writer.Leaves[1] = TBspWriter::Leaf(1, 0, 1);
  EXPECT_EQ(Refusal(writer), "");
  writer.Leaves[1] = TBspWriter::Leaf(1, 0, 2);
  EXPECT_EQ(Refusal(writer), "Leaf 1: leaf faces 0..1 outside the 1 leaf faces of the level");
  writer.Leaves[1] = TBspWriter::Leaf(1, -1, 1);
  EXPECT_EQ(Refusal(writer), "Leaf 1: leaf faces -1..-1 outside the 1 leaf faces of the level");
  writer.Leaves[1] = TBspWriter::Leaf(1, 0, -1);
  EXPECT_EQ(Refusal(writer), "Leaf 1: negative leaf face count -1");
  writer.Leaves[1] = TBspWriter::Leaf(1, 5000, 0);  // an empty run reads nothing
  EXPECT_EQ(Refusal(writer), "");

  writer = TBspWriter::SmallLevel();  // 1 face
  writer.LeafFaces = {0};
  EXPECT_EQ(Refusal(writer), "");
  writer.LeafFaces = {1};
  EXPECT_EQ(Refusal(writer), "Leaf face 0: face 1 outside the 1 faces of the level");
  writer.LeafFaces = {-1};
  EXPECT_EQ(Refusal(writer), "Leaf face 0: face -1 outside the 1 faces of the level");
}

TEST(BSPFileBounds, NodePlanesAndChildren) {
  TBspWriter writer = TBspWriter::SmallLevel();  // 1 plane, 2 leaves
  writer.Planes.push_back(TBSPPlane{{1, 0, 0}, 5});
  writer.Nodes = {TBspWriter::Node(1, 1, -2), TBspWriter::Node(0, -1, -2)};
  EXPECT_EQ(Refusal(writer), "");
  writer.Nodes[0].PlaneIndex = 2;
  EXPECT_EQ(Refusal(writer), "Node 0: plane 2 outside the 2 planes of the level");
  writer.Nodes[0].PlaneIndex = -1;
  EXPECT_EQ(Refusal(writer), "Node 0: plane -1 outside the 2 planes of the level");
  writer.Nodes[0].PlaneIndex = 0;

  writer.Nodes[0].Front = 2;
  EXPECT_EQ(Refusal(writer), "Node 0: front child node 2 outside the 2 nodes of the level");
  writer.Nodes[0].Front = 1;
  writer.Nodes[1].Back = 1;  // itself: a descent would never end
  EXPECT_EQ(Refusal(writer), "Node 1: back child node 1 does not come after its parent");
  writer.Nodes[1].Back = 0;  // back to the root
  EXPECT_EQ(Refusal(writer), "Node 1: back child node 0 does not come after its parent");
  writer.Nodes[1].Back = -3;  // leaf 2 of 2
  EXPECT_EQ(Refusal(writer), "Node 1: back child leaf 2 outside the 2 leaves of the level");
  writer.Nodes[1].Back = INT_MIN;
  EXPECT_EQ(Refusal(writer), "Node 1: back child leaf 2147483647 outside the 2 leaves of the level");
  writer.Nodes[1].Back = -2;
  EXPECT_EQ(Refusal(writer), "");
}

TEST(BSPFileBounds, VisibilityRowsWithinTheLump) {
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.VisData = TBSPVisData{3, 2, std::vector<std::uint8_t>(6, 0xFF)};
  EXPECT_EQ(Refusal(writer), "");
  writer.SetLumpLength(kVisData, 8 + 6 + 1);  // a spare byte is harmless
  EXPECT_EQ(Refusal(writer), "");
  writer.SetLumpLength(kVisData, 8 + 5);
  EXPECT_EQ(Refusal(writer), "Visibility data: 3 rows of 2 bytes do not fit in the lump's 13 bytes");
  writer.SetLumpLength(kVisData, 4);
  writer.VisData = TBSPVisData{0, 0, {}};
  EXPECT_EQ(Refusal(writer), "Visibility data: 0 rows of 0 bytes do not fit in the lump's 4 bytes");

  writer = TBspWriter::SmallLevel();
  writer.VisData = TBSPVisData{-1, 2, std::vector<std::uint8_t>(6)};
  EXPECT_EQ(Refusal(writer), "Visibility data: -1 rows of 2 bytes do not fit in the lump's 14 bytes");
  writer.VisData = TBSPVisData{-2, -3, std::vector<std::uint8_t>(6)};  // a positive product
  EXPECT_EQ(Refusal(writer), "Visibility data: -2 rows of -3 bytes do not fit in the lump's 14 bytes");
  writer.VisData = TBSPVisData{INT_MAX, INT_MAX, std::vector<std::uint8_t>(6)};
  EXPECT_EQ(Refusal(writer),
            "Visibility data: 2147483647 rows of 2147483647 bytes do not fit in the lump's 14 bytes");
}

TEST(BSPFileBounds, GroupIndicesAndClustersAreLeftToTheirUsers) {
  TBspWriter writer = TBspWriter::SmallLevel();
  writer.Faces[0].TextureIndex = 99;
  writer.Faces[0].LightmapIndex = -1;
  writer.Faces.push_back(TBspWriter::Face(-5, 0, 1, 1000));
  writer.Leaves[0].Cluster = -1;
  writer.Leaves[1].Cluster = 1 << 30;
  EXPECT_EQ(Refusal(writer), "");
}
