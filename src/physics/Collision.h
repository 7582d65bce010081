#pragma once
// The level as the player's body meets it: the brushes of the tree (convex volumes bounded by
// their sides' planes, each with the contents of its texture) and the curved surfaces turned into
// thin brushes, with a box swept through the tree against them. Pure: records in, traces out.
//
// Bounded by the level's own counts, whatever the file says: brushes without sides, with a side
// or plane outside the lumps or with a plane that is not finite are left out; a leaf's list keeps
// each brush once; every trace visits a node, a leaf and a brush at most once.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "genom/genom.h"
#include "level/Q3BSP.h"

namespace physics {

// Contents bits of a texture record, as the level's compiler writes them.
inline constexpr std::int32_t kContentsSolid = 0x1;
inline constexpr std::int32_t kContentsLava = 0x8;
inline constexpr std::int32_t kContentsSlime = 0x10;
inline constexpr std::int32_t kContentsWater = 0x20;
inline constexpr std::int32_t kContentsFog = 0x40;
inline constexpr std::int32_t kContentsPlayerClip = 0x10000;
inline constexpr std::int32_t kContentsTrigger = 0x40000000;
// What stops a player.
inline constexpr std::int32_t kPlayerSolid = kContentsSolid | kContentsPlayerClip;
inline constexpr std::int32_t kContentsLiquid = kContentsLava | kContentsSlime | kContentsWater;
// Surface flag of a curved surface the player passes through.
inline constexpr std::int32_t kSurfaceNonSolid = 0x4000;

// Curved surfaces become a brush per triangle of their grid tessellated at this many segments
// per piece side, and the level keeps at most kMostPatchTriangles of them (OpenArena's levels
// need a few thousand); past it the rest are left out with a problem.
inline constexpr std::int32_t kPatchCollisionSegments = 4;
inline constexpr std::size_t kMostPatchTriangles = std::size_t{1} << 17;

struct TBox {
  TVector Mins, Maxs;
};

struct TCollisionPlane {
  TVector Normal{0, 0, 0};
  float Distance = 0;
};

// What a sweep met first.
struct TTrace {
  float Fraction = 1;         // of the way from start to end travelled, 0 .. 1
  TVector End{0, 0, 0};       // where the box stopped
  bool StartSolid = false;    // the box began inside a brush of the mask
  bool AllSolid = false;      // ... and never left it
  TCollisionPlane Plane;      // the surface hit (the brush side's own plane, not pushed out)
  std::int32_t Texture = -1;  // the side's texture record; -1 for none
  std::int32_t Contents = 0;  // the contents of the brush hit
};

class TCollisionWorld {
 public:
  TCollisionWorld() = default;
  // Everything it needs from the level's checked records and its bytes (lumps 6, 8 and 9 are read
  // here, leniently: a lump outside the bytes is a problem and no brushes).
  TCollisionWorld(std::span<const std::uint8_t> levelBytes, const std::vector<TBSPNode>& nodes,
                  const std::vector<TBSPLeaf>& leaves, const std::vector<TBSPPlane>& planes,
                  const std::vector<TBSPTexture>& textures, const std::vector<TBSPFace>& faces,
                  const std::vector<TBSPVertex>& vertices);

  // The box swept from start to end against the brushes whose contents meet `mask`. Not safe to
  // call from two threads at once (each trace marks what it has visited).
  TTrace Trace(const TVector& start, const TVector& end, const TBox& box,
               std::int32_t mask = kPlayerSolid) const;
  // The contents of every world brush the box at `at` overlaps (water, lava, triggers ...).
  std::int32_t BoxContents(const TVector& at, const TBox& box) const;
  // Whether the box at `at` overlaps one of the brushes first .. first + count - 1 (a brush
  // model's; a range outside the brushes touches nothing).
  bool BoxTouchesBrushes(const TVector& at, const TBox& box, std::int32_t first,
                         std::int32_t count) const;

  std::string TextureName(std::int32_t texture) const;
  std::int32_t TextureContents(std::int32_t texture) const;
  std::size_t BrushCount() const { return Brushes.size(); }
  std::size_t PatchBrushCount() const { return PatchBrushes.size(); }
  // What was left out of the level's brushes and why, one line each (at most a few).
  const std::vector<std::string>& Problems() const { return ProblemLines; }

  struct TSide {
    TCollisionPlane Plane;
    std::int32_t Texture;
  };
  struct TBrush {
    std::uint32_t FirstSide = 0, SideCount = 0;  // 0 sides: left out
    std::int32_t Contents = 0;
    TBox Bounds;  // from its axial sides; unbounded when it has not all six
  };

 private:
  struct TLeafRun {
    std::uint32_t First = 0, Count = 0;
  };
  struct TNode {
    std::uint32_t Plane;
    std::int32_t Children[2];
  };
  struct TPatch {
    std::uint32_t FirstBrush = 0, BrushCount = 0;  // into PatchBrushes
    TBox Bounds;
  };
  struct TSweep;

  std::vector<TNode> Nodes;
  std::vector<TCollisionPlane> Planes;
  std::vector<TLeafRun> LeafRuns;           // per leaf, into LeafBrushList
  std::vector<std::uint32_t> LeafBrushList;  // each leaf's brushes, each once
  std::vector<TBrush> Brushes;               // the level's, then nothing else
  std::vector<TBrush> PatchBrushes;          // the curved surfaces' triangles
  std::vector<TPatch> Patches;               // checked by their bounds, not through the tree
  std::vector<TSide> Sides;                  // of both
  std::vector<std::string> TextureNames;
  std::vector<std::int32_t> TextureContentsList;
  std::vector<std::string> ProblemLines;
  mutable std::vector<std::uint32_t> NodeMarks, LeafMarks, BrushMarks;
  mutable std::uint32_t Mark = 0;

  void ReadBrushes(std::span<const std::uint8_t> levelBytes, const std::vector<TBSPLeaf>& leaves);
  void AddPatches(const std::vector<TBSPFace>& faces, const std::vector<TBSPVertex>& vertices,
                  const std::vector<TBSPTexture>& textures);
  void AddTriangle(const TVector& a, const TVector& b, const TVector& c, std::int32_t texture,
                   std::int32_t contents);
  std::uint32_t NextMark() const;
  void SweepTree(TSweep& sweep) const;
  void SweepLeaf(TSweep& sweep, std::uint32_t leaf) const;
  void SweepBrush(TSweep& sweep, const TBrush& brush) const;
};

// The box's bounds pushed along each brush side: the distance the box's centre keeps from a plane
// with this normal when a corner touches it.
float BoxReach(const TVector& normal, const TVector& halfSize);

}  // namespace physics
