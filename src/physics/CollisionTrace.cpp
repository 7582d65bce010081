// The box swept through the tree: the segment split at each node plane it crosses (widened by the
// box's reach along that plane), the brushes of every leaf reached clipped against the segment with
// their planes pushed out by the box; the earliest entry wins.
#include <algorithm>
#include <cmath>

#include "physics/Collision.h"
#include "physics/VectorMath.h"

namespace physics {
namespace {

// The box stops this far before a plane it runs into, so that the next sweep from where it stopped
// never starts on the plane (a start exactly on it would read as inside).
constexpr float kClipEpsilon = 0.125f;

bool Overlaps(const TBox& a, const TBox& b) {
  return a.Mins.X <= b.Maxs.X && a.Maxs.X >= b.Mins.X && a.Mins.Y <= b.Maxs.Y &&
         a.Maxs.Y >= b.Mins.Y && a.Mins.Z <= b.Maxs.Z && a.Maxs.Z >= b.Mins.Z;
}

}  // namespace

struct TCollisionWorld::TSweep {
  TVector Start, End;  // of the box's centre
  TVector Half;        // the box's half size, centred
  TBox Bounds;         // everything the moving box covers
  std::int32_t Mask = kPlayerSolid;
  bool ContentsOnly = false;  // gather the contents of the brushes the still box overlaps
  std::int32_t Contents = 0;
  TTrace Result;
};

std::uint32_t TCollisionWorld::NextMark() const {
  if (++Mark == 0) {
    std::fill(NodeMarks.begin(), NodeMarks.end(), 0);
    std::fill(LeafMarks.begin(), LeafMarks.end(), 0);
    std::fill(BrushMarks.begin(), BrushMarks.end(), 0);
    Mark = 1;
  }
  return Mark;
}

void TCollisionWorld::SweepBrush(TSweep& sweep, const TBrush& brush) const {
  float enter = -1, leave = 1;
  bool startsOut = false, endsOut = false;
  const TSide* hit = nullptr;
  for (std::uint32_t k = 0; k < brush.SideCount; ++k) {
    const TSide& side = Sides[brush.FirstSide + k];
    const float distance = side.Plane.Distance + BoxReach(side.Plane.Normal, sweep.Half);
    const float s = Dot(sweep.Start, side.Plane.Normal) - distance;
    const float e = Dot(sweep.End, side.Plane.Normal) - distance;
    // A box that only touches a plane is outside it: a player put exactly on a floor is not stuck.
    if (s >= 0) startsOut = true;
    if (e >= 0) endsOut = true;
    if (sweep.ContentsOnly) {
      if (s >= 0) return;
      continue;
    }
    // Wholly in front of one plane: the box never enters.
    if (s > 0 && (e >= kClipEpsilon || e >= s)) return;
    if (s < 0 && e <= 0) continue;
    if (s > e) {
      const float f = (s - kClipEpsilon) / (s - e);
      if (f > enter) {
        enter = f;
        hit = &side;
      }
    } else if (s < e) {
      leave = std::min(leave, (s + kClipEpsilon) / (s - e));
    }
  }
  if (sweep.ContentsOnly) {
    sweep.Contents |= brush.Contents;
    return;
  }
  TTrace& result = sweep.Result;
  if (!startsOut) {
    result.StartSolid = true;
    if (!endsOut) {
      result.AllSolid = true;
      result.Fraction = 0;
      result.Contents = brush.Contents;
    }
    return;
  }
  if (enter < leave && enter > -1 && enter < result.Fraction && hit) {
    result.Fraction = std::max(enter, 0.0f);
    result.Plane = hit->Plane;
    result.Texture = hit->Texture;
    result.Contents = brush.Contents;
  }
}

void TCollisionWorld::SweepLeaf(TSweep& sweep, std::uint32_t leaf) const {
  const TLeafRun run = LeafRuns[leaf];
  for (std::uint32_t k = 0; k < run.Count; ++k) {
    const std::uint32_t b = LeafBrushList[run.First + k];
    if (BrushMarks[b] == Mark) continue;
    BrushMarks[b] = Mark;
    const TBrush& brush = Brushes[b];
    if ((brush.Contents & sweep.Mask) == 0 || !Overlaps(brush.Bounds, sweep.Bounds)) continue;
    SweepBrush(sweep, brush);
    if (sweep.Result.AllSolid) return;
  }
}

void TCollisionWorld::SweepTree(TSweep& sweep) const {
  struct TPart {
    std::int32_t Child;
    float From, To;
    TVector A, B;
  };
  std::vector<TPart> stack;
  if (!Nodes.empty()) stack.push_back({0, 0, 1, sweep.Start, sweep.End});
  else if (!LeafRuns.empty()) stack.push_back({-1, 0, 1, sweep.Start, sweep.End});
  while (!stack.empty() && !sweep.Result.AllSolid) {
    const TPart part = stack.back();
    stack.pop_back();
    if (part.From > sweep.Result.Fraction) continue;
    if (part.Child < 0) {
      const std::uint32_t leaf = static_cast<std::uint32_t>(-(part.Child + 1));
      if (leaf >= LeafRuns.size() || LeafMarks[leaf] == Mark) continue;
      LeafMarks[leaf] = Mark;
      SweepLeaf(sweep, leaf);
      continue;
    }
    const std::uint32_t index = static_cast<std::uint32_t>(part.Child);
    if (index >= Nodes.size() || NodeMarks[index] == Mark) continue;
    NodeMarks[index] = Mark;
    const TNode& node = Nodes[index];
    const TCollisionPlane& plane = Planes[node.Plane];
    const float reach = BoxReach(plane.Normal, sweep.Half);
    const float s = Dot(part.A, plane.Normal) - plane.Distance;
    const float e = Dot(part.B, plane.Normal) - plane.Distance;
    if (s >= reach + 1 && e >= reach + 1) {
      stack.push_back({node.Children[0], part.From, part.To, part.A, part.B});
      continue;
    }
    if (s < -reach - 1 && e < -reach - 1) {
      stack.push_back({node.Children[1], part.From, part.To, part.A, part.B});
      continue;
    }
    // Both sides: the near part up to where the widened plane is left behind, the far part from
    // where it is entered; they overlap by the box's reach. NaN planes fall here too and only
    // cost both children.
    int nearSide = 0;
    float nearTo = 1, farFrom = 0;
    if (s < e) {
      nearSide = 1;
      const float inverse = 1 / (s - e);
      nearTo = (s - reach - kClipEpsilon) * inverse;
      farFrom = (s + reach + kClipEpsilon) * inverse;
    } else if (e < s) {
      const float inverse = 1 / (s - e);
      nearTo = (s + reach + kClipEpsilon) * inverse;
      farFrom = (s - reach - kClipEpsilon) * inverse;
    }
    nearTo = std::clamp(nearTo, 0.0f, 1.0f);
    farFrom = std::clamp(farFrom, 0.0f, 1.0f);
    if (!(nearTo == nearTo)) nearTo = 1;
    if (!(farFrom == farFrom)) farFrom = 0;
    const float span = part.To - part.From;
    const TVector delta = part.B - part.A;
    // The far part first onto the stack, so that the near part is swept first.
    stack.push_back({node.Children[1 - nearSide], part.From + span * farFrom, part.To,
                     part.A + delta * farFrom, part.B});
    stack.push_back({node.Children[nearSide], part.From, part.From + span * nearTo, part.A,
                     part.A + delta * nearTo});
  }
}

TTrace TCollisionWorld::Trace(const TVector& start, const TVector& end, const TBox& box,
                              std::int32_t mask) const {
  TSweep sweep;
  const TVector centre = (box.Mins + box.Maxs) * 0.5f;
  sweep.Half = (box.Maxs - box.Mins) * 0.5f;
  sweep.Start = start + centre;
  sweep.End = end + centre;
  sweep.Mask = mask;
  sweep.Bounds = {{std::min(sweep.Start.X, sweep.End.X) - sweep.Half.X - 1,
                   std::min(sweep.Start.Y, sweep.End.Y) - sweep.Half.Y - 1,
                   std::min(sweep.Start.Z, sweep.End.Z) - sweep.Half.Z - 1},
                  {std::max(sweep.Start.X, sweep.End.X) + sweep.Half.X + 1,
                   std::max(sweep.Start.Y, sweep.End.Y) + sweep.Half.Y + 1,
                   std::max(sweep.Start.Z, sweep.End.Z) + sweep.Half.Z + 1}};
  NextMark();
  SweepTree(sweep);
  for (const TPatch& patch : Patches) {
    if (sweep.Result.AllSolid || !Overlaps(patch.Bounds, sweep.Bounds)) continue;
    for (std::uint32_t k = 0; k < patch.BrushCount; ++k) {
      const TBrush& brush = PatchBrushes[patch.FirstBrush + k];
      if ((brush.Contents & mask) != 0 && Overlaps(brush.Bounds, sweep.Bounds)) SweepBrush(sweep, brush);
    }
  }
  TTrace result = sweep.Result;
  result.End = result.Fraction >= 1 ? end : start + (end - start) * result.Fraction;
  return result;
}

std::int32_t TCollisionWorld::BoxContents(const TVector& at, const TBox& box) const {
  TSweep sweep;
  const TVector centre = (box.Mins + box.Maxs) * 0.5f;
  sweep.Half = (box.Maxs - box.Mins) * 0.5f;
  sweep.Start = sweep.End = at + centre;
  sweep.Mask = ~0;
  sweep.ContentsOnly = true;
  sweep.Bounds = {at + box.Mins, at + box.Maxs};
  NextMark();
  SweepTree(sweep);
  return sweep.Contents;
}

bool TCollisionWorld::BoxTouchesBrushes(const TVector& at, const TBox& box, std::int32_t first,
                                        std::int32_t count) const {
  if (first < 0 || count <= 0 || std::int64_t{first} + count > static_cast<std::int64_t>(Brushes.size()))
    return false;
  const TVector half = (box.Maxs - box.Mins) * 0.5f;
  const TVector centre = at + (box.Mins + box.Maxs) * 0.5f;
  for (std::int32_t k = 0; k < count; ++k) {
    const TBrush& brush = Brushes[static_cast<std::size_t>(first + k)];
    bool inside = brush.SideCount > 0;
    for (std::uint32_t s = 0; inside && s < brush.SideCount; ++s) {
      const TSide& side = Sides[brush.FirstSide + s];
      inside = Dot(centre, side.Plane.Normal) - side.Plane.Distance - BoxReach(side.Plane.Normal, half) < 0;
    }
    if (inside) return true;
  }
  return false;
}

}  // namespace physics
