// The export's side of a level over arbitrary bytes: loaded as --export loads it (no GL), its
// faces planned and turned into glTF's arrays with curved surfaces tessellated. Whatever the file,
// every index stays inside its primitive's vertices, every value is finite, every normal of unit
// length, every vertex colour has its vertex, and the triangles are those the plan counted.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "level/BSPFile.h"
#include "level/BrushModels.h"
#include "level/ExportGeometry.h"
#include "level/ModelLoad.h"
#include "platform/ByteReader.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace {

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

void CheckMeshes(const std::vector<TExportMesh>& meshes, std::int64_t triangles) {
  std::int64_t counted = 0;
  for (const TExportMesh& mesh : meshes)
    for (const TExportPrimitive& p : mesh.Primitives) {
      const std::size_t vertices = p.Positions.size() / 3;
      Check(p.Normals.size() == vertices * 3 && p.TexCoords.size() == vertices * 2);
      Check(p.LightmapCoords.empty() || p.LightmapCoords.size() == vertices * 2);
      Check(p.Colours.empty() || p.Colours.size() == vertices * 4);
      for (const std::uint32_t index : p.Indices) Check(index < vertices);
      for (const auto* values : {&p.Positions, &p.Normals, &p.TexCoords, &p.LightmapCoords})
        for (const float value : *values) Check(std::isfinite(value));
      for (std::size_t v = 0; v < vertices; ++v) {
        const double length = std::hypot(p.Normals[3 * v], p.Normals[3 * v + 1], p.Normals[3 * v + 2]);
        Check(std::abs(length - 1) < 1e-5);
      }
      counted += static_cast<std::int64_t>(p.Indices.size() / 3);
    }
  Check(counted == triangles);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  platform::SetMessageTarget([](const std::string&, const std::string&, platform::TMessageIcon) {});
  platform::TFileSource source;
  source.Exists = [](const std::string& name) { return name == "f.bsp"; };
  source.Read = [&bytes](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
    if (name == "f.bsp") return bytes;
    return std::nullopt;
  };
  TLevelOptions options;
  options.Files = &source;
  options.Surfaces = TSurfaceSet::All;
  options.Tessellation = 2;  // small, so that one input stays quick
  options.VertexLight = size % 3 == 0;  // the vertex-lit faces' materials and colours
  try {
    const TBSPFile records = ParseBSP(bytes);
    TQuake3BSP level;
    std::vector<TBSPLightmap> lightmaps;
    if (!LoadLevelModel(level, "f.bsp", options, [](const TSurfaceImageNames&) {}, lightmaps)) return 0;
    const TSurfacePlan surfaces = PlanSurfaces(records.Faces, options.Tessellation);
    const std::vector<TBSPModel> models = ReadModels(bytes, records.Faces.size());
    const std::vector<std::int32_t> faceModels = FaceModels(models, records.Faces.size());
    // Every other lightmap without a page, as lightmap files that cannot be used.
    std::vector<std::int32_t> slots(lightmaps.size());
    std::int32_t pages = 0;
    for (std::size_t m = 0; m < slots.size(); ++m) slots[m] = (m + size) % 2 == 0 ? pages++ : -1;
    TAtlasLayout atlases = LayoutAtlases(pages, 128, 128);
    atlases.Slots = slots;
    const TExportPlan plan = PlanExport({records.Faces, records.Textures, {}, &surfaces, options.Tessellation,
                                         faceModels, size % 2 == 0, level.LightmapCount, atlases.PagesPerAtlas,
                                         slots, options.VertexLight});
    CheckMeshes(BuildExportMeshes(level, plan, atlases, faceModels, models, 0.0254f), plan.Triangles);
  } catch (const EBSPFormatError&) {
  } catch (const platform::EInOutError&) {
  }
  return 0;
}
