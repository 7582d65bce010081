// Levels assembled in memory from arbitrary bytes, bypassing LoadBSP's checks: the leaf lookup,
// the cluster test and the marking pass must stay inside every array whatever the tree, leaves,
// leaf faces and visibility rows say.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  TQuake3BSP level;
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

  while (input.remaining_bytes() >= sizeof(TVector)) {
    TVector position{input.ConsumeFloatingPoint<float>(), input.ConsumeFloatingPoint<float>(),
                     input.ConsumeFloatingPoint<float>()};
    level.FindLeaf(position);
    MarkVisibleFaces(level, position);
    level.IsClusterVisible(input.ConsumeIntegral<std::int32_t>(), input.ConsumeIntegral<std::int32_t>());
  }
  return 0;
}
