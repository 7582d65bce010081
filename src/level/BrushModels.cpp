#include "level/BrushModels.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "level/Q3BSP.h"
#include "platform/ByteReader.h"

std::vector<TBSPModel> ReadModels(std::span<const std::uint8_t> levelBytes, std::size_t faceCount) {
  std::vector<TBSPModel> models;
  constexpr std::size_t kDirectoryEnd = sizeof(TBSPHeader) + kLumpCount * sizeof(TBSPLump);
  if (levelBytes.size() < kDirectoryEnd) return models;
  platform::TByteReader reader(levelBytes);
  reader.Seek(static_cast<std::int64_t>(sizeof(TBSPHeader) + kModels * sizeof(TBSPLump)));
  const TBSPLump lump = reader.Read<TBSPLump>();
  if (lump.Offset < 0 || lump.Length <= 0 ||
      static_cast<std::uint64_t>(lump.Offset) + static_cast<std::uint64_t>(lump.Length) > levelBytes.size())
    return models;
  models.resize(static_cast<std::size_t>(lump.Length) / sizeof(TBSPModel));
  reader.Seek(lump.Offset);
  reader.Read(models.data(), models.size() * sizeof(TBSPModel));
  for (TBSPModel& model : models) {
    const std::int64_t first = model.FirstFace, count = model.NumFaces;
    if (first < 0 || count < 0 || first + count > static_cast<std::int64_t>(faceCount)) {
      model.FirstFace = 0;
      model.NumFaces = 0;
    }
  }
  return models;
}

std::vector<std::int32_t> FaceModels(std::span<const TBSPModel> models, std::size_t faceCount) {
  std::vector<std::int32_t> owner(faceCount, 0);
  // next[i]: the first face at or after i that no brush model has claimed yet (faceCount when
  // none), with the paths shortened as they are walked: every face is claimed at most once.
  std::vector<std::size_t> next(faceCount + 1);
  std::iota(next.begin(), next.end(), std::size_t{0});
  const auto firstFree = [&next](std::size_t i) {
    std::size_t root = i;
    while (next[root] != root) root = next[root];
    while (next[i] != root) i = std::exchange(next[i], root);
    return root;
  };
  for (std::size_t k = 1; k < models.size(); ++k) {
    if (models[k].FirstFace < 0 || models[k].NumFaces <= 0) continue;
    const std::size_t first = std::min(static_cast<std::size_t>(models[k].FirstFace), faceCount);
    const std::size_t end = std::min(first + static_cast<std::size_t>(models[k].NumFaces), faceCount);
    for (std::size_t f = firstFree(first); f < end; f = firstFree(f + 1)) {
      owner[f] = static_cast<std::int32_t>(k);
      next[f] = f + 1;
    }
  }
  return owner;
}
