// The collision model built from the level's records: the tree and planes copied, each leaf's
// brush list made unique, the brushes' sides resolved to planes, the curved surfaces' triangles
// made into thin brushes.
#include "physics/Collision.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "level/BSPFile.h"
#include "level/Patch.h"
#include "physics/VectorMath.h"

namespace physics {
namespace {

// A real brush has a few dozen sides; more is a hostile record, left out so that one brush never
// costs more than this many plane tests.
constexpr std::uint32_t kMostBrushSides = 256;
// All leaves' brush lists together, past the leaf-brush lump itself (real levels list each entry
// once): beyond this many entries the rest of the leaves keep no brushes.
constexpr std::size_t kLeafListSlack = 1 << 16;
constexpr float kUnbounded = std::numeric_limits<float>::max();

template <typename T>
std::vector<T> LumpRecords(std::span<const std::uint8_t> bytes, int index, const char* name,
                           std::vector<std::string>& problems) {
  std::vector<T> records;
  constexpr std::size_t kDirectoryEnd = sizeof(TBSPHeader) + kLumpCount * sizeof(TBSPLump);
  if (bytes.size() < kDirectoryEnd) return records;
  TBSPLump lump;
  std::memcpy(&lump, bytes.data() + sizeof(TBSPHeader) + index * sizeof(TBSPLump), sizeof lump);
  if (lump.Length == 0) return records;
  if (lump.Offset < 0 || lump.Length < 0 ||
      std::int64_t{lump.Offset} + lump.Length > static_cast<std::int64_t>(bytes.size())) {
    problems.push_back(std::string("the ") + name + " lump lies outside the file: no collision");
    return records;
  }
  records.resize(static_cast<std::size_t>(lump.Length) / sizeof(T));
  std::memcpy(records.data(), bytes.data() + lump.Offset, records.size() * sizeof(T));
  return records;
}

// The bounds a brush's axial sides give; unbounded along an axis whose two sides are missing.
TBox AxialBounds(std::span<const TCollisionWorld::TSide> sides) {
  TBox box{{-kUnbounded, -kUnbounded, -kUnbounded}, {kUnbounded, kUnbounded, kUnbounded}};
  float* mins[3] = {&box.Mins.X, &box.Mins.Y, &box.Mins.Z};
  float* maxs[3] = {&box.Maxs.X, &box.Maxs.Y, &box.Maxs.Z};
  for (const TCollisionWorld::TSide& side : sides) {
    const float n[3] = {side.Plane.Normal.X, side.Plane.Normal.Y, side.Plane.Normal.Z};
    for (int axis = 0; axis < 3; ++axis) {
      if (n[axis] == 1 && n[(axis + 1) % 3] == 0 && n[(axis + 2) % 3] == 0) *maxs[axis] = side.Plane.Distance;
      if (n[axis] == -1 && n[(axis + 1) % 3] == 0 && n[(axis + 2) % 3] == 0) *mins[axis] = -side.Plane.Distance;
    }
  }
  return box;
}

}  // namespace

float BoxReach(const TVector& normal, const TVector& halfSize) {
  return std::fabs(normal.X) * halfSize.X + std::fabs(normal.Y) * halfSize.Y +
         std::fabs(normal.Z) * halfSize.Z;
}

TCollisionWorld::TCollisionWorld(std::span<const std::uint8_t> levelBytes,
                                 const std::vector<TBSPNode>& nodes,
                                 const std::vector<TBSPLeaf>& leaves,
                                 const std::vector<TBSPPlane>& planes,
                                 const std::vector<TBSPTexture>& textures,
                                 const std::vector<TBSPFace>& faces,
                                 const std::vector<TBSPVertex>& vertices) {
  for (const TBSPPlane& plane : planes) Planes.push_back({plane.Normal, plane.Distance});
  // The checked records promise plane and child indices inside their arrays, children after
  // their parents; the tree is copied as it is.
  for (const TBSPNode& node : nodes)
    Nodes.push_back({static_cast<std::uint32_t>(node.PlaneIndex), {node.Front, node.Back}});
  for (const TBSPTexture& texture : textures) {
    TextureNames.push_back(TextureBaseName(texture));
    TextureContentsList.push_back(texture.Contents);
  }
  ReadBrushes(levelBytes, leaves);
  AddPatches(faces, vertices, textures);
  NodeMarks.assign(Nodes.size(), 0);
  LeafMarks.assign(LeafRuns.size(), 0);
  BrushMarks.assign(Brushes.size(), 0);
}

void TCollisionWorld::ReadBrushes(std::span<const std::uint8_t> levelBytes,
                                  const std::vector<TBSPLeaf>& leaves) {
  struct TBrushRecord {
    std::int32_t FirstSide, SideCount, Texture;
  };
  struct TSideRecord {
    std::int32_t Plane, Texture;
  };
  const auto leafBrushes = LumpRecords<std::int32_t>(levelBytes, kLeafBrushes, "leaf brushes", ProblemLines);
  const auto records = LumpRecords<TBrushRecord>(levelBytes, kBrushes, "brushes", ProblemLines);
  const auto sides = LumpRecords<TSideRecord>(levelBytes, kBrushSides, "brush sides", ProblemLines);
  std::size_t leftOut = 0;
  for (const TBrushRecord& record : records) {
    TBrush brush;
    brush.Contents = TextureContents(record.Texture);
    const bool inside = record.FirstSide >= 0 && record.SideCount > 0 &&
                        static_cast<std::uint32_t>(record.SideCount) <= kMostBrushSides &&
                        std::int64_t{record.FirstSide} + record.SideCount <= static_cast<std::int64_t>(sides.size());
    const std::size_t first = Sides.size();
    bool usable = inside;
    for (std::int32_t k = 0; usable && k < record.SideCount; ++k) {
      const TSideRecord& side = sides[static_cast<std::size_t>(record.FirstSide + k)];
      usable = static_cast<std::uint32_t>(side.Plane) < Planes.size() &&
               IsFinite(Planes[static_cast<std::size_t>(side.Plane)].Normal) &&
               std::isfinite(Planes[static_cast<std::size_t>(side.Plane)].Distance);
      if (usable) Sides.push_back({Planes[static_cast<std::size_t>(side.Plane)], side.Texture});
    }
    if (!usable) {
      Sides.resize(first);
      leftOut += brush.Contents != 0;
    } else {
      brush.FirstSide = static_cast<std::uint32_t>(first);
      brush.SideCount = static_cast<std::uint32_t>(record.SideCount);
      brush.Bounds = AxialBounds(std::span(Sides).subspan(first));
    }
    Brushes.push_back(brush);
  }
  if (leftOut > 0)
    ProblemLines.push_back(std::to_string(leftOut) + " brushes without sides, with a side or plane outside the "
                           "level or a plane that is not finite: left out");
  // Each leaf's list, each brush once; the marks tell which brushes the leaf has already listed.
  std::vector<std::uint32_t> listed(Brushes.size(), 0);
  const std::size_t most = leafBrushes.size() + kLeafListSlack;
  bool cut = false;
  for (std::size_t leaf = 0; leaf < leaves.size(); ++leaf) {
    const TBSPLeaf& record = leaves[leaf];
    TLeafRun run{static_cast<std::uint32_t>(LeafBrushList.size()), 0};
    const bool inside = record.FirstLeafBrush >= 0 && record.NumLeafBrushes >= 0 &&
                        std::int64_t{record.FirstLeafBrush} + record.NumLeafBrushes <=
                            static_cast<std::int64_t>(leafBrushes.size());
    for (std::int32_t k = 0; inside && !cut && k < record.NumLeafBrushes; ++k) {
      const std::int32_t b = leafBrushes[static_cast<std::size_t>(record.FirstLeafBrush + k)];
      if (static_cast<std::uint32_t>(b) >= Brushes.size() || Brushes[static_cast<std::size_t>(b)].SideCount == 0 ||
          listed[static_cast<std::size_t>(b)] == leaf + 1)
        continue;
      listed[static_cast<std::size_t>(b)] = static_cast<std::uint32_t>(leaf + 1);
      LeafBrushList.push_back(static_cast<std::uint32_t>(b));
      cut = LeafBrushList.size() >= most;
    }
    run.Count = static_cast<std::uint32_t>(LeafBrushList.size()) - run.First;
    LeafRuns.push_back(run);
  }
  if (cut) ProblemLines.push_back("the leaves list their brushes over and over: the later leaves keep none");
}

void TCollisionWorld::AddPatches(const std::vector<TBSPFace>& faces,
                                 const std::vector<TBSPVertex>& vertices,
                                 const std::vector<TBSPTexture>& textures) {
  bool cut = false;
  for (const TBSPFace& face : faces) {
    if (face.FaceType != 2 || PatchGridProblem(face)) continue;
    if (static_cast<std::uint32_t>(face.TextureIndex) >= textures.size()) continue;
    const TBSPTexture& texture = textures[static_cast<std::size_t>(face.TextureIndex)];
    if ((texture.Contents & kPlayerSolid) == 0 || (texture.Flags & kSurfaceNonSolid) != 0) continue;
    const std::int64_t triangles =
        PatchTriangleCount(face.PatchSize[0], face.PatchSize[1], kPatchCollisionSegments);
    if (PatchBrushes.size() + static_cast<std::size_t>(triangles) > kMostPatchTriangles) {
      cut = true;
      continue;
    }
    // ParseBSP has checked the face's vertex run against the vertices.
    const std::span<const TBSPVertex> grid(vertices.data() + face.FirstVertex,
                                           static_cast<std::size_t>(face.NumVertices));
    const TPatchMesh mesh = TessellatePatch(grid, face.PatchSize[0], face.PatchSize[1], kPatchCollisionSegments);
    TPatch patch;
    patch.FirstBrush = static_cast<std::uint32_t>(PatchBrushes.size());
    patch.Bounds = {{kUnbounded, kUnbounded, kUnbounded}, {-kUnbounded, -kUnbounded, -kUnbounded}};
    for (const TBSPVertex& v : mesh.Vertices) {
      patch.Bounds.Mins = {std::min(patch.Bounds.Mins.X, v.Position.X), std::min(patch.Bounds.Mins.Y, v.Position.Y),
                           std::min(patch.Bounds.Mins.Z, v.Position.Z)};
      patch.Bounds.Maxs = {std::max(patch.Bounds.Maxs.X, v.Position.X), std::max(patch.Bounds.Maxs.Y, v.Position.Y),
                           std::max(patch.Bounds.Maxs.Z, v.Position.Z)};
    }
    for (std::size_t i = 0; i + 2 < mesh.Indices.size(); i += 3)
      AddTriangle(mesh.Vertices[mesh.Indices[i]].Position, mesh.Vertices[mesh.Indices[i + 1]].Position,
                  mesh.Vertices[mesh.Indices[i + 2]].Position, face.TextureIndex, texture.Contents);
    patch.BrushCount = static_cast<std::uint32_t>(PatchBrushes.size()) - patch.FirstBrush;
    if (patch.BrushCount > 0 && IsFinite(patch.Bounds.Mins) && IsFinite(patch.Bounds.Maxs)) Patches.push_back(patch);
  }
  if (cut)
    ProblemLines.push_back("more than " + std::to_string(kMostPatchTriangles) +
                           " curved-surface triangles: the later curved surfaces do not collide");
}

// A triangle as a brush of no thickness (the box pushed out along its planes gives it the box's):
// its plane both ways, a plane up from each edge, and the six axial planes of its bounds, which
// keep a box from catching on the edge planes' far-reaching corners.
void TCollisionWorld::AddTriangle(const TVector& a, const TVector& b, const TVector& c,
                                  std::int32_t texture, std::int32_t contents) {
  TVector normal = Cross(b - a, c - a);
  if (!MakeUnit(normal) || !IsFinite(a) || !IsFinite(b) || !IsFinite(c)) return;
  const std::size_t first = Sides.size();
  const float distance = Dot(normal, a);
  Sides.push_back({{normal, distance}, texture});
  Sides.push_back({{normal * -1, -distance}, texture});
  const TVector corners[3] = {a, b, c};
  for (int k = 0; k < 3; ++k) {
    const TVector& p = corners[k];
    const TVector& q = corners[(k + 1) % 3];
    TVector out = Cross(q - p, normal);
    if (!MakeUnit(out)) continue;
    if (Dot(out, corners[(k + 2) % 3]) > Dot(out, p)) out = out * -1;
    Sides.push_back({{out, Dot(out, p)}, texture});
  }
  const TVector mins{std::min({a.X, b.X, c.X}), std::min({a.Y, b.Y, c.Y}), std::min({a.Z, b.Z, c.Z})};
  const TVector maxs{std::max({a.X, b.X, c.X}), std::max({a.Y, b.Y, c.Y}), std::max({a.Z, b.Z, c.Z})};
  Sides.push_back({{{1, 0, 0}, maxs.X}, texture});
  Sides.push_back({{{-1, 0, 0}, -mins.X}, texture});
  Sides.push_back({{{0, 1, 0}, maxs.Y}, texture});
  Sides.push_back({{{0, -1, 0}, -mins.Y}, texture});
  Sides.push_back({{{0, 0, 1}, maxs.Z}, texture});
  Sides.push_back({{{0, 0, -1}, -mins.Z}, texture});
  TBrush brush;
  brush.FirstSide = static_cast<std::uint32_t>(first);
  brush.SideCount = static_cast<std::uint32_t>(Sides.size() - first);
  brush.Contents = contents;
  brush.Bounds = {mins, maxs};
  PatchBrushes.push_back(brush);
}

std::string TCollisionWorld::TextureName(std::int32_t texture) const {
  if (static_cast<std::uint32_t>(texture) >= TextureNames.size()) return {};
  return TextureNames[static_cast<std::size_t>(texture)];
}

std::int32_t TCollisionWorld::TextureContents(std::int32_t texture) const {
  if (static_cast<std::uint32_t>(texture) >= TextureContentsList.size()) return 0;
  return TextureContentsList[static_cast<std::size_t>(texture)];
}

}  // namespace physics
