#include "render/DrawOrder.h"

#include <algorithm>
#include <limits>
#include <numeric>

float NearestDistanceSquared(const TBox& box, const TVector& point) {
  if (box.Empty()) return std::numeric_limits<float>::infinity();
  auto outside = [](float value, float low, float high) {
    return value < low ? low - value : value > high ? value - high : 0.0f;
  };
  const float dx = outside(point.X, box.Min.X, box.Max.X);
  const float dy = outside(point.Y, box.Min.Y, box.Max.Y);
  const float dz = outside(point.Z, box.Min.Z, box.Max.Z);
  return dx * dx + dy * dy + dz * dz;
}

namespace {

// A sort key: NaN (an eye far out of range) counts as farthest, since a strict order needs numbers.
float Key(const TBox& box, const TVector& eye) {
  const float d = NearestDistanceSquared(box, eye);
  return d >= 0.0f ? d : std::numeric_limits<float>::infinity();
}

// Positions 0 .. n-1 near to far by key; stable, so that equal distances (the eye inside both
// boxes) keep the lists' order.
std::vector<std::uint32_t> NearToFar(const std::vector<float>& key) {
  std::vector<std::uint32_t> at(key.size());
  std::iota(at.begin(), at.end(), 0u);
  std::stable_sort(at.begin(), at.end(), [&](std::uint32_t a, std::uint32_t b) { return key[a] < key[b]; });
  return at;
}

void SortFaceRuns(std::vector<TFaceRun>& runs, const TVector& eye, std::vector<float>& key) {
  key.resize(runs.size());
  for (std::size_t i = 0; i < runs.size(); ++i) key[i] = Key(runs[i].Box, eye);
  std::vector<TFaceRun> sorted;
  sorted.reserve(runs.size());
  for (const std::uint32_t i : NearToFar(key)) sorted.push_back(runs[i]);
  runs = std::move(sorted);
}

// The runs of one batch near to far, its indices rewritten in that order (the runs' First with
// them), so that a whole batch drawn in one call is drawn near to far too.
void SortRuns(TDrawBatch& batch, const TVector& eye, std::vector<float>& key, std::vector<std::uint32_t>& scratch) {
  SortFaceRuns(batch.LargeFaces, eye, key);
  SortFaceRuns(batch.Faces, eye, key);
  scratch.clear();
  for (TFaceRun& run : batch.Faces) {
    const auto first = static_cast<std::uint32_t>(scratch.size());
    scratch.insert(scratch.end(), batch.Indices.begin() + run.First, batch.Indices.begin() + run.First + run.Count);
    run.First = first;
  }
  batch.Indices.swap(scratch);
}

}  // namespace

bool UpdateDrawOrder(TDrawOrder& order, TDrawLists& lists, const TVector& eye) {
  const float dx = eye.X - order.Eye.X, dy = eye.Y - order.Eye.Y, dz = eye.Z - order.Eye.Z;
  // Written so that a NaN distance sorts again rather than keeps.
  const bool near = dx * dx + dy * dy + dz * dz <= kResortDistance * kResortDistance;
  if (order.ListBuilds == lists.Builds && order.Batches.size() == lists.Batches.size() && near) return false;
  order.ListBuilds = lists.Builds;
  order.Eye = eye;
  ++order.Sorts;
  std::vector<float> key(lists.Batches.size());
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = Key(lists.Batches[i].Box, eye);
  order.Batches = NearToFar(key);
  for (TDrawBatch& batch : lists.Batches) SortRuns(batch, eye, key, order.Scratch);
  return true;
}
