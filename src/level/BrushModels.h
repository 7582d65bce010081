#pragma once
// The models lump (7): model 0 is the world, models 1 .. N are the brush models (doors,
// platforms, movers) that the level's entities place and move; each owns a run of faces. The
// tree's leaves list only the world's faces, so the plain frame draws a brush model's faces only
// by chance (--brush-models marks them where their boxes are: level/Things.h). Pure: bytes in,
// checked records out.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "genom/genom.h"

#pragma pack(push, 1)
struct TBSPModel {
  TVector Mins, Maxs;
  std::int32_t FirstFace, NumFaces;
  std::int32_t FirstBrush, NumBrushes;
};
#pragma pack(pop)
static_assert(sizeof(TBSPModel) == 40);

// Every whole record of lump 7 of the level's bytes; none when the directory or the lump lies
// outside the bytes. A model whose face run leaves 0 .. faceCount - 1 (or has a negative count)
// keeps an empty run, so that nothing indexes outside the faces.
std::vector<TBSPModel> ReadModels(std::span<const std::uint8_t> levelBytes, std::size_t faceCount);

// Per face, the model that owns it: k for the first brush model k (1 .. N) whose run holds it, 0
// for every other face (the world's). Linear in faces and models, whatever the runs overlap.
std::vector<std::int32_t> FaceModels(std::span<const TBSPModel> models, std::size_t faceCount);
