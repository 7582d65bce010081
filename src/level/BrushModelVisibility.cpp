// Brush models in the visibility pass. The level compiler lists a brush model's faces only under
// leaves of its own, outside the tree, all of cluster 0: the leaf pass draws them where cluster 0
// happens to be visible. Here a model is drawn where its box is: the clusters of the tree's leaves
// that the box touches are found once at load, and each frame tests them like any leaf.
#include <algorithm>
#include <cmath>

#include "level/EntityLinks.h"
#include "level/Things.h"

namespace {

// A model's box is at most this far across: larger than any level a Quake 3 map can be, small
// enough that its corners stay exact floats.
constexpr float kLargestBox = 1 << 20;

bool FiniteBox(const TBSPModel& model) {
  for (const float v : {model.Mins.X, model.Mins.Y, model.Mins.Z, model.Maxs.X, model.Maxs.Y, model.Maxs.Z})
    if (!std::isfinite(v) || std::fabs(v) > kLargestBox) return false;
  return model.Mins.X <= model.Maxs.X && model.Mins.Y <= model.Maxs.Y && model.Mins.Z <= model.Maxs.Z;
}

}  // namespace

std::size_t TBoxDescent::Leaves(const TVector& mins, const TVector& maxs, std::vector<std::int32_t>& leaves) {
  const std::size_t nodeCount = Level.Nodes.size();
  if (nodeCount == 0) return 0;
  if (NodeStamps.size() != nodeCount || LeafStamps.size() != Level.Leaves.size() || ++Stamp == 0) {
    NodeStamps.assign(nodeCount, 0);
    LeafStamps.assign(Level.Leaves.size(), 0);
    Stamp = 1;
  }
  const TVector corners[8] = {{mins.X, mins.Y, mins.Z}, {maxs.X, mins.Y, mins.Z}, {mins.X, maxs.Y, mins.Z},
                              {maxs.X, maxs.Y, mins.Z}, {mins.X, mins.Y, maxs.Z}, {maxs.X, mins.Y, maxs.Z},
                              {mins.X, maxs.Y, maxs.Z}, {maxs.X, maxs.Y, maxs.Z}};
  std::size_t visits = 0;
  Stack.assign(1, 0);
  NodeStamps[0] = Stamp;
  while (!Stack.empty()) {
    const std::int32_t index = Stack.back();
    Stack.pop_back();
    ++visits;
    const TBSPNode& node = Level.Nodes[static_cast<std::size_t>(index)];
    if (static_cast<std::uint32_t>(node.PlaneIndex) >= Level.Planes.size()) continue;
    const TBSPPlane& plane = Level.Planes[static_cast<std::size_t>(node.PlaneIndex)];
    bool front = false, back = false;
    for (const TVector& c : corners) {
      // The same float expression as FindLeaf: a corner on the plane is in front of it.
      const float distance =
          static_cast<float>(plane.Normal.X * c.X + plane.Normal.Y * c.Y + plane.Normal.Z * c.Z - plane.Distance);
      (distance >= 0.0f ? front : back) = true;
    }
    // 0 for a side not taken (the root is nobody's child). Leaves are taken at once, front first;
    // nodes go onto the stack back first, so that the front side is walked first.
    const std::int32_t children[2] = {front ? node.Front : 0, back ? node.Back : 0};
    for (const std::int32_t child : children) {
      const std::size_t leaf = static_cast<std::size_t>(~child);
      if (child < 0 && leaf < LeafStamps.size() && LeafStamps[leaf] != Stamp) {
        LeafStamps[leaf] = Stamp;
        leaves.push_back(~child);
      }
    }
    for (const std::int32_t child : {children[1], children[0]}) {
      if (child > index && static_cast<std::size_t>(child) < nodeCount &&
          NodeStamps[static_cast<std::size_t>(child)] != Stamp) {
        NodeStamps[static_cast<std::size_t>(child)] = Stamp;
        Stack.push_back(child);
      }
    }
  }
  return visits;
}

std::vector<TBrushModel> PlanBrushModels(const TQuake3BSP& level, const std::vector<TBSPModel>& models,
                                         std::vector<std::string>& warnings) {
  std::vector<TBrushModel> planned;
  std::vector<std::int32_t> leaves;
  TBoxDescent descent(level);
  std::size_t visits = 0;
  for (std::size_t m = 1; m < models.size(); ++m) {
    const TBSPModel& model = models[m];
    const std::string title = "brush model " + std::to_string(m);
    if (model.NumFaces < 0 || model.FirstFace < 0 ||
        std::int64_t{model.FirstFace} + model.NumFaces > static_cast<std::int64_t>(level.Faces.size())) {
      warnings.push_back(title + ": faces " + std::to_string(model.FirstFace) + ".." +
                         std::to_string(std::int64_t{model.FirstFace} + model.NumFaces - 1) + " outside the " +
                         std::to_string(level.Faces.size()) + " faces of the level: skipped");
      continue;
    }
    if (!FiniteBox(model)) {
      warnings.push_back(title + ": its box is not a finite box: skipped");
      continue;
    }
    if (model.NumFaces == 0) continue;  // nothing to draw (a trigger's volume)
    TBrushModel brush{static_cast<std::int32_t>(m), model.Mins, model.Maxs, model.FirstFace, model.NumFaces, {}};
    if (visits > kMostBoxVisits) {
      warnings.push_back("brush models " + std::to_string(m) + ".." + std::to_string(models.size() - 1) +
                         ": the tree is too large to place them all: skipped");
      break;
    }
    leaves.clear();
    visits += descent.Leaves(model.Mins, model.Maxs, leaves);
    for (const std::int32_t leaf : leaves) brush.Clusters.push_back(level.Leaves[static_cast<std::size_t>(leaf)].Cluster);
    std::sort(brush.Clusters.begin(), brush.Clusters.end());
    brush.Clusters.erase(std::unique(brush.Clusters.begin(), brush.Clusters.end()), brush.Clusters.end());
    planned.push_back(std::move(brush));
  }
  return planned;
}

TBrushModelMarks MarkBrushModels(TQuake3BSP& level, const TVector& position, TVisibleBrushModels& visibleModels) {
  TBrushModelMarks marked;
  const std::int32_t cameraLeaf = level.FindLeaf(position);
  if (cameraLeaf < 0 || static_cast<std::size_t>(cameraLeaf) >= level.Leaves.size()) return marked;
  const std::int32_t cameraCluster = level.Leaves[static_cast<std::size_t>(cameraLeaf)].Cluster;
  const std::size_t faceCount = level.FaceVisible.size();
  if (visibleModels.Cluster != cameraCluster) {
    visibleModels.Cluster = cameraCluster;
    visibleModels.Models.clear();
    for (std::size_t m = 0; m < level.Things.BrushModels.size(); ++m) {
      const std::vector<std::int32_t>& clusters = level.Things.BrushModels[m].Clusters;
      if (std::any_of(clusters.begin(), clusters.end(),
                      [&](std::int32_t cluster) { return level.IsClusterVisible(cameraCluster, cluster) != 0; }))
        visibleModels.Models.push_back(static_cast<std::int32_t>(m));
    }
  }
  for (const std::int32_t m : visibleModels.Models) {
    const TBrushModel& model = level.Things.BrushModels[static_cast<std::size_t>(m)];
    // Checked at load against the faces; the bound keeps a model made in memory inside them too.
    const std::size_t first = static_cast<std::size_t>(model.FirstFace);
    const std::size_t end = std::min(faceCount, first + static_cast<std::size_t>(model.NumFaces));
    for (std::size_t f = first; f < end; ++f) level.FaceVisible[f] = -1;
    ++marked.Models;
    marked.Faces += static_cast<std::int32_t>(end > first ? end - first : 0);
  }
  return marked;
}

void LoadLevelThings(TQuake3BSP& level, std::span<const std::uint8_t> bytes,
                     const std::array<TBSPLump, kLumpCount>& lumps, const TLevelOptions& options) {
  TLevelThings& things = level.Things;
  things.Entities = ReadEntityText(EntityLumpText(bytes, lumps[kEntities], things.Warnings));
  things.Models = ReadModelRecords(bytes, lumps[kModels], things.Warnings);
  things.Places = PlaceEntities(things.Entities.Entities, things.Models, things.Warnings);
  if (options.BrushModels) things.BrushModels = PlanBrushModels(level, things.Models, things.Warnings);
  things.Links = FindEntityLinks(things.Entities.Entities, things.Places);
  things.TriggerBoxes = FindTriggerBoxes(level, bytes, lumps);
}
