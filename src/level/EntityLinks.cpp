// The entity view's links and trigger volumes, read once with the level's things.
#include "level/EntityLinks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "level/Entities.h"

namespace {

struct TBrushRecord {
  std::int32_t FirstSide, SideCount, Texture;
};
struct TSideRecord {
  std::int32_t Plane, Texture;
};

// The record `index` of a lump, or nothing when it lies outside the lump or the file.
template <class T>
std::optional<T> RecordAt(std::span<const std::uint8_t> bytes, const TBSPLump& lump, std::int64_t index) {
  if (lump.Offset < 0 || lump.Length < 0 || std::int64_t{lump.Offset} + lump.Length > static_cast<std::int64_t>(bytes.size()))
    return std::nullopt;
  if (index < 0 || (index + 1) * static_cast<std::int64_t>(sizeof(T)) > lump.Length) return std::nullopt;
  T record;
  std::memcpy(&record, bytes.data() + lump.Offset + index * static_cast<std::int64_t>(sizeof(T)), sizeof(T));
  return record;
}

// A brush's box from its sides along the six axis directions; nothing without all six.
std::optional<std::pair<TVector, TVector>> BrushBox(const TQuake3BSP& level, std::span<const std::uint8_t> bytes,
                                                    const std::array<TBSPLump, kLumpCount>& lumps,
                                                    const TBrushRecord& brush) {
  float bounds[2][3] = {};
  bool found[2][3] = {};
  if (brush.SideCount < 0 || brush.SideCount > 256) return std::nullopt;
  for (std::int32_t s = 0; s < brush.SideCount; ++s) {
    const std::optional<TSideRecord> side = RecordAt<TSideRecord>(bytes, lumps[kBrushSides], std::int64_t{brush.FirstSide} + s);
    if (!side || side->Plane < 0 || static_cast<std::size_t>(side->Plane) >= level.Planes.size()) return std::nullopt;
    const TBSPPlane& plane = level.Planes[static_cast<std::size_t>(side->Plane)];
    const float n[3] = {plane.Normal.X, plane.Normal.Y, plane.Normal.Z};
    for (int axis = 0; axis < 3; ++axis) {
      if (n[axis] == 1 || n[axis] == -1) {
        const int high = n[axis] > 0 ? 1 : 0;
        bounds[high][axis] = high ? plane.Distance : -plane.Distance;
        found[high][axis] = true;
      }
    }
  }
  for (int axis = 0; axis < 3; ++axis)
    if (!found[0][axis] || !found[1][axis] || !(bounds[0][axis] <= bounds[1][axis]) || !std::isfinite(bounds[0][axis]) ||
        !std::isfinite(bounds[1][axis]))
      return std::nullopt;
  return std::pair{TVector{bounds[0][0], bounds[0][1], bounds[0][2]}, TVector{bounds[1][0], bounds[1][1], bounds[1][2]}};
}

// The brush model "*N" an entity names, 1..models-1, or 0.
std::int32_t ModelOf(const TEntity& entity, std::size_t models) {
  const std::string* text = FindValue(entity, "model");
  if (!text || text->size() < 2 || (*text)[0] != '*') return 0;
  const std::optional<float> number = ParseNumber(std::string_view(*text).substr(1));
  if (!number || *number < 1 || *number >= static_cast<float>(models) || *number != std::floor(*number)) return 0;
  return static_cast<std::int32_t>(*number);
}

TVector Moved(const TVector& v, const TVector& by) { return {v.X + by.X, v.Y + by.Y, v.Z + by.Z}; }

}  // namespace

std::vector<TEntityLink> FindEntityLinks(const std::vector<TEntity>& entities, const std::vector<TPlacedEntity>& places) {
  std::multimap<std::string, std::int32_t> named;
  for (std::size_t p = 0; p < places.size(); ++p) {
    const std::size_t e = static_cast<std::size_t>(places[p].Index);
    if (e >= entities.size()) continue;
    if (const std::string* name = FindValue(entities[e], "targetname"); name && !name->empty())
      named.emplace(*name, static_cast<std::int32_t>(p));
  }
  std::vector<TEntityLink> links;
  for (std::size_t p = 0; p < places.size(); ++p) {
    const std::size_t e = static_cast<std::size_t>(places[p].Index);
    const std::string* target = e < entities.size() ? FindValue(entities[e], "target") : nullptr;
    if (!target || target->empty()) continue;
    const auto [first, last] = named.equal_range(*target);
    for (auto it = first; it != last; ++it) {
      if (links.size() == kMostEntityLinks) return links;
      links.push_back({static_cast<std::int32_t>(p), it->second});
    }
  }
  return links;
}

std::vector<TTriggerBox> FindTriggerBoxes(const TQuake3BSP& level, std::span<const std::uint8_t> bytes,
                                          const std::array<TBSPLump, kLumpCount>& lumps) {
  const TLevelThings& things = level.Things;
  std::vector<TTriggerBox> boxes;
  std::size_t brushesRead = 0;
  for (std::size_t p = 0; p < things.Places.size(); ++p) {
    const TPlacedEntity& place = things.Places[p];
    const std::size_t e = static_cast<std::size_t>(place.Index);
    if (place.Point || !place.ClassName.starts_with("trigger_") || e >= things.Entities.Entities.size()) continue;
    const std::int32_t m = ModelOf(things.Entities.Entities[e], things.Models.size());
    if (m <= 0) continue;
    const TBSPModel& model = things.Models[static_cast<std::size_t>(m)];
    // The place is the model's centre moved by the entity's origin: the brushes move with it.
    const TVector offset{place.Position.X - (model.Mins.X + model.Maxs.X) / 2,
                         place.Position.Y - (model.Mins.Y + model.Maxs.Y) / 2,
                         place.Position.Z - (model.Mins.Z + model.Maxs.Z) / 2};
    const std::size_t before = boxes.size();
    bool whole = model.NumBrushes > 0 && brushesRead + static_cast<std::size_t>(model.NumBrushes) <= kMostTriggerBrushes;
    for (std::int32_t b = 0; whole && b < model.NumBrushes; ++b) {
      const std::optional<TBrushRecord> brush = RecordAt<TBrushRecord>(bytes, lumps[kBrushes], std::int64_t{model.FirstBrush} + b);
      const auto box = brush ? BrushBox(level, bytes, lumps, *brush) : std::nullopt;
      if (!box) whole = false;
      else boxes.push_back({static_cast<std::int32_t>(p), Moved(box->first, offset), Moved(box->second, offset)});
    }
    if (whole) {
      brushesRead += static_cast<std::size_t>(model.NumBrushes);
      continue;
    }
    boxes.resize(before);
    boxes.push_back({static_cast<std::int32_t>(p), Moved(model.Mins, offset), Moved(model.Maxs, offset)});
  }
  return boxes;
}
