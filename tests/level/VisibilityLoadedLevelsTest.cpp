// Visibility on levels that came through LoadBSP: OpenArena's maps checked against a second,
// plain computation of the potentially visible set, and hostile files that must not load.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <set>

#include "gl/OpenGL.h"
#include "level/Q3BSP_visibility.h"
#include "support/BspWriter.h"
#include "support/RealLevels.h"
#include "support/TestSupport.h"
#include "window/OffscreenContext.h"

namespace {

using TFaceSet = std::set<std::int32_t>;

class LoadedLevels : public ::testing::Test {
 protected:
  LoadedLevels() : Context(16, 16) { LoadOpenGL("opengl32.dll"); }
  ~LoadedLevels() override { UnloadOpenGL(); }
  platform::TOffscreenGLContext Context;
};

// The cluster of the leaf holding p, by a plain descent.
std::int32_t ClusterAt(const TQuake3BSP& level, TVector p) {
  std::int32_t child = 0;
  while (child >= 0) {
    const TBSPNode& node = level.Nodes.at(static_cast<std::size_t>(child));
    const TBSPPlane& plane = level.Planes.at(static_cast<std::size_t>(node.PlaneIndex));
    const float d = plane.Normal.X * p.X + plane.Normal.Y * p.Y + plane.Normal.Z * p.Z - plane.Distance;
    child = d >= 0 ? node.Front : node.Back;
  }
  return level.Leaves.at(static_cast<std::size_t>(-(child + 1))).Cluster;
}

// Every face of every leaf whose cluster the row of `cluster` admits. A leaf of cluster -1 is
// read as cluster 7, whose bit it shares.
TFaceSet FacesSeenFrom(const TQuake3BSP& level, std::int32_t cluster) {
  const std::vector<std::uint8_t>& bits = level.VisData.Bits;
  TFaceSet faces;
  for (const TBSPLeaf& leaf : level.Leaves) {
    bool seen = true;
    if (!bits.empty() && cluster >= 0) {
      const std::int32_t other = leaf.Cluster == -1 ? 7 : leaf.Cluster;
      const std::size_t byte = static_cast<std::size_t>(cluster) *
                                   static_cast<std::size_t>(level.VisData.BytesPerCluster) +
                               static_cast<std::size_t>(other / 8);
      seen = byte >= bits.size() || ((bits[byte] >> (other % 8)) & 1) != 0;
    }
    if (!seen) continue;
    for (std::int32_t k = 0; k < leaf.NumLeafFaces; ++k)
      faces.insert(level.LeafFaces.at(static_cast<std::size_t>(leaf.FirstLeafFace + k)));
  }
  return faces;
}

TFaceSet Marked(TQuake3BSP& level, TVector position) {
  std::fill(level.FaceVisible.begin(), level.FaceVisible.end(), 0);
  MarkVisibleFaces(level, position);
  TFaceSet faces;
  for (std::size_t f = 0; f < level.FaceVisible.size(); ++f)
    if (level.FaceVisible[f] != 0) faces.insert(static_cast<std::int32_t>(f));
  return faces;
}

TEST_F(LoadedLevels, MarkedFacesAreThoseOfTheCameraClustersRow) {
  for (const std::string map : {"oa_dm4", "ctf_inyard", "oa_rpg3dm2"}) {
    SCOPED_TRACE(map);
    testsupport::TRealLevel real(map);
    TQuake3BSP& level = real.Level;
    ASSERT_FALSE(level.VisData.Bits.empty());
    const TFaceSet listed = FacesSeenFrom(level, -1);
    std::vector<TVector> positions = real.SpawnEyes;
    const std::vector<TVector> beforeFaces = testsupport::PositionsBeforeFaces(level, 40);
    positions.insert(positions.end(), beforeFaces.begin(), beforeFaces.end());
    ASSERT_GE(positions.size(), 40u);
    int inACluster = 0, seeingPart = 0;
    for (const TVector& p : positions) {
      const std::int32_t cluster = ClusterAt(level, p);
      const TFaceSet expected = FacesSeenFrom(level, cluster);
      ASSERT_EQ(Marked(level, p), expected) << p.X << " " << p.Y << " " << p.Z;
      inACluster += cluster >= 0;
      seeingPart += !expected.empty() && expected.size() < listed.size();
    }
    // The comparison means something only if most positions see part of the level.
    EXPECT_GT(inACluster, static_cast<int>(positions.size()) / 2);
    EXPECT_GT(seeingPart, static_cast<int>(positions.size()) / 2);

    // Far away is not always outside: the tree's outer cells are unbounded, and a point at
    // (1e6, 1e6, 1e6) may fall in a leaf of a real cluster. Those that land in the outside
    // (cluster -1) see every face some leaf lists.
    int outsidePositions = 0;
    for (const TVector far : {TVector{1e6f, 1e6f, 1e6f}, TVector{-1e6f, -1e6f, -1e6f},
                              TVector{0, 0, 1e7f}, TVector{0, 0, -1e5f}, TVector{-1e6f, 0, 0}}) {
      if (ClusterAt(level, far) != -1) continue;
      ++outsidePositions;
      EXPECT_EQ(Marked(level, far), listed) << far.X << " " << far.Y << " " << far.Z;
    }
    EXPECT_GE(outsidePositions, 2);
  }
}

// LoadBSP refuses a level whose tree or leaves would lead the walk outside an array, and leaves
// the level it was asked to fill as it was; the walk itself then needs no further checks.
TEST_F(LoadedLevels, TreesAndLeavesThatLeaveTheirArraysAreRefused) {
  testsupport::TTempDir folder;
  std::filesystem::create_directory(folder / "lgmp");
  testsupport::TScopedWorkingDir workingDir(folder.Path());

  TQuake3BSP good;
  testsupport::TBspWriter::SmallLevel().WriteTo(folder / "good.bsp");
  ASSERT_TRUE(good.LoadBSP(folder / "good.bsp"));
  ASSERT_EQ(good.Nodes.size(), 1u);
  EXPECT_EQ(Marked(good, {0, 0, 0}), (TFaceSet{0}));

  struct TCase {
    const char* What;
    void (*Spoil)(testsupport::TBspWriter&);
  };
  const TCase cases[] = {
      {"child back to the root", [](testsupport::TBspWriter& w) {
         w.Nodes.push_back(testsupport::TBspWriter::Node(0, 0, -1));
         w.Nodes[0].Front = 1;
       }},
      {"child node past the last", [](testsupport::TBspWriter& w) { w.Nodes[0].Front = 5; }},
      {"child leaf past the last", [](testsupport::TBspWriter& w) { w.Nodes[0].Back = -100; }},
      {"lowest child", [](testsupport::TBspWriter& w) { w.Nodes[0].Back = INT_MIN; }},
      {"plane past the last", [](testsupport::TBspWriter& w) { w.Nodes[0].PlaneIndex = 7; }},
      {"negative plane", [](testsupport::TBspWriter& w) { w.Nodes[0].PlaneIndex = -1; }},
      {"leaf faces past the end", [](testsupport::TBspWriter& w) { w.Leaves[0].NumLeafFaces = 9; }},
      {"leaf faces before the start", [](testsupport::TBspWriter& w) { w.Leaves[0].FirstLeafFace = -1; }},
      {"face index past the last", [](testsupport::TBspWriter& w) { w.LeafFaces[0] = 1; }},
      {"negative face index", [](testsupport::TBspWriter& w) { w.LeafFaces[0] = -1; }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    testsupport::TBspWriter writer = testsupport::TBspWriter::SmallLevel();
    c.Spoil(writer);
    writer.WriteTo(folder / "bad.bsp");
    TQuake3BSP level = good;
    EXPECT_ANY_THROW(level.LoadBSP(folder / "bad.bsp"));
    EXPECT_EQ(level.Nodes.size(), 1u);
    EXPECT_EQ(level.LeafFaces, good.LeafFaces);
  }
}

}  // namespace
