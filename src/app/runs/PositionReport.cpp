#include "app/runs/PositionReport.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "app/runs/Json.h"
#include "app/runs/LevelReport.h"
#include "app/runs/TextFormat.h"
#include "level/Frustum.h"
#include "level/Q3BSP_load.h"
#include "level/Q3BSP_visibility.h"

namespace app {

TQuake3BSP VisibilityModel(const TBSPFile& records) {
  TQuake3BSP level;
  level.Header = records.Header;
  level.Nodes = records.Nodes;
  level.Planes = records.Planes;
  level.Leaves = records.Leaves;
  level.LeafFaces = records.LeafFaces;
  level.VisData = records.VisData;
  level.Faces = records.Faces;
  level.NodeCount = static_cast<std::int32_t>(level.Nodes.size());
  level.PlaneCount = static_cast<std::int32_t>(level.Planes.size());
  level.LeafCount = static_cast<std::int32_t>(level.Leaves.size());
  level.LeafFaceCount = static_cast<std::int32_t>(level.LeafFaces.size());
  level.FaceCount = static_cast<std::int32_t>(level.Faces.size());
  level.VertexCount = static_cast<std::int32_t>(records.Vertices.size());
  level.FaceVisible.assign(level.Faces.size(), 0);
  level.TextureCount = static_cast<std::int32_t>(records.Textures.size());
  GroupTextureFaces(level);  // as the loader groups them
  return level;
}

TPositionReport ReportAt(TQuake3BSP& level, const TVector& position,
                         const std::vector<std::uint8_t>* drawn, bool brushModels) {
  TPositionReport report;
  std::fill(level.FaceVisible.begin(), level.FaceVisible.end(), 0);
  report.Leaf = level.FindLeaf(position);
  if (report.Leaf >= 0 && static_cast<std::size_t>(report.Leaf) < level.Leaves.size())
    report.Cluster = level.Leaves[static_cast<std::size_t>(report.Leaf)].Cluster;
  MarkVisibleFaces(level, position);
  TVisibleBrushModels visibleModels;
  if (brushModels) report.BrushModels = MarkBrushModels(level, position, visibleModels);
  report.MarkedFaces = static_cast<std::int32_t>(
      std::count_if(level.FaceVisible.begin(), level.FaceVisible.end(), [](std::int32_t v) { return v != 0; }));
  // Counted as the texture pass counts: every visible face met in a texture group (that is drawn,
  // with every surface drawn).
  for (std::size_t t = 0; t < level.TextureFaces.size(); ++t)
    for (const std::int32_t f : level.TextureFaces[t])
      if (level.FaceVisible[static_cast<std::size_t>(f)] != 0 &&
          (!drawn || (*drawn)[static_cast<std::size_t>(f)]))
        ++report.VisibleFaceCount;
  if (drawn) {
    std::array<std::int32_t, 5> byType{};
    for (std::size_t f = 0; f < level.Faces.size(); ++f) {
      if (level.FaceVisible[f] == 0) continue;
      const std::int32_t type = level.Faces[f].FaceType;
      ++byType[type >= 1 && type <= 4 ? static_cast<std::size_t>(type - 1) : 4];
    }
    report.MarkedByType = byType;
  }
  return report;
}

void CullAt(TPositionReport& report, const TQuake3BSP& level, const TBSPFile& records,
            const TVector& position, TAtDirection direction, double aspect,
            const std::vector<std::uint8_t>* drawn) {
  const TFrustum frustum =
      FrustumOf(ViewMatrix(position, direction.Yaw, direction.Pitch, TRunOptions{}.FovDegrees, aspect));
  std::int32_t inView = 0;
  for (const std::vector<std::int32_t>& group : level.TextureFaces)
    for (const std::int32_t f : group) {
      const auto face = static_cast<std::size_t>(f);
      if (level.FaceVisible[face] == 0) continue;
      if (drawn ? (*drawn)[face] == 0 : level.Faces[face].FaceType != kPolygonFace) continue;
      const TBSPFace& record = records.Faces[face];
      TBox box;
      for (std::int32_t v = 0; v < record.NumVertices; ++v)
        box.Add(records.Vertices[static_cast<std::size_t>(record.FirstVertex + v)].Position);
      if (Classify(frustum, box) != TBoxSide::Outside) ++inView;
    }
  report.DrawnAfterCulling = inView;
}

std::string PositionText(const TVector& p, const TPositionReport& r) {
  // With --fast the line ends with the faces drawn after culling.
  if (r.DrawnAfterCulling) {
    TPositionReport plain = r;
    plain.DrawnAfterCulling.reset();
    std::string text = PositionText(p, plain);
    text.insert(text.size() - 1, Format(", drawn after culling %d", *r.DrawnAfterCulling));
    return text;
  }
  if (r.BrushModels) {
    TPositionReport plain = r;
    plain.BrushModels.reset();
    std::string text = PositionText(p, plain);
    text.pop_back();
    return text + Format(", %d brush models visible (%d faces)\n", r.BrushModels->Models, r.BrushModels->Faces);
  }
  if (r.MarkedByType) {
    const auto& n = *r.MarkedByType;
    return Format("%g %g %g: leaf %d, cluster %d, %d faces marked (%d polygon, %d patch, %d mesh, "
                  "%d billboard, %d other), VisibleFaceCount %d\n",
                  static_cast<double>(p.X), static_cast<double>(p.Y), static_cast<double>(p.Z),
                  r.Leaf, r.Cluster, r.MarkedFaces, n[0], n[1], n[2], n[3], n[4],
                  r.VisibleFaceCount);
  }
  return Format("%g %g %g: leaf %d, cluster %d, %d faces marked, VisibleFaceCount %d\n",
                static_cast<double>(p.X), static_cast<double>(p.Y), static_cast<double>(p.Z),
                r.Leaf, r.Cluster, r.MarkedFaces, r.VisibleFaceCount);
}

std::string PositionJson(const TVector& p, const TPositionReport& r) {
  TJson out = {{"Leaf", r.Leaf},
               {"Cluster", r.Cluster},
               {"MarkedFaces", r.MarkedFaces},
               {"VisibleFaceCount", r.VisibleFaceCount},
               {"Position", {JsonFloat(p.X), JsonFloat(p.Y), JsonFloat(p.Z)}}};
  if (r.DrawnAfterCulling) out["DrawnAfterCulling"] = *r.DrawnAfterCulling;
  if (r.MarkedByType) {
    const auto& n = *r.MarkedByType;
    out["MarkedByType"] = {{"Polygon", n[0]}, {"Patch", n[1]}, {"Mesh", n[2]},
                           {"Billboard", n[3]}, {"Other", n[4]}};
  }
  if (r.BrushModels) {
    out["BrushModels"] = r.BrushModels->Models;
    out["BrushModelFaces"] = r.BrushModels->Faces;
  }
  return JsonLine(out);
}

int RunAt(const TRunOptions& options) {
  std::optional<TLoadedRecords> loaded = LoadForReport(options);
  if (!loaded) return 1;
  TQuake3BSP level = VisibilityModel(loaded->Records);
  if (options.BrushModels) AddBrushModels(level, loaded->File);
  std::optional<TSurfacePlan> plan;
  if (options.AllSurfaces)
    plan = PlanSurfaces(loaded->Records.Faces, options.Tessellation,
                        TessellationBytesFor(options, loaded->File.Size()));
  const TWindowSize size = options.Size.value_or(kDefaultSize);
  for (std::size_t i = 0; i < options.AtPositions.size(); ++i) {
    const TVector& position = options.AtPositions[i];
    TPositionReport report = ReportAt(level, position, plan ? &plan->Drawn : nullptr, options.BrushModels);
    if (i < options.AtDirections.size())
      CullAt(report, level, loaded->Records, position, options.AtDirections[i],
             static_cast<double>(size.Width) / size.Height, plan ? &plan->Drawn : nullptr);
    std::cout << (options.Json ? PositionJson(position, report) : PositionText(position, report));
  }
  std::cout << std::flush;
  return 0;
}

}  // namespace app
