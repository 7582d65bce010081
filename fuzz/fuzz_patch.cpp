// The tessellator on arbitrary grids: any size and face record goes through PlanSurfaces' checks;
// a grid they pass is tessellated from arbitrary control points (NaN, infinities, huge values) at
// an arbitrary segment count, and every index must stay inside the vertices it made.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "level/Patch.h"
#include "level/Q3BSP_surfaces.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  TBSPFace face{};
  face.FaceType = kPatchFace;
  face.PatchSize[0] = input.ConsumeIntegral<std::int32_t>() % 40;
  face.PatchSize[1] = input.ConsumeIntegral<std::int32_t>() % 40;
  face.NumVertices = input.ConsumeBool() ? face.PatchSize[0] * face.PatchSize[1]
                                         : input.ConsumeIntegral<std::int32_t>();
  // Kept small so that one input stays quick: a large grid at 64 is millions of vertices.
  const std::int32_t n = input.ConsumeIntegralInRange<std::int32_t>(1, 8);
  const TSurfacePlan plan = PlanSurfaces({&face, 1}, n);
  if (!plan.Drawn[0]) return 0;
  std::vector<TBSPVertex> grid(static_cast<std::size_t>(face.NumVertices));
  for (TBSPVertex& vertex : grid) {
    const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(sizeof vertex);
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<std::uint8_t*>(&vertex));
  }
  const TPatchMesh mesh = TessellatePatch(grid, face.PatchSize[0], face.PatchSize[1], n);
  if (static_cast<std::int64_t>(mesh.Indices.size()) != 3 * plan.PatchTriangles) std::abort();
  for (const std::uint32_t index : mesh.Indices)
    if (index >= mesh.Vertices.size()) std::abort();
  return 0;
}
