#include "level/DrawLists.h"

#include <algorithm>
#include <limits>
#include <map>

#include "level/Q3BSP.h"
#include "level/Q3BSP_surfaces.h"

void TBox::Add(const TVector& p) {
  if (Empty()) {
    Min = Max = p;
    return;
  }
  Min = {std::min(Min.X, p.X), std::min(Min.Y, p.Y), std::min(Min.Z, p.Z)};
  Max = {std::max(Max.X, p.X), std::max(Max.Y, p.Y), std::max(Max.Z, p.Z)};
}

void TBox::Add(const TBox& box) {
  if (box.Empty()) return;
  Add(box.Min);
  Add(box.Max);
}

namespace {

// A position in no leaf marks nothing: a key no leaf's cluster can have.
constexpr std::int32_t kNoLeafCluster = std::numeric_limits<std::int32_t>::min();

// What the frame does with one texture's faces.
struct TTextureRule {
  bool Drawn = true;     // opaque and drawn: into the batches
  bool Lit = true;       // with its lightmap
  bool Blended = false;  // drawn, after the opaque surfaces
};

// With the shading, only the surfaces whose stages are the plain frame's pair are batched; every
// other drawn surface is left to the stages.
TTextureRule RuleFor(const TQuake3BSP& level, std::size_t t, bool shaded) {
  if (!shaded) return {};
  const shaders::TDrawState& state = level.Shading.States[t];
  const bool onePass = t < level.Shading.Surfaces.size() && level.Shading.Surfaces[t].Plan.OnePass;
  return {state.Drawn && !state.Blended && onePass, state.Lightmap, state.Drawn && state.Blended};
}

// The normal as wound of the run's largest triangle, (b - a) x (c - a), and its corner a: a thin
// sliver's would point anywhere.
void SetWinding(TFaceRun& run, const TDrawBatch& batch) {
  float largest = 0;
  for (std::uint32_t t = run.First; t + 2 < run.First + run.Count; t += 3) {
    const TVector& a = batch.Positions[batch.Indices[t]];
    const TVector& b = batch.Positions[batch.Indices[t + 1]];
    const TVector& c = batch.Positions[batch.Indices[t + 2]];
    const float ux = b.X - a.X, uy = b.Y - a.Y, uz = b.Z - a.Z;
    const float vx = c.X - a.X, vy = c.Y - a.Y, vz = c.Z - a.Z;
    const TVector n{uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
    const float area = n.X * n.X + n.Y * n.Y + n.Z * n.Z;
    if (!(area > largest)) continue;
    largest = area;
    run.Winding = n;
    run.Corner = a;
  }
}

void AppendFace(TDrawBatch& batch, const TQuake3BSP& level, std::size_t face) {
  const AGLNrf3& vertices = level.FaceVertices[face];
  const auto base = static_cast<std::uint32_t>(batch.Positions.size());
  TFaceRun run;
  for (const TVector& v : vertices) run.Box.Add(v);
  batch.Box.Add(run.Box);
  const std::vector<std::uint32_t>& indices = level.FaceIndices[face];
  if (vertices.size() > kLargeFaceVertices || indices.size() > kLargeFaceIndices) {
    run.First = static_cast<std::uint32_t>(face);
    batch.LargeFaces.push_back(run);
    return;
  }
  run.First = static_cast<std::uint32_t>(batch.Indices.size());
  batch.Positions.insert(batch.Positions.end(), vertices.begin(), vertices.end());
  batch.Coords.insert(batch.Coords.end(), level.FaceTexCoords[face].begin(), level.FaceTexCoords[face].end());
  const AGLNrf2& lightmapCoords = level.FaceLightmapCoords[face];
  batch.LightmapCoords.insert(batch.LightmapCoords.end(), lightmapCoords.begin(), lightmapCoords.end());
  // Every array of a face has its vertex count (LoadBSP builds them so); a level built otherwise
  // gets its shorter arrays padded rather than read past.
  batch.Coords.resize(batch.Positions.size());
  batch.LightmapCoords.resize(batch.Positions.size());
  if (!indices.empty()) {
    for (const std::uint32_t i : indices) batch.Indices.push_back(base + i);
  } else {
    for (std::uint32_t i = 1; i + 1 < vertices.size(); ++i) batch.Indices.insert(batch.Indices.end(), {base, base + i, base + i + 1});
  }
  run.Count = static_cast<std::uint32_t>(batch.Indices.size()) - run.First;
  if (level.Faces[face].FaceType == kPolygonFace && run.Count >= 3) SetWinding(run, batch);
  batch.Faces.push_back(run);
}

}  // namespace

TDrawListKey DrawListKey(const TQuake3BSP& level, const TVector& markedFrom, const TRenderOptions& options) {
  TDrawListKey key;
  key.AllFaces = options.AllFaces;
  key.AllSurfaces = options.Surfaces == TSurfaceSet::All;
  key.Shaded = options.Shaders && !level.Shading.States.empty();
  key.BrushModels = options.BrushModels;
  if (key.AllFaces) return key;
  const std::int32_t leaf = level.FindLeaf(markedFrom);
  key.Cluster = leaf >= 0 && static_cast<std::size_t>(leaf) < level.Leaves.size()
                    ? level.Leaves[static_cast<std::size_t>(leaf)].Cluster
                    : kNoLeafCluster;
  return key;
}

void BuildDrawLists(TDrawLists& lists, const TQuake3BSP& level, const TDrawListKey& key) {
  // The batches' arrays are kept and refilled: a cluster change costs copies, not allocations.
  std::vector<TDrawBatch> old = std::move(lists.Batches);
  lists.Batches.clear();
  lists.VisibleFaces = lists.BatchedFaces = lists.BlendedFaces = 0;
  for (std::size_t t = 0; t < level.TextureFaces.size(); ++t) {
    const TTextureRule rule = RuleFor(level, t, key.Shaded);
    std::map<std::int32_t, std::vector<std::size_t>> byLightmap;
    for (const std::int32_t f : level.TextureFaces[t]) {
      const auto face = static_cast<std::size_t>(f);
      if (level.FaceVisible[face] == 0) continue;
      // Counted as the texture pass counts: with every surface, only faces that are drawn.
      const bool drawn = FrameDrawsFace(level, face, key.AllSurfaces);
      if (key.AllSurfaces && !drawn) continue;
      ++lists.VisibleFaces;
      if (rule.Blended) ++lists.BlendedFaces;
      if (!drawn || !rule.Drawn) continue;
      const std::int32_t m = level.Faces[face].LightmapIndex;
      byLightmap[rule.Lit && m >= 0 && m < level.LightmapCount ? m : -1].push_back(face);
    }
    for (const auto& [m, faces] : byLightmap) {
      TDrawBatch batch;
      if (!old.empty()) {
        batch = std::move(old.back());
        old.pop_back();
      }
      batch.Texture = static_cast<std::int32_t>(t);
      batch.Lightmap = m;
      batch.Positions.clear();
      batch.Coords.clear();
      batch.LightmapCoords.clear();
      batch.Indices.clear();
      batch.Faces.clear();
      batch.LargeFaces.clear();
      batch.Box = {};
      for (const std::size_t face : faces) AppendFace(batch, level, face);
      lists.BatchedFaces += static_cast<std::int32_t>(faces.size());
      lists.Batches.push_back(std::move(batch));
    }
  }
  lists.Key = key;
  lists.Built = true;
  ++lists.Builds;
}
