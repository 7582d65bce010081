// Leaf lookup, the cluster test and the marking of visible faces on levels built in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

#include "support/TestLevels.h"
#include "level/Q3BSP_visibility.h"

using testsupport::AddLeaf;
using testsupport::AddNode;
using testsupport::AddPlane;
using testsupport::SetVisible;
using testsupport::VisibleFaces;
using Faces = std::vector<std::int32_t>;

namespace {

const float NaN = std::numeric_limits<float>::quiet_NaN();
const float Inf = std::numeric_limits<float>::infinity();

// One node on the given plane: front is leaf 0, back is leaf 1.
std::int32_t LeafBeside(TVector normal, float distance, TVector point) {
  TQuake3BSP level;
  AddNode(level, AddPlane(level, normal, distance), -1, -2);
  AddLeaf(level, 0, {});
  AddLeaf(level, 0, {});
  return level.FindLeaf(point);
}

constexpr std::int32_t Front = 0, Back = 1;

TEST(FindLeaf, SidesOfAPlaneWithoutEpsilon) {
  EXPECT_EQ(LeafBeside({0, 0, 1}, 64, {3, 4, 64}), Front) << "on the plane";
  EXPECT_EQ(LeafBeside({0, 0, 1}, 64, {3, 4, std::nextafter(64.0f, 0.0f)}), Back);
  EXPECT_EQ(LeafBeside({0, 0, 1}, 64, {3, 4, std::nextafter(64.0f, 100.0f)}), Front);
  EXPECT_EQ(LeafBeside({1, 1, 1}, 0, {-0.0f, -0.0f, -0.0f}), Front) << "distance -0.0";
  // -1e-60 is negative as a double but reduces to -0.0 as a float: on the plane, so in front.
  EXPECT_EQ(LeafBeside({1e-30f, 0, 0}, 0, {-1e-30f, 0, 0}), Front);
  EXPECT_EQ(LeafBeside({1, 0, 0}, 0, {NaN, 0, 0}), Back) << "NaN";
  EXPECT_EQ(LeafBeside({0, 1, 0}, 0, {Inf, 0, 0}), Back) << "infinity times zero is NaN";
  EXPECT_EQ(LeafBeside({1, 0, 0}, 0, {Inf, 0, 0}), Front);
}

TEST(FindLeaf, DescendsToTheLeafNamedByTheComplementOfTheChild) {
  TQuake3BSP level;
  const std::int32_t x = AddPlane(level, {1, 0, 0}, 0);
  const std::int32_t y = AddPlane(level, {0, 1, 0}, 10);
  AddNode(level, x, 1, -3);  // node 0: front -> node 1, back -> leaf 2
  AddNode(level, y, -1, -2);  // node 1: front -> leaf 0, back -> leaf 1
  EXPECT_EQ(level.FindLeaf({5, 20, 0}), 0);
  EXPECT_EQ(level.FindLeaf({5, 0, 0}), 1);
  EXPECT_EQ(level.FindLeaf({-5, 20, 0}), 2);
  EXPECT_EQ(level.FindLeaf({0, 10, 0}), 0);
}

TEST(FindLeaf, TreesThatLeaveTheirArraysFindNoLeaf) {
  TQuake3BSP empty;
  EXPECT_EQ(empty.FindLeaf({0, 0, 0}), NoLeaf) << "no nodes";

  TQuake3BSP badChild;
  AddNode(badChild, AddPlane(badChild, {1, 0, 0}, 0), 1, -1);
  EXPECT_EQ(badChild.FindLeaf({1, 0, 0}), NoLeaf) << "front child past the last node";
  EXPECT_EQ(badChild.FindLeaf({-1, 0, 0}), 0);

  TQuake3BSP badPlane;
  AddPlane(badPlane, {1, 0, 0}, 0);
  AddNode(badPlane, 1, -1, -1);
  AddNode(badPlane, -1, -1, -1);
  EXPECT_EQ(badPlane.FindLeaf({1, 0, 0}), NoLeaf) << "plane index past the last plane";
  badPlane.Nodes[0].PlaneIndex = 0;
  badPlane.Nodes[0].Front = 1;
  EXPECT_EQ(badPlane.FindLeaf({1, 0, 0}), NoLeaf) << "negative plane index";

  TQuake3BSP loop;
  const std::int32_t plane = AddPlane(loop, {1, 0, 0}, 0);
  AddNode(loop, plane, 1, -1);
  AddNode(loop, plane, 0, -1);  // back up to the root: would never end
  AddNode(loop, plane, 2, -1);
  EXPECT_EQ(loop.FindLeaf({1, 0, 0}), NoLeaf);
  loop.Nodes[0].Front = 2;
  EXPECT_EQ(loop.FindLeaf({1, 0, 0}), NoLeaf) << "a node that names itself";

  TQuake3BSP lowest;
  AddNode(lowest, AddPlane(lowest, {1, 0, 0}, 0), INT_MIN, -1);
  EXPECT_EQ(lowest.FindLeaf({1, 0, 0}), INT_MAX) << "complement of the lowest child";
}

// Ten clusters, two bytes per row.
TQuake3BSP ClusterLevel() {
  TQuake3BSP level;
  testsupport::SetVisData(level, 10, 2);
  return level;
}

TEST(IsClusterVisible, ReadsBitTestAnd7OfTheCurrentRow) {
  TQuake3BSP level = ClusterLevel();
  SetVisible(level, 3, 9);  // byte 3 * 2 + 1, bit 1
  SetVisible(level, 3, 0);  // byte 6, bit 0
  EXPECT_EQ(level.VisData.Bits[7], 0x02);
  EXPECT_EQ(level.IsClusterVisible(3, 9), 2);
  EXPECT_EQ(level.IsClusterVisible(3, 0), 1);
  EXPECT_EQ(level.IsClusterVisible(3, 1), 0);
  EXPECT_EQ(level.IsClusterVisible(9, 3), 0) << "rows are not symmetric";
  EXPECT_EQ(level.IsClusterVisible(2, 9), 0);
  EXPECT_EQ(level.IsClusterVisible(4, 9), 0);
}

TEST(IsClusterVisible, ClusterMinusOneTakesBit7OfTheRowsFirstByte) {
  TQuake3BSP level = ClusterLevel();
  EXPECT_EQ(level.IsClusterVisible(3, -1), 0);
  SetVisible(level, 3, 7);
  EXPECT_EQ(level.IsClusterVisible(3, -1), 128);
  EXPECT_EQ(level.IsClusterVisible(3, 7), 128);
  EXPECT_EQ(level.IsClusterVisible(3, -7), 0) << "-7 div 8 is 0, -7 and 7 is bit 1";
  SetVisible(level, 3, 1);
  EXPECT_EQ(level.IsClusterVisible(3, -7), 2);
}

TEST(IsClusterVisible, WithoutDataOrCameraClusterEverythingIsVisible) {
  TQuake3BSP none;
  EXPECT_EQ(none.IsClusterVisible(0, 0), 1);
  EXPECT_EQ(none.IsClusterVisible(5, -100), 1);
  TQuake3BSP level = ClusterLevel();  // all bits clear
  EXPECT_EQ(level.IsClusterVisible(-1, 3), 1);
  EXPECT_EQ(level.IsClusterVisible(INT_MIN, 3), 1);
  EXPECT_EQ(level.IsClusterVisible(0, 3), 0);
}

TEST(IsClusterVisible, BytesOutsideBitsCountAsVisible) {
  TQuake3BSP level = ClusterLevel();  // 20 bytes, all clear
  EXPECT_EQ(level.IsClusterVisible(9, 15), 0) << "byte 19, the last";
  EXPECT_EQ(level.IsClusterVisible(9, 16), 1) << "byte 20, past the end";
  EXPECT_EQ(level.IsClusterVisible(10, 0), 1);
  EXPECT_EQ(level.IsClusterVisible(0, INT_MAX), 1);
  EXPECT_EQ(level.IsClusterVisible(INT_MAX, INT_MAX), 1);
  // Clusters of -8 and less would reach an earlier row or before Bits: visible, never read.
  EXPECT_EQ(level.IsClusterVisible(0, -8), 1);
  EXPECT_EQ(level.IsClusterVisible(3, -8), 1);
  EXPECT_EQ(level.IsClusterVisible(3, -9), 1);
  EXPECT_EQ(level.IsClusterVisible(9, INT_MIN), 1);
  level.VisData.BytesPerCluster = -2;
  EXPECT_EQ(level.IsClusterVisible(1, 0), 1) << "negative row length";
}

TEST(IsClusterVisible, RowStartDoesNotWrapAround32Bits) {
  TQuake3BSP level;
  testsupport::SetVisData(level, 5, 4);
  // 2^30 * 4 wraps to 0 in 32 bits, which would read row 0 (all clear).
  EXPECT_EQ(level.IsClusterVisible(1 << 30, 0), 1);
}

// Node 0 splits on x = 0: front leaf 0 (cluster 0), back node 1. Node 1 splits on y = 0: front
// leaf 1 (cluster 1), back leaf 2 (cluster -1). Leaf 3 (cluster 9) is reached by no position.
// Face 4 is listed by no leaf; face 0 by two.
TQuake3BSP MarkingLevel() {
  TQuake3BSP level;
  testsupport::SetFaceCount(level, 6);
  AddNode(level, AddPlane(level, {1, 0, 0}, 0), -1, 1);
  AddNode(level, AddPlane(level, {0, 1, 0}, 0), -2, -3);
  AddLeaf(level, 0, {0, 1});
  AddLeaf(level, 1, {2});
  AddLeaf(level, -1, {3, 0});
  AddLeaf(level, 9, {5});
  return level;
}

Faces Mark(TQuake3BSP& level, TVector camera) {
  std::fill(level.FaceVisible.begin(), level.FaceVisible.end(), 0);
  MarkVisibleFaces(level, camera);
  for (std::int32_t flag : level.FaceVisible) EXPECT_TRUE(flag == 0 || flag == -1) << flag;
  return VisibleFaces(level);
}

const TVector InLeaf0{1, 0, 0}, InLeaf1{-1, 1, 0}, InLeaf2{-1, -1, 0};

TEST(MarkVisibleFaces, WithoutVisDataEveryListedFaceIsMarked) {
  TQuake3BSP level = MarkingLevel();
  EXPECT_EQ(Mark(level, InLeaf0), (Faces{0, 1, 2, 3, 5}));
  EXPECT_EQ(level.FaceVisible[0], -1);
  EXPECT_EQ(level.FaceVisible[4], 0) << "listed by no leaf";
}

TEST(MarkVisibleFaces, FollowsTheCameraClustersRow) {
  TQuake3BSP level = MarkingLevel();
  testsupport::SetVisData(level, 10, 2);
  SetVisible(level, 0, 0);
  SetVisible(level, 1, 1);
  SetVisible(level, 1, 9);
  EXPECT_EQ(Mark(level, InLeaf0), (Faces{0, 1}));
  EXPECT_EQ(Mark(level, InLeaf1), (Faces{2, 5}));
  SetVisible(level, 0, 7);  // cluster 7 shares its bit with leaf 2's cluster -1
  EXPECT_EQ(Mark(level, InLeaf0), (Faces{0, 1, 3}));
  EXPECT_EQ(Mark(level, InLeaf2), (Faces{0, 1, 2, 3, 5})) << "camera in cluster -1 sees all";
}

TEST(MarkVisibleFaces, NeverClearsAFlag) {
  TQuake3BSP level = MarkingLevel();
  testsupport::SetVisData(level, 10, 2);
  level.FaceVisible[4] = -1;
  MarkVisibleFaces(level, InLeaf0);
  EXPECT_EQ(VisibleFaces(level), (Faces{4}));
}

TEST(MarkVisibleFaces, NoLeafMarksNothing) {
  TQuake3BSP level = MarkingLevel();
  level.Nodes.clear();
  level.NodeCount = 0;
  EXPECT_EQ(Mark(level, InLeaf0), Faces{});
  TQuake3BSP pastLastLeaf = MarkingLevel();
  pastLastLeaf.Nodes[0].Front = -100;
  EXPECT_EQ(Mark(pastLastLeaf, InLeaf0), Faces{});
}

TEST(MarkVisibleFaces, SkipsLeafFaceRunsAndFacesOutsideTheirArrays) {
  TQuake3BSP level = MarkingLevel();
  AddLeaf(level, 0, {-1, 6, 1000000, INT_MIN, 4});
  TBSPLeaf runBeforeStart{};
  runBeforeStart.FirstLeafFace = -1;
  runBeforeStart.NumLeafFaces = 3;
  TBSPLeaf runPastEnd{};
  runPastEnd.FirstLeafFace = 2;
  runPastEnd.NumLeafFaces = INT_MAX;
  level.Leaves.push_back(runBeforeStart);
  level.Leaves.push_back(runPastEnd);
  level.LeafCount += 2;
  EXPECT_EQ(Mark(level, InLeaf0), (Faces{0, 1, 2, 3, 4, 5}));
}

}  // namespace
