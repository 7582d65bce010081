// Curved surfaces: the evaluation of a piece, exact borders between pieces and between faces, the
// grids and sizes refused, and every curved surface of OpenArena's levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>

#include "data/SearchPath.h"
#include "level/BSPFile.h"
#include "level/Patch.h"
#include "level/Q3BSP_surfaces.h"
#include "support/TestSupport.h"

namespace {

TBSPVertex Point(float x, float y, float z) {
  TBSPVertex v{};
  v.Position = {x, y, z};
  v.TexCoord = {x / 64, y / 64};
  v.LightmapCoord = {y, z};
  return v;
}

std::vector<TBSPVertex> RandomGrid(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  std::vector<TBSPVertex> grid;
  for (std::size_t i = 0; i < count; ++i) grid.push_back(Point(value(random), value(random), value(random)));
  return grid;
}

bool SameBits(const TBSPVertex& a, const TBSPVertex& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TBSPFace PatchFace(std::int32_t width, std::int32_t height, std::int32_t vertices) {
  TBSPFace face{};
  face.FaceType = kPatchFace;
  face.NumVertices = vertices;
  face.PatchSize[0] = width;
  face.PatchSize[1] = height;
  return face;
}

const std::int32_t kSegmentCounts[] = {1, 2, 3, 7, 8, 64};

}  // namespace

// Heights with a known value at a parameter: a flat grid stays exactly flat, a quadratic gives its
// analytic value; x and y, linear in their control points, show the parameter itself.
TEST(Patch, EvaluationMatchesTheBezierBasis) {
  struct TCase {
    std::array<float, 9> Heights;  // row after row
    std::int32_t N, I, J;          // vertex (i, j) of the piece at n segments
    float Expected;
  };
  const TCase cases[] = {
      {{3, 3, 3, 3, 3, 3, 3, 3, 3}, 7, 3, 5, 3.0f},          {{0, 4, 0, 0, 4, 0, 0, 4, 0}, 2, 1, 0, 2.0f},
      {{0, 4, 0, 0, 4, 0, 0, 4, 0}, 4, 1, 2, 1.5f},          {{0, 0, 0, 0, 0, 0, 8, 8, 8}, 2, 0, 1, 2.0f},
      {{0, 4, 0, 0, 4, 0, 8, 12, 8}, 8, 4, 4, 4.0f},         {{0, 1, 2, 1, 2, 3, 2, 3, 4}, 8, 2, 6, 2.0f},
  };
  for (const TCase& c : cases) {
    std::array<TBSPVertex, 9> control;
    for (std::size_t k = 0; k < 9; ++k)
      control[k] = Point(static_cast<float>(k % 3) * 10, static_cast<float>(k / 3) * 10, c.Heights[k]);
    const std::vector<TBSPVertex> piece = EvaluatePiece(control, c.N);
    const TBSPVertex& v = piece[static_cast<std::size_t>(c.J * (c.N + 1) + c.I)];
    EXPECT_FLOAT_EQ(v.Position.Z, c.Expected) << c.N << " " << c.I << " " << c.J;
    EXPECT_FLOAT_EQ(v.LightmapCoord.T, c.Expected);
    EXPECT_FLOAT_EQ(v.Position.X, 20.0f * static_cast<float>(c.I) / static_cast<float>(c.N));
    EXPECT_FLOAT_EQ(v.Position.Y, 20.0f * static_cast<float>(c.J) / static_cast<float>(c.N));
    EXPECT_TRUE(c.Heights[0] != 3 || std::all_of(piece.begin(), piece.end(), [](auto& p) { return p.Position.Z == 3; }));
  }
}

// Corners are the corner control points, and the column shared by two pieces of a face is the
// same bits as either piece's border, also for NaN, infinite and huge control points. Two faces
// whose borders hold the same control points (the first's top row is the second's first column,
// run the other way) meet bit for bit.
TEST(Patch, BordersOfPiecesAndOfFacesAreTheSameBits) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  std::vector<TBSPVertex> grid = RandomGrid(5 * 3, 2);
  grid[0] = Point(nan, inf, -inf);
  grid[7] = Point(3e38f, -3e38f, 1e-45f);
  std::vector<TBSPVertex> first = RandomGrid(9, 3), second = RandomGrid(9, 4);
  for (std::size_t k = 0; k < 3; ++k) second[k * 3] = first[6 + (2 - k)];
  for (const std::int32_t n : kSegmentCounts) {
    const TPatchMesh whole = TessellatePatch(grid, 5, 3, n);
    const std::size_t side = static_cast<std::size_t>(n) + 1, columns = 2 * side - 1;
    ASSERT_EQ(static_cast<std::int64_t>(whole.Indices.size()), 3 * PatchTriangleCount(5, 3, n));
    ASSERT_LT(*std::max_element(whole.Indices.begin(), whole.Indices.end()), whole.Vertices.size());
    EXPECT_TRUE(SameBits(whole.Vertices.front(), grid[0]) && SameBits(whole.Vertices.back(), grid[14]));
    std::array<TBSPVertex, 9> left, right;
    for (std::size_t k = 0; k < 9; ++k) {
      left[k] = grid[k / 3 * 5 + k % 3];
      right[k] = grid[k / 3 * 5 + k % 3 + 2];
    }
    const std::vector<TBSPVertex> a = EvaluatePiece(left, n), b = EvaluatePiece(right, n);
    const std::vector<TBSPVertex> p = EvaluatePiece(std::span<const TBSPVertex, 9>(first.data(), 9), n);
    const std::vector<TBSPVertex> q = EvaluatePiece(std::span<const TBSPVertex, 9>(second.data(), 9), n);
    for (std::size_t j = 0; j < side; ++j) {
      EXPECT_TRUE(SameBits(a[j * side + side - 1], b[j * side]) &&
                  SameBits(whole.Vertices[j * columns + side - 1], b[j * side]))
          << n << " row " << j;
      EXPECT_TRUE(SameBits(p[(side - 1) * side + j], q[(side - 1 - j) * side])) << n << " " << j;
    }
  }
}

TEST(Patch, GridsThatCannotBeDrawnAreRefusedWithTheReason) {
  const std::pair<TBSPFace, std::optional<std::string>> cases[] = {
      {PatchFace(3, 3, 9), std::nullopt},
      {PatchFace(33, 33, 1089), std::nullopt},
      {PatchFace(4, 3, 12), "grid 4 x 3: its sides must be odd and at least 3"},
      {PatchFace(3, 1, 3), "grid 3 x 1: its sides must be odd and at least 3"},
      {PatchFace(-3, -3, 9), "grid -3 x -3: its sides must be odd and at least 3"},
      {PatchFace(35, 3, 105), "grid 35 x 3: larger than 33 x 33"},
      {PatchFace(3, 3, 8), "grid 3 x 3: 9 control points, but the face has 8 vertices"},
  };
  for (const auto& [face, problem] : cases) EXPECT_EQ(PatchGridProblem(face), problem);
}

// The level's triangle budget: curved surfaces are taken in order until the next would pass it;
// meshes need three mesh vertices, billboards are never drawn.
TEST(Patch, PlanDrawsWhatFitsAndNamesWhatDoesNot) {
  std::vector<TBSPFace> faces(9, PatchFace(33, 33, 1089));  // 2,097,152 triangles each at 64
  TBSPFace mesh{}, fewMesh{}, billboard{}, polygon{};
  mesh.FaceType = fewMesh.FaceType = kMeshFace;
  mesh.NumMeshVertices = 3;
  fewMesh.NumMeshVertices = 2;
  billboard.FaceType = kBillboardFace;
  polygon.FaceType = kPolygonFace;
  faces.insert(faces.end(), {PatchFace(3, 3, 9), mesh, fewMesh, billboard, polygon, PatchFace(2, 3, 6)});
  const TSurfacePlan plan = PlanSurfaces(faces, 64);
  EXPECT_EQ(plan.Drawn, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1, 0, 0, 1, 0}));
  EXPECT_EQ(plan.PatchTriangles, kMostPatchTriangles);
  EXPECT_EQ(plan.Warnings, (std::vector<std::string>{
      "Face 8: curved surface not drawn: 2097152 triangles would take the level past 16777216",
      "Face 9: curved surface not drawn: 8192 triangles would take the level past 16777216",
      "Face 14: curved surface not drawn: grid 2 x 3: its sides must be odd and at least 3"}));
  EXPECT_EQ(PlanSurfaces(faces, 8).NotDrawn, 1);
}

// The curved surfaces' memory (44 bytes a vertex, 12 a triangle) within a limit exact to the byte:
// in face order each surface that fits is kept, the others are listed for the budget's warning
// and get no warning of their own. The limit is the budget's figure and its share per file byte.
TEST(Patch, PlanKeepsTheCurvedSurfacesWithinTheirMemory) {
  EXPECT_EQ(PatchBytes(3, 3, 64), 44u * 65 * 65 + 12u * 2 * 64 * 64);
  const std::vector<TBSPFace> faces = {PatchFace(3, 3, 9), PatchFace(5, 3, 15), PatchFace(3, 3, 9)};
  const std::uint64_t small = PatchBytes(3, 3, 8), wide = PatchBytes(5, 3, 8);
  const TSurfacePlan fits = PlanSurfaces(faces, 8, small + wide + small);
  EXPECT_EQ(fits.Drawn, (std::vector<std::uint8_t>{1, 1, 1}));
  EXPECT_EQ(fits.PatchBytes, small + wide + small);
  const TSurfacePlan short1 = PlanSurfaces(faces, 8, small + wide + small - 1);
  EXPECT_EQ(short1.Drawn, (std::vector<std::uint8_t>{1, 1, 0}));
  EXPECT_EQ(short1.OverBudget, std::vector<std::int32_t>{2});
  const TSurfacePlan skips = PlanSurfaces(faces, 8, small + wide - 1);
  EXPECT_EQ(skips.Drawn, (std::vector<std::uint8_t>{1, 0, 1}));
  EXPECT_EQ(skips.OverBudget, std::vector<std::int32_t>{1});
  EXPECT_EQ(skips.NotDrawn, 1);
  EXPECT_TRUE(skips.Warnings.empty());

  const platform::TBudgetLimits limits;
  EXPECT_EQ(TessellationAllowance(limits, limits.TessellationBytes, 1000), 192000u);
  EXPECT_EQ(TessellationAllowance(limits, limits.TessellationBytes, 64u << 20), 512u << 20);
  EXPECT_EQ(TessellationAllowance(limits, 5, 1000), 5u);
}

// Every level of OpenArena's map package and of its two patch packages: every curved surface is
// drawn at the default count, and tessellated it keeps its corners.
TEST(Patch, EveryOpenArenaLevelTessellatesEveryCurvedSurface) {
  std::size_t levels = 0, patches = 0;
  for (const std::string pk3 : {"pak1-maps.pk3", "pak6-patch085.pk3", "pak6-patch088.pk3"}) {
    // Read from the archive itself: the patch packages hold levels of the same names as the map
    // package, which must not replace those in the folder other test programs read at this time.
    const data::TSearchPath archive({testsupport::OpenArenaArchive(pk3)}, "",
                                    [](const std::string& warning) { ADD_FAILURE() << warning; });
    for (const std::string& map : testsupport::ListOpenArena(pk3, ".bsp")) {
      const TBSPFile file = ParseBSP(*archive.Read(map));
      EXPECT_EQ(PlanSurfaces(file.Faces, kDefaultTessellation).NotDrawn, 0) << map;
      ++levels;
      for (const TBSPFace& face : file.Faces) {
        if (face.FaceType != kPatchFace) continue;
        ++patches;
        const std::span<const TBSPVertex> grid(file.Vertices.data() + face.FirstVertex,
                                               static_cast<std::size_t>(face.NumVertices));
        // One segment per piece side keeps this to seconds under the sanitizers.
        const TPatchMesh mesh = TessellatePatch(grid, face.PatchSize[0], face.PatchSize[1], 1);
        ASSERT_TRUE(SameBits(mesh.Vertices.front(), grid.front()) && SameBits(mesh.Vertices.back(), grid.back()));
      }
    }
  }
  EXPECT_GE(levels, 95u);
  EXPECT_GE(patches, 8000u);
}
