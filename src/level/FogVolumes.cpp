// Fog volumes from the fogs, brushes and brush sides lumps.
#include "level/FogVolumes.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

#pragma pack(push, 1)
struct TFogRecord {
  char Name[64];
  std::int32_t Brush;
  std::int32_t VisibleSide;
};
struct TBrushRecord {
  std::int32_t FirstSide;
  std::int32_t SideCount;
  std::int32_t Texture;
};
struct TBrushSideRecord {
  std::int32_t Plane;
  std::int32_t Texture;
};
#pragma pack(pop)
static_assert(sizeof(TFogRecord) == 72 && sizeof(TBrushRecord) == 12 && sizeof(TBrushSideRecord) == 8);

// The whole records of a lump that lies inside the bytes; none for one that does not.
template <class TRecord>
std::vector<TRecord> Records(std::span<const std::uint8_t> bytes, const TBSPLump& lump, std::size_t most) {
  std::vector<TRecord> records;
  if (lump.Offset < 0 || lump.Length <= 0) return records;
  const std::size_t offset = static_cast<std::size_t>(lump.Offset), length = static_cast<std::size_t>(lump.Length);
  if (offset > bytes.size() || length > bytes.size() - offset) return records;
  records.resize(std::min(length / sizeof(TRecord), most));
  std::memcpy(records.data(), bytes.data() + offset, records.size() * sizeof(TRecord));
  return records;
}

std::string Text(std::int64_t value) { return std::to_string(value); }

// The bounds from the sides whose normal is an axis: the brush compiler always writes those.
bool AxialBounds(TFogVolume& fog) {
  float lo[3], hi[3];
  for (int a = 0; a < 3; ++a) {
    lo[a] = -std::numeric_limits<float>::infinity();
    hi[a] = std::numeric_limits<float>::infinity();
  }
  for (const TBSPPlane& p : fog.Planes) {
    const float n[3] = {p.Normal.X, p.Normal.Y, p.Normal.Z};
    for (int a = 0; a < 3; ++a) {
      if (n[a] == 1 && n[(a + 1) % 3] == 0 && n[(a + 2) % 3] == 0) hi[a] = std::fmin(hi[a], p.Distance);
      if (n[a] == -1 && n[(a + 1) % 3] == 0 && n[(a + 2) % 3] == 0) lo[a] = std::fmax(lo[a], -p.Distance);
    }
  }
  for (int a = 0; a < 3; ++a)
    if (!std::isfinite(lo[a]) || !std::isfinite(hi[a]) || lo[a] > hi[a]) return false;
  fog.Mins = {lo[0], lo[1], lo[2]};
  fog.Maxs = {hi[0], hi[1], hi[2]};
  return true;
}

}  // namespace

std::vector<TFogVolume> ReadFogVolumes(std::span<const std::uint8_t> bytes,
                                       const std::array<TBSPLump, kLumpCount>& lumps,
                                       std::span<const TBSPPlane> planes, std::vector<std::string>& problems) {
  const auto fogs = Records<TFogRecord>(bytes, lumps[kEffects], kMostFogs);
  if (fogs.empty()) return {};
  const auto brushes = Records<TBrushRecord>(bytes, lumps[kBrushes], std::numeric_limits<std::size_t>::max());
  const auto sides = Records<TBrushSideRecord>(bytes, lumps[kBrushSides], std::numeric_limits<std::size_t>::max());
  std::vector<TFogVolume> volumes(fogs.size());
  for (std::size_t i = 0; i < fogs.size(); ++i) {
    TFogVolume& fog = volumes[i];
    fog.Shader.assign(fogs[i].Name, strnlen(fogs[i].Name, sizeof(fogs[i].Name)));
    const std::string title = "Fog " + Text(static_cast<std::int64_t>(i));
    const std::int64_t brush = fogs[i].Brush;
    if (brush < 0 || brush >= static_cast<std::int64_t>(brushes.size())) {
      problems.push_back(title + ": brush " + Text(brush) + " outside the " + Text(static_cast<std::int64_t>(brushes.size())) + " brushes");
      continue;
    }
    const TBrushRecord& b = brushes[static_cast<std::size_t>(brush)];
    if (b.FirstSide < 0 || b.SideCount < 0 || b.SideCount > static_cast<std::int64_t>(kMostFogSides) ||
        static_cast<std::int64_t>(b.FirstSide) + b.SideCount > static_cast<std::int64_t>(sides.size())) {
      problems.push_back(title + ": sides " + Text(b.FirstSide) + " (" + Text(b.SideCount) + ") outside the " +
                         Text(static_cast<std::int64_t>(sides.size())) + " brush sides or more than " +
                         Text(kMostFogSides));
      continue;
    }
    for (std::int32_t s = 0; s < b.SideCount; ++s) {
      const std::int64_t plane = sides[static_cast<std::size_t>(b.FirstSide + s)].Plane;
      if (plane < 0 || plane >= static_cast<std::int64_t>(planes.size())) {
        problems.push_back(title + ": plane " + Text(plane) + " outside the " + Text(static_cast<std::int64_t>(planes.size())) + " planes");
        fog.Planes.clear();
        break;
      }
      fog.Planes.push_back(planes[static_cast<std::size_t>(plane)]);
    }
    if (!fog.Planes.empty() && !AxialBounds(fog)) {
      problems.push_back(title + ": its brush has no closed axial bounds");
      fog.Planes.clear();
    }
  }
  return volumes;
}

float DistanceInside(const TFogVolume& fog, const TVector& a, const TVector& b) {
  if (fog.Planes.empty()) return 0;
  double enter = 0, leave = 1;
  for (const TBSPPlane& p : fog.Planes) {
    const double da = static_cast<double>(p.Normal.X) * a.X + static_cast<double>(p.Normal.Y) * a.Y +
                      static_cast<double>(p.Normal.Z) * a.Z - p.Distance;
    const double db = static_cast<double>(p.Normal.X) * b.X + static_cast<double>(p.Normal.Y) * b.Y +
                      static_cast<double>(p.Normal.Z) * b.Z - p.Distance;
    if (da > 0 && db > 0) return 0;
    if (da > 0) enter = std::fmax(enter, da / (da - db));
    else if (db > 0) leave = std::fmin(leave, da / (da - db));
    if (enter >= leave) return 0;
  }
  const double dx = b.X - a.X, dy = b.Y - a.Y, dz = b.Z - a.Z;
  const double length = std::sqrt(dx * dx + dy * dy + dz * dz) * (leave - enter);
  return std::isfinite(length) ? static_cast<float>(length) : 0.0f;
}
