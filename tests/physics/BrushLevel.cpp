#include "BrushLevel.h"

#include <cmath>
#include <cstring>

#include "level/BrushModels.h"
#include "support/BspWriter.h"

namespace physicstest {
namespace {

template <class T>
std::vector<std::uint8_t> AsBytes(const std::vector<T>& records) {
  std::vector<std::uint8_t> bytes(records.size() * sizeof(T));
  if (!bytes.empty()) std::memcpy(bytes.data(), records.data(), bytes.size());
  return bytes;
}

}  // namespace

TBrushLevel::TBrushLevel() { AddTexture("textures/test/floor", 1); }

std::int32_t TBrushLevel::AddTexture(const std::string& name, std::int32_t contents, std::int32_t flags) {
  TBSPTexture texture = testsupport::TBspWriter::Texture(name);
  texture.Contents = contents;
  texture.Flags = flags;
  Textures.push_back(texture);
  return static_cast<std::int32_t>(Textures.size() - 1);
}

TBrushSpec TBrushLevel::Box(const TVector& mins, const TVector& maxs, std::int32_t texture) {
  return {{{{1, 0, 0}, maxs.X}, {{-1, 0, 0}, -mins.X}, {{0, 1, 0}, maxs.Y}, {{0, -1, 0}, -mins.Y},
           {{0, 0, 1}, maxs.Z}, {{0, 0, -1}, -mins.Z}},
          texture};
}

TBrushSpec TBrushLevel::Cut(TBrushSpec box, TVector normal, const TVector& point) {
  Normalize(normal);
  box.Planes.push_back({normal, normal.X * point.X + normal.Y * point.Y + normal.Z * point.Z});
  return box;
}

std::vector<std::uint8_t> TBrushLevel::Bytes() const {
  struct TBrushRecord {
    std::int32_t FirstSide, SideCount, Texture;
  };
  struct TSideRecord {
    std::int32_t Plane, Texture;
  };
  testsupport::TBspWriter writer;
  writer.Textures = Textures;
  writer.Entities = Entities;
  writer.Planes.push_back({{1, 0, 0}, 0});  // the tree's one split
  std::vector<TBrushRecord> brushes;
  std::vector<TSideRecord> sides;
  std::vector<TBSPModel> models;
  const auto add = [&](const std::vector<TBrushSpec>& list) {
    TBSPModel model{};
    model.FirstBrush = static_cast<std::int32_t>(brushes.size());
    model.NumBrushes = static_cast<std::int32_t>(list.size());
    model.Mins = {1e9f, 1e9f, 1e9f};
    model.Maxs = {-1e9f, -1e9f, -1e9f};
    for (const TBrushSpec& brush : list) {
      brushes.push_back({static_cast<std::int32_t>(sides.size()), static_cast<std::int32_t>(brush.Planes.size()),
                         brush.Texture});
      for (const TBSPPlane& plane : brush.Planes) {
        sides.push_back({static_cast<std::int32_t>(writer.Planes.size()), brush.Texture});
        writer.Planes.push_back(plane);
        // Axial sides bound the model's box (the tests' triggers are boxes).
        const float* n = &plane.Normal.X;
        float* maxs = &model.Maxs.X;
        float* mins = &model.Mins.X;
        for (int axis = 0; axis < 3; ++axis) {
          if (n[axis] == 1) maxs[axis] = std::fmax(maxs[axis], plane.Distance);
          if (n[axis] == -1) mins[axis] = std::fmin(mins[axis], -plane.Distance);
        }
      }
    }
    models.push_back(model);
  };
  add(World);
  for (const auto& model : Models) add(model);
  std::vector<std::int32_t> leafBrushes = LeafBrushesOverride;
  if (leafBrushes.empty())
    for (std::size_t b = 0; b < World.size(); ++b) leafBrushes.push_back(static_cast<std::int32_t>(b));
  writer.Nodes.push_back(testsupport::TBspWriter::Node(0, -1, -2));
  for (int leaf = 0; leaf < 2; ++leaf) {
    TBSPLeaf record = testsupport::TBspWriter::Leaf(leaf, 0, 0);
    record.FirstLeafBrush = 0;
    record.NumLeafBrushes = static_cast<std::int32_t>(leafBrushes.size());
    writer.Leaves.push_back(record);
  }
  writer.SetRawLump(kLeafBrushes, AsBytes(leafBrushes));
  writer.SetRawLump(kModels, AsBytes(models));
  writer.SetRawLump(kBrushes, AsBytes(brushes));
  writer.SetRawLump(kBrushSides, AsBytes(sides));
  return writer.Bytes();
}

}  // namespace physicstest
