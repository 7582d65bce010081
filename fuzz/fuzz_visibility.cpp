// Levels assembled in memory from arbitrary bytes, bypassing LoadBSP's checks: the leaf lookup,
// the cluster test and the marking pass must stay inside every array whatever the tree, leaves,
// leaf faces and visibility rows say; so must --fast's draw lists built from the marks (faces of
// any type, texture and lightmap, with coordinates of any value) and their culling against any view.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>

#include "level/Frustum.h"
#include "level/Q3BSP.h"
#include "level/Q3BSP_visibility.h"

namespace {

template <class TRecord>
std::vector<TRecord> Records(FuzzedDataProvider& input, std::size_t most) {
  std::vector<TRecord> records(input.ConsumeIntegralInRange<std::size_t>(0, most));
  for (TRecord& record : records) {
    const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(sizeof(TRecord));
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<std::uint8_t*>(&record));
  }
  return records;
}

// Faces with up to six vertices of any coordinates, the triangles LoadBSP would check (indices
// inside the face), any type, texture (of two) and lightmap index.
void AddFaces(FuzzedDataProvider& input, TQuake3BSP& level) {
  const std::size_t count = level.FaceVisible.size();
  level.Faces.assign(count, {});
  level.FaceVertices.assign(count, {});
  level.FaceTexCoords.assign(count, {});
  level.FaceLightmapCoords.assign(count, {});
  level.FaceIndices.assign(count, {});
  level.TextureFaces.assign(2, {});
  level.TextureCount = 2;
  level.LightmapCount = input.ConsumeIntegralInRange<std::int32_t>(0, 3);
  for (std::size_t f = 0; f < count && input.remaining_bytes() > 0; ++f) {
    TBSPFace& face = level.Faces[f];
    face.FaceType = input.ConsumeIntegralInRange<std::int32_t>(0, 4);
    face.LightmapIndex = input.ConsumeIntegralInRange<std::int32_t>(-2, 4);
    const std::size_t vertices = input.ConsumeIntegralInRange<std::size_t>(0, 6);
    for (std::size_t v = 0; v < vertices; ++v)
      level.FaceVertices[f].push_back({input.ConsumeFloatingPoint<float>(), input.ConsumeFloatingPoint<float>(),
                                       input.ConsumeFloatingPoint<float>()});
    level.FaceTexCoords[f].resize(vertices);
    level.FaceLightmapCoords[f].resize(input.ConsumeIntegralInRange<std::size_t>(0, vertices));
    face.NumVertices = static_cast<std::int32_t>(vertices);
    if (vertices > 0 && input.ConsumeBool())
      for (int i = 0; i < 3; ++i) level.FaceIndices[f].push_back(input.ConsumeIntegralInRange<std::uint32_t>(0, static_cast<std::uint32_t>(vertices - 1)));
    level.TextureFaces[input.ConsumeBool() ? 1 : 0].push_back(static_cast<std::int32_t>(f));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  TQuake3BSP level;
  TDrawLists lists;  // the render cache's part that --fast keeps
  level.Nodes = Records<TBSPNode>(input, 64);
  level.Planes = Records<TBSPPlane>(input, 16);
  level.Leaves = Records<TBSPLeaf>(input, 64);
  level.LeafFaces = Records<std::int32_t>(input, 128);
  level.FaceVisible.assign(input.ConsumeIntegralInRange<std::size_t>(0, 64), 0);
  level.VisData.BytesPerCluster = input.ConsumeIntegral<std::int32_t>();
  level.VisData.Bits = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 256));
  level.NodeCount = static_cast<std::int32_t>(level.Nodes.size());
  level.PlaneCount = static_cast<std::int32_t>(level.Planes.size());
  level.LeafCount = static_cast<std::int32_t>(level.Leaves.size());
  level.LeafFaceCount = static_cast<std::int32_t>(level.LeafFaces.size());
  level.FaceCount = static_cast<std::int32_t>(level.FaceVisible.size());
  AddFaces(input, level);

  while (input.remaining_bytes() >= sizeof(TVector)) {
    TVector position{input.ConsumeFloatingPoint<float>(), input.ConsumeFloatingPoint<float>(),
                     input.ConsumeFloatingPoint<float>()};
    level.FindLeaf(position);
    MarkVisibleFaces(level, position);
    level.IsClusterVisible(input.ConsumeIntegral<std::int32_t>(), input.ConsumeIntegral<std::int32_t>());
    TRenderOptions options;
    options.Surfaces = input.ConsumeBool() ? TSurfaceSet::All : TSurfaceSet::Polygons;
    const TDrawListKey key = DrawListKey(level, position, options);
    if (!lists.Built || !(lists.Key == key)) BuildDrawLists(lists, level, key);
    const TFrustum frustum = FrustumOf(ViewMatrix(position, input.ConsumeFloatingPoint<float>(),
                                                  input.ConsumeFloatingPoint<float>(), 80, 4.0 / 3));
    for (const TDrawBatch& batch : lists.Batches)
      for (const TFaceRun& run : batch.Faces) {
        Classify(frustum, run.Box);
        if (run.First + run.Count > batch.Indices.size()) __builtin_trap();
        for (std::uint32_t i = run.First; i < run.First + run.Count; ++i)
          if (batch.Indices[i] >= batch.Positions.size()) __builtin_trap();
      }
  }
  return 0;
}
