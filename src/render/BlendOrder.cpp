#include "render/BlendOrder.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "level/DrawLists.h"

namespace {

TBox GroupBox(const TQuake3BSP& level, const TShadedGroup& group) {
  TBox box;
  const AGLNrf3& positions = level.Shading.Arrays.Positions;
  for (const GLuint i : group.Indices)
    if (i < positions.size()) box.Add(positions[i]);
  for (const std::int32_t f : group.Large)
    for (const TVector& p : level.FaceVertices[static_cast<std::size_t>(f)]) box.Add(p);
  return box;
}

}  // namespace

std::vector<std::int32_t> FarToNear(const TQuake3BSP& level, const TShadedFrame& frame, const TVector& eye,
                                    const std::vector<std::int32_t>& drawOrder) {
  std::vector<std::pair<double, std::int32_t>> placed;
  placed.reserve(drawOrder.size());
  for (const std::int32_t t : drawOrder) {
    const std::size_t texture = static_cast<std::size_t>(t);
    double distance = std::numeric_limits<double>::max();  // nothing visible: first, and not drawn
    if (texture < frame.Groups.size()) {
      const TBox box = GroupBox(level, frame.Groups[texture]);
      if (!box.Empty()) {
        const double dx = (box.Min.X + box.Max.X) / 2.0 - eye.X, dy = (box.Min.Y + box.Max.Y) / 2.0 - eye.Y,
                     dz = (box.Min.Z + box.Max.Z) / 2.0 - eye.Z;
        distance = dx * dx + dy * dy + dz * dz;
      }
    }
    placed.emplace_back(distance, t);
  }
  std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::int32_t> order;
  order.reserve(placed.size());
  for (const auto& [distance, t] : placed) order.push_back(t);
  return order;
}
