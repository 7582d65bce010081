// Which faces the camera may see: the leaf holding it, its cluster's row of the potentially
// visible set, and every face listed by a leaf whose cluster that row admits.
#include <cstddef>
#include <cstdint>

#include "level/Q3BSP.h"
#include "level/Q3BSP_visibility.h"

std::int32_t TQuake3BSP::FindLeaf(const TVector& position) const {
  const std::size_t nodeCount = Nodes.size();
  const std::size_t planeCount = Planes.size();
  std::int32_t index = 0;
  while (index >= 0) {
    // LoadBSP only accepts trees whose children come after their parent and whose planes exist;
    // the checks keep a level assembled by hand from looping or reading past the arrays.
    if (static_cast<std::size_t>(index) >= nodeCount) return NoLeaf;
    const TBSPNode& node = Nodes[static_cast<std::size_t>(index)];
    if (static_cast<std::uint32_t>(node.PlaneIndex) >= planeCount) return NoLeaf;
    const TBSPPlane& plane = Planes[static_cast<std::size_t>(node.PlaneIndex)];
    // Reduced to a float before the comparison: a distance that underflows to -0.0 counts as on
    // the plane, hence in front. No epsilon; NaN fails the test and goes back.
    const float distance = static_cast<float>(plane.Normal.X * position.X +
                                              plane.Normal.Y * position.Y +
                                              plane.Normal.Z * position.Z - plane.Distance);
    const std::int32_t child = distance >= 0.0f ? node.Front : node.Back;
    if (child >= 0 && child <= index) return NoLeaf;
    index = child;
  }
  return ~index;  // -(index + 1), without overflow for the most negative child
}

namespace {

// The cluster test itself, kept inline: it is the inner operation of the per-leaf loop.
[[gnu::always_inline]] inline std::int32_t ClusterBit(const std::vector<std::uint8_t>& bits,
                                                      std::int32_t bytesPerCluster,
                                                      std::int32_t current, std::int32_t test) {
  if (bits.empty() || current < 0) return 1;
  // Leaf clusters are -1 or a real cluster; -1 .. -7 read a bit of the row's first byte as they
  // always have. Anything lower would address an earlier row or memory before Bits: unknown
  // clusters count as visible, like the past-the-end case, so they err on drawing too much.
  if (test < -7) return 1;
  // 64-bit so that a large cluster times the row length cannot wrap into the middle of Bits.
  const std::int64_t byteIndex = static_cast<std::int64_t>(current) * bytesPerCluster + test / 8;
  if (byteIndex < 0 || byteIndex >= static_cast<std::int64_t>(bits.size())) return 1;
  return bits[static_cast<std::size_t>(byteIndex)] & (1 << (test & 7));
}

}  // namespace

std::int32_t TQuake3BSP::IsClusterVisible(std::int32_t current, std::int32_t test) const {
  return ClusterBit(VisData.Bits, VisData.BytesPerCluster, current, test);
}

void MarkVisibleFaces(TQuake3BSP& level, const TVector& cameraPosition) {
  const std::int32_t cameraLeaf = level.FindLeaf(cameraPosition);
  if (cameraLeaf < 0 || static_cast<std::size_t>(cameraLeaf) >= level.Leaves.size()) return;
  const std::int32_t cameraCluster = level.Leaves[static_cast<std::size_t>(cameraLeaf)].Cluster;

  const std::int32_t* leafFaces = level.LeafFaces.data();
  const std::int64_t leafFaceCount = static_cast<std::int64_t>(level.LeafFaces.size());
  std::int32_t* faceVisible = level.FaceVisible.data();
  const std::size_t faceCount = level.FaceVisible.size();
  const std::vector<std::uint8_t>& bits = level.VisData.Bits;
  const std::int32_t bytesPerCluster = level.VisData.BytesPerCluster;
  for (const TBSPLeaf& leaf : level.Leaves) {
    if (!ClusterBit(bits, bytesPerCluster, cameraCluster, leaf.Cluster)) continue;
    const std::int64_t first = leaf.FirstLeafFace;
    const std::int64_t end = first + leaf.NumLeafFaces;
    if (first < 0 || end > leafFaceCount) continue;
    for (std::int64_t k = first; k < end; ++k) {
      const std::size_t face = static_cast<std::uint32_t>(leafFaces[k]);
      if (face < faceCount) faceVisible[face] = -1;
    }
  }
}
