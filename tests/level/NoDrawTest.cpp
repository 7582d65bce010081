// --skip-nodraw: faces of textures flagged nodraw leave the groups every pass draws from, and
// curved surfaces so flagged are not planned for tessellation.
#include <gtest/gtest.h>

#include <vector>

#include "level/NoDraw.h"
#include "level/Q3BSP_surfaces.h"
#include "support/BspWriter.h"

namespace {

using testsupport::TBspWriter;

TEST(NoDraw, FlaggedFacesLeaveTheGroupsAndTheirCurvedSurfacesThePlan) {
  std::vector<TBSPTexture> textures = {TBspWriter::Texture("t/shown"), TBspWriter::Texture("t/clip")};
  textures[1].Flags = 0x80 | 0x4;
  TQuake3BSP level;
  for (const auto& [texture, type] : {std::pair{0, kPolygonFace}, {1, kPolygonFace}, {1, kPatchFace},
                                      {0, kPatchFace}, {1, kMeshFace}, {7, kPolygonFace}}) {
    TBSPFace face = TBspWriter::Face(texture, 0, 9, 0);
    face.FaceType = type;
    face.PatchSize[0] = face.PatchSize[1] = 3;
    level.Faces.push_back(face);
  }
  EXPECT_FALSE(NoDrawFace(level.Faces[5], textures));  // no such texture: not flagged
  const std::vector<TBSPFace> planned = WithoutNoDrawPatches(level.Faces, textures);
  const TSurfacePlan plan = PlanSurfaces(planned, 4);
  EXPECT_EQ(plan.Drawn, (std::vector<std::uint8_t>{1, 1, 0, 1, 0, 1}));
  EXPECT_EQ(plan.Tessellated, 1);
  EXPECT_EQ(plan.NotDrawn, 0);
  EXPECT_EQ(planned[1].FaceType, kPolygonFace);  // polygons and meshes leave through the groups

  level.TextureFaces = {{0, 3}, {1, 2, 4}};
  level.TextureFaceCounts = {2, 3};
  level.LightmapFaces = {{0, 1, 2, 3, 4}};
  level.LightmapFaceCounts = {5};
  LeaveOutNoDrawFaces(level, textures);
  EXPECT_EQ(level.TextureFaces, (std::vector<std::vector<std::int32_t>>{{0, 3}, {}}));
  EXPECT_EQ(level.TextureFaceCounts, (std::vector<std::int32_t>{2, 0}));
  EXPECT_EQ(level.LightmapFaces, (std::vector<std::vector<std::int32_t>>{{0, 3}}));
  EXPECT_EQ(level.LightmapFaceCounts, (std::vector<std::int32_t>{2}));
}

}  // namespace
